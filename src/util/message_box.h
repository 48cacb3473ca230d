// Message boxes shown through SDL. Every box's text is also written as one
// line to standard error, since without a display that copy is all a user gets.
#pragma once
#include <string>

enum class BoxIcon { Error, Warning };

// Blocks until the box is dismissed. Returns false when no box could be shown.
bool showMessageBox(const std::string& caption, const std::string& text, BoxIcon icon);
