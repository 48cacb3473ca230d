// The audio tests that use real SDL devices (the dummy and disk drivers). They
// choose the driver per test through the environment, so they run in their
// own program. No test may wait on a message box: without DISPLAY the boxes
// only write their text to standard error.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    unsetenv("DISPLAY");
    // The disk driver's output side writes here instead of a file in the
    // working folder.
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    SDL_Quit();
    return result;
}
