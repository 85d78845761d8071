// quillmere-check commands for the splash picture.
#pragma once

// picture mame GAME | picture mess SYSTEM SOFTWARE: runs the artwork lookup
// over the loaded settings and prints "PATH<TAB>MODE", or "none". argv holds
// the words after "picture". Returns 0 when found, 1 for none, 2 for bad use.
int CheckPicture(int argc, char **argv);

// render PICTURE.png WIDTHxHEIGHT MODE OUT.bmp (Windows only): loads and
// paints the picture as the splash does, into an unseen window of that
// client size over the splash background, and writes the client area to
// OUT.bmp. argv holds the words after "render". 0 on success.
int CheckRender(int argc, char **argv);
