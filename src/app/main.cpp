#include "app/nb_application.h"

#include <SDL.h>

int main() {
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nothing here reads, and the game could not be stopped by a signal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return runGame();
}
