# cmake --install puts the programs under lib/nightbite, the read-only media
# under share/nightbite/Resources, two launchers in bin, desktop entries and
# the icon. The launchers find the rest relative to their own place, so the
# prefix may be chosen at install time, and prepare a per-user working folder.
include(GNUInstallDirs)
set(NB_INSTALL_LIB ${CMAKE_INSTALL_LIBDIR}/nightbite)
set(NB_INSTALL_SHARE ${CMAKE_INSTALL_DATADIR}/nightbite)

install(TARGETS nightbite nightbite_setup RUNTIME DESTINATION ${NB_INSTALL_LIB})
install(DIRECTORY ${NB_RESOURCES_DIR}/media ${NB_RESOURCES_DIR}/Scripts
        DESTINATION ${NB_INSTALL_SHARE}/Resources
        PATTERN ".generated" EXCLUDE)
install(DIRECTORY ${NB_RESOURCES_DIR}/sound DESTINATION ${NB_INSTALL_SHARE}/Resources OPTIONAL)
install(FILES ${NB_RESOURCES_DIR}/plugins.win.cfg ${NB_RESOURCES_DIR}/resources.cfg
              ${NB_RESOURCES_DIR}/ogre.cfg.default
        DESTINATION ${NB_INSTALL_SHARE}/Resources)

foreach(program nightbite nightbite_setup)
    set(NB_PROGRAM ${program})
    configure_file(${PROJECT_SOURCE_DIR}/tools/scripts/launcher.sh.in
                   ${CMAKE_BINARY_DIR}/launchers/${program} @ONLY)
    install(PROGRAMS ${CMAKE_BINARY_DIR}/launchers/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/content/desktop/nightbite.desktop
              ${PROJECT_SOURCE_DIR}/content/desktop/nightbite_setup.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NB_MEDIA_DIR}/nightbite_icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME nightbite.png)

# A Debian package of the same install: `cpack -G DEB` in the build folder.
# The libraries' packages come from dpkg-shlibdeps; the engine's render
# system and image codec are plug-ins loaded at run time, so their package is
# named as well.
set(CPACK_PACKAGE_NAME nightbite)
set(CPACK_PACKAGE_VENDOR "Nightbite")
set(CPACK_PACKAGE_CONTACT "Nightbite developers <nightbite@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fly a mosquito through a night street by mouse and whistle")
set(CPACK_PACKAGE_DESCRIPTION "You are a mosquito in a night street. Steer with the mouse, climb by
whistling into the microphone (or hold the left mouse button), drink from the
people walking by and bank the blood in the nest before they slap you. The
game's rules are Lua scripts that players can change.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libogre1.12.10")
set(CPACK_STRIP_FILES ON)
include(CPack)
