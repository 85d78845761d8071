#include "artwork/layout.h"

#include <cmath>

PictureLayout ComputePictureLayout(int clientWidth, int clientHeight,
                                   int pictureWidth, int pictureHeight, int mode)
{
    PictureLayout layout = {};
    layout.kind = PictureLayoutKind::Nothing;
    const int cw = clientWidth, ch = clientHeight;
    const int pw = pictureWidth, ph = pictureHeight;
    if (pw <= 0 || ph <= 0 || cw <= 0 || ch <= 0)
        return layout;

    if (mode == 0) {
        layout.kind = PictureLayoutKind::Stretch;
        layout.dest = {0, 0, cw, ch};
        return layout;
    }

    if (cw >= pw && ch >= ph) {
        // Single-precision quotients, rounded up: the grid holds one tile
        // more than needed each way so the centred tile can sit anywhere.
        const int nx = static_cast<int>(std::ceil(static_cast<float>(cw) / static_cast<float>(pw)));
        const int ny = static_cast<int>(std::ceil(static_cast<float>(ch) / static_cast<float>(ph)));
        layout.kind = PictureLayoutKind::Tiles;
        layout.originX = cw / 2 - pw / 2 - (nx / 2) * pw;
        layout.originY = ch / 2 - ph / 2 - (ny / 2) * ph;
        layout.columns = nx + 1;
        layout.rows = ny + 1;
        layout.tileWidth = pw;
        layout.tileHeight = ph;
        return layout;
    }

    const float rx = static_cast<float>(cw) / static_cast<float>(pw);
    const float ry = static_cast<float>(ch) / static_cast<float>(ph);
    layout.kind = PictureLayoutKind::Fitted;
    if (rx > ry) {
        const float halfWidth = static_cast<float>(pw) * ry / 2.0f;
        const int left = static_cast<int>(static_cast<float>(cw / 2) - halfWidth);
        const int right = static_cast<int>(static_cast<float>(cw / 2) + halfWidth);
        layout.dest = {left, 0, right - left, ch};
    } else {
        const float halfHeight = static_cast<float>(ph) * rx / 2.0f;
        const int top = static_cast<int>(static_cast<float>(ch / 2) - halfHeight);
        const int bottom = static_cast<int>(static_cast<float>(ch / 2) + halfHeight);
        layout.dest = {0, top, cw, bottom - top};
    }
    return layout;
}

PictureCopy TileCopy(const PictureLayout &layout, int column, int row)
{
    return {layout.originX + column * layout.tileWidth, layout.originY + row * layout.tileHeight,
            layout.tileWidth, layout.tileHeight};
}

std::vector<PictureCopy> ListPictureCopies(const PictureLayout &layout)
{
    std::vector<PictureCopy> copies;
    switch (layout.kind) {
    case PictureLayoutKind::Nothing:
        break;
    case PictureLayoutKind::Stretch:
    case PictureLayoutKind::Fitted:
        copies.push_back(layout.dest);
        break;
    case PictureLayoutKind::Tiles:
        for (int i = 0; i < layout.columns; i++)
            for (int j = 0; j < layout.rows; j++)
                copies.push_back(TileCopy(layout, i, j));
        break;
    }
    return copies;
}

bool CopyTouchesClient(const PictureCopy &copy, int clientWidth, int clientHeight)
{
    return copy.width > 0 && copy.height > 0 && copy.x < clientWidth && copy.y < clientHeight
        && copy.x + copy.width > 0 && copy.y + copy.height > 0;
}
