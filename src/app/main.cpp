#include "app/nb_application.h"

int main() {
    return runGame();
}
