#include "saver/canvas.h"

#include <algorithm>

#include "artwork/layout.h"

namespace {

uint32_t PixelAt(const RoundPicture &picture, PngPixels layout, int x, int y)
{
    const unsigned char *p = picture.pixels.data() + picture.stride * static_cast<size_t>(y) +
                             static_cast<size_t>(x) * 3;
    uint32_t first = p[0], second = p[1], third = p[2];
    return layout == PngPixels::Bgr ? third << 16 | second << 8 | first
                                    : first << 16 | second << 8 | third;
}

// One copy of the whole picture into copy, clipped to the area.
void CopyPicture(uint32_t *pixels, int width, int height, const RoundPicture &picture,
                 PngPixels layout, const PictureCopy &copy)
{
    if (copy.width <= 0 || copy.height <= 0)
        return;
    int left = std::max(copy.x, 0), right = std::min(copy.x + copy.width, width);
    int top = std::max(copy.y, 0), bottom = std::min(copy.y + copy.height, height);
    for (int y = top; y < bottom; ++y) {
        int sourceY = static_cast<int>(static_cast<int64_t>(y - copy.y) * picture.height /
                                       copy.height);
        uint32_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = left; x < right; ++x) {
            int sourceX = static_cast<int>(static_cast<int64_t>(x - copy.x) * picture.width /
                                           copy.width);
            row[x] = PixelAt(picture, layout, sourceX, sourceY);
        }
    }
}

}   // namespace

void ComposeSplashPixels(uint32_t *pixels, int width, int height, uint32_t background,
                         const RoundPicture &picture, PngPixels layout)
{
    std::fill(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height),
              background);
    if (picture.pixels.empty() ||
        picture.pixels.size() < picture.stride * static_cast<size_t>(picture.height))
        return;
    PictureLayout placed =
        ComputePictureLayout(width, height, picture.width, picture.height, picture.mode);
    switch (placed.kind) {
    case PictureLayoutKind::Nothing:
        break;
    case PictureLayoutKind::Stretch:
    case PictureLayoutKind::Fitted:
        CopyPicture(pixels, width, height, picture, layout, placed.dest);
        break;
    case PictureLayoutKind::Tiles:
        for (int column = 0; column < placed.columns; ++column)
            for (int row = 0; row < placed.rows; ++row) {
                PictureCopy tile = TileCopy(placed, column, row);
                if (CopyTouchesClient(tile, width, height))
                    CopyPicture(pixels, width, height, picture, layout, tile);
            }
        break;
    }
}
