// Text laid out the way the Win32 splash's DrawText lays it out with word
// ellipsis, for shells that place the text themselves (X11).
#pragma once
#include <string>
#include <vector>

// The width of text in pixels, in the shell's font.
using MeasureText = int (*)(void *context, const std::string &text);

// text on one line of width pixels: whole when it fits, else cut after a
// whole character (UTF-8 sequences are never split) and ended with "...".
std::string FitLine(const std::string &text, int width, MeasureText measure, void *context);

// text broken into lines of at most width pixels, at blanks and at line
// breaks; a word wider than a whole line gets a line of its own, cut as
// FitLine cuts it.
std::vector<std::string> WrapText(const std::string &text, int width, MeasureText measure,
                                  void *context);
