// Loading an artwork PNG into a bitmap and painting it on the splash screen.
// Windows only.
#pragma once
#include <windows.h>

// How the decoded rows reach the bitmap. Both give the same pixels. Block:
// the decoder writes the rows straight into a 24-bit DIB section (what the
// saver uses). PerPixel: SetPixel into a bitmap compatible with the window, kept so
// tests and the benchmark can compare against it.
enum class PictureFill { Block, PerPixel };

// Decodes the PNG at path and copies it into a bitmap for window's display,
// selected into a new memory device context. Returns that
// context and sets *picture to (0, 0, width, height); null when the file
// can't be decoded or the bitmap can't be made (nothing is left allocated).
// The caller owns the context and its bitmap: release with FreeLoadedPicture.
HDC LoadPNGintoBITMAP(const char *path, HWND window, RECT *picture);
HDC LoadPNGintoBITMAPWith(const char *path, HWND window, RECT *picture, PictureFill method);

// Paints the loaded picture into window's client area: mode 0 stretches it
// over the whole area, mode 1 tiles it at its size with one tile centred, or
// scales it down to fit and centres it when it is larger than the window.
void DisplayPNGBitmap(HDC picture, HWND window, const RECT *pictureRect, int mode);

// The same painting onto any device context whose drawing area is
// clientWidth x clientHeight (the window's DC, or a memory DC in tools).
void PaintPicture(HDC target, int clientWidth, int clientHeight, HDC picture,
                  const RECT *pictureRect, int mode);

// Selects the bitmap out of a loaded picture's context and deletes both.
// Null is accepted.
void FreeLoadedPicture(HDC picture);

// A window of the given size that keeps what is painted into it yet never
// shows (layered and fully transparent), for painting a picture off the
// user's sight: quillmere-check's render and the picture benchmark. A window
// moved off the screen loses its pixels under Wine, and a hidden one has none.
HWND MakeUnseenWindow(int width, int height);
