// SIGTERM, SIGINT (Ctrl+C), SIGHUP (the terminal or the session going away)
// and SIGQUIT end the game the way Escape does: the handler only notes the
// signal, the frame listener looks at it once per frame and ends the loop,
// and the normal way out then raises "save_game" and flushes the output. A
// second signal, when the first has not ended the game yet, ends it at once.
#pragma once

// Installs the handler for the four signals, except for one that the game
// was started ignoring (nohup, a background job): that one stays ignored.
void installQuitSignalHandlers();

// The first of the four signals received so far, or 0. Any thread.
int quitSignalReceived();

// "SIGTERM", "SIGINT", "SIGHUP" or "SIGQUIT".
const char* quitSignalName(int number);

// True once one of the four has been received; the first time it is, says
// so on standard error. Main thread.
bool quitSignalled();
