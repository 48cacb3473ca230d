// Message boxes shown through SDL. Every box's text is also written as one
// line to standard error, since without a display that copy is all a user gets.
//
// A box must be answerable with Return, Escape or a click on OK, so it must
// never stand behind the game's grab of the keyboard and the pointer. The
// owner of that grab says how to let go of it (setBoxGrabRelease); a box
// shown on the owner's thread lets go at once, and a box shown on another
// thread is counted (boxesShowing), for the owner to let go at its next frame.
#pragma once
#include <string>

enum class BoxIcon { Error, Warning };

// Blocks until the box is dismissed. Returns false when no box could be shown.
bool showMessageBox(const std::string& caption, const std::string& text, BoxIcon icon);

// How many boxes are up now, on any thread.
int boxesShowing();

// Called on the calling thread, just before a box is shown on that thread;
// null to forget it.
void setBoxGrabRelease(void (*release)());
