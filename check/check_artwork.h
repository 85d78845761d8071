// quillmere-check commands for the splash picture.
#pragma once

// picture mame GAME [PARENT] | picture mess SYSTEM SOFTWARE [PARENT]: runs
// the artwork lookup over the loaded settings (the parent's pictures when
// the machine has none) and prints "PATH<TAB>MODE", a zip member as
// ARCHIVE\MEMBER, or "none". argv holds the words after "picture". Returns
// 0 when found, 1 for none, 2 for bad use.
int CheckPicture(int argc, char **argv);

// render PICTURE WIDTHxHEIGHT MODE OUT.bmp (Windows only): loads and paints
// the picture (a PNG file, or a zip member as ARCHIVE\MEMBER) as the splash
// does, into an unseen window of that client size over the splash
// background, and writes the client area to OUT.bmp. argv holds the words
// after "render". 0 on success.
int CheckRender(int argc, char **argv);
