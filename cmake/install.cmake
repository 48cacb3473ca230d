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
