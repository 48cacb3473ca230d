#include "app/nb_application.h"

#include <SDL.h>

#include <csignal>

int main() {
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that
    // nothing here reads, and the game could not be stopped by a signal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Past a file-size limit a write should fail (and the save script say
    // so), not kill the game.
    std::signal(SIGXFSZ, SIG_IGN);
    return runGame();
}
