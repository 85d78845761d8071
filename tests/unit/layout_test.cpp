#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "artwork/layout.h"

using std::vector;

namespace {

bool Inside(const PictureCopy &c, int cw, int ch)
{
    return c.x >= 0 && c.y >= 0 && c.x + c.width <= cw && c.y + c.height <= ch;
}

std::string Describe(int cw, int ch, int pw, int ph)
{
    return std::to_string(cw) + "x" + std::to_string(ch) + " window, " + std::to_string(pw) + "x"
        + std::to_string(ph) + " picture";
}

}  // namespace

// ---- The worked layouts of a 1024 x 768 window ------------------------------------

TEST(PictureLayout, TilesOf300x200In1024x768)
{
    PictureLayout layout = ComputePictureLayout(1024, 768, 300, 200, 1);
    ASSERT_EQ(PictureLayoutKind::Tiles, layout.kind);
    vector<PictureCopy> copies = ListPictureCopies(layout);
    ASSERT_EQ(25u, copies.size());
    const int xs[] = {-238, 62, 362, 662, 962};
    const int ys[] = {-116, 84, 284, 484, 684};
    // Column by column: all rows of the first column come first.
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++) {
            SCOPED_TRACE(testing::Message() << "tile " << i << "," << j);
            const PictureCopy &c = copies[i * 5 + j];
            EXPECT_EQ(xs[i], c.x);
            EXPECT_EQ(ys[j], c.y);
            EXPECT_EQ(300, c.width);
            EXPECT_EQ(200, c.height);
        }
}

TEST(PictureLayout, PictureOfTheWindowSizeIsTiledNotScaled)
{
    PictureLayout layout = ComputePictureLayout(1024, 768, 1024, 768, 1);
    ASSERT_EQ(PictureLayoutKind::Tiles, layout.kind);
    vector<PictureCopy> copies = ListPictureCopies(layout);
    ASSERT_EQ(4u, copies.size());
    const int expected[4][2] = {{0, 0}, {0, 768}, {1024, 0}, {1024, 768}};
    int visible = 0;
    for (int k = 0; k < 4; k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(expected[k][0], copies[k].x);
        EXPECT_EQ(expected[k][1], copies[k].y);
        visible += CopyTouchesClient(copies[k], 1024, 768) ? 1 : 0;
    }
    EXPECT_EQ(1, visible);
}

TEST(PictureLayout, FittedAndStretchedWorkedLayouts)
{
    struct Row {
        int pw, ph, mode;
        PictureLayoutKind kind;
        PictureCopy dest;
    } rows[] = {
        {800, 1000, 1, PictureLayoutKind::Fitted, {204, 0, 615, 768}},    // taller: fills the height
        {2048, 1024, 1, PictureLayoutKind::Fitted, {0, 128, 1024, 512}},  // wider: fills the width
        {2048, 1536, 1, PictureLayoutKind::Fitted, {0, 0, 1024, 768}},    // equal ratios: width branch
        {1100, 200, 1, PictureLayoutKind::Fitted, {0, 290, 1024, 187}},   // wider, not taller
        {300, 200, 0, PictureLayoutKind::Stretch, {0, 0, 1024, 768}},
        {2048, 1024, 0, PictureLayoutKind::Stretch, {0, 0, 1024, 768}},
        {1, 1, 0, PictureLayoutKind::Stretch, {0, 0, 1024, 768}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(Describe(1024, 768, row.pw, row.ph) + " mode " + std::to_string(row.mode));
        PictureLayout layout = ComputePictureLayout(1024, 768, row.pw, row.ph, row.mode);
        ASSERT_EQ(row.kind, layout.kind);
        vector<PictureCopy> copies = ListPictureCopies(layout);
        ASSERT_EQ(1u, copies.size());
        EXPECT_EQ(row.dest.x, copies[0].x);
        EXPECT_EQ(row.dest.y, copies[0].y);
        EXPECT_EQ(row.dest.width, copies[0].width);
        EXPECT_EQ(row.dest.height, copies[0].height);
    }
}

TEST(PictureLayout, NothingToCopyWithoutArea)
{
    for (int mode : {0, 1}) {
        EXPECT_EQ(PictureLayoutKind::Nothing, ComputePictureLayout(1024, 768, 0, 10, mode).kind);
        EXPECT_EQ(PictureLayoutKind::Nothing, ComputePictureLayout(1024, 768, 10, 0, mode).kind);
        EXPECT_EQ(PictureLayoutKind::Nothing, ComputePictureLayout(0, 768, 10, 10, mode).kind);
        EXPECT_EQ(PictureLayoutKind::Nothing, ComputePictureLayout(1024, 0, 10, 10, mode).kind);
        EXPECT_TRUE(ListPictureCopies(ComputePictureLayout(1024, 0, 10, 10, mode)).empty());
    }
}

// ---- Properties over many sizes ------------------------------------------------

TEST(PictureLayout, FittedPictureStaysInsideKeepsProportionsAndIsCentred)
{
    const int windows[][2] = {{1024, 768}, {1920, 1080}, {152, 112}, {800, 600}, {1366, 768},
                              {3840, 2160}, {301, 7}, {7, 301}};
    int checked = 0;
    for (const auto &w : windows) {
        const int cw = w[0], ch = w[1];
        for (int pw = 1; pw <= 5000; pw = pw * 5 / 3 + 7)
            for (int ph = 1; ph <= 5000; ph = ph * 7 / 4 + 3) {
                if (pw <= cw && ph <= ch)
                    continue;   // tiles, checked below
                SCOPED_TRACE(Describe(cw, ch, pw, ph));
                PictureLayout layout = ComputePictureLayout(cw, ch, pw, ph, 1);
                ASSERT_EQ(PictureLayoutKind::Fitted, layout.kind);
                const PictureCopy &d = layout.dest;
                EXPECT_TRUE(Inside(d, cw, ch)) << d.x << "," << d.y << " " << d.width << "x" << d.height;
                // One side fills the window, the other is centred on the
                // window's integer half; the edges are truncated separately,
                // so the margins differ by at most 1, plus 1 for an odd size.
                if (d.width == cw) {
                    EXPECT_EQ(0, d.x);
                    EXPECT_LE(std::abs(d.y - (ch - d.y - d.height)), 1 + ch % 2);
                } else {
                    EXPECT_EQ(ch, d.height);
                    EXPECT_EQ(0, d.y);
                    EXPECT_LE(std::abs(d.x - (cw - d.x - d.width)), 1 + cw % 2);
                }
                // Proportions kept within a pixel: the scaled other side.
                double scale = std::min(static_cast<double>(cw) / pw, static_cast<double>(ch) / ph);
                EXPECT_NEAR(pw * scale, d.width, 1.0);
                EXPECT_NEAR(ph * scale, d.height, 1.0);
                checked++;
            }
    }
    EXPECT_GT(checked, 500);
}

TEST(PictureLayout, TilesCoverTheWindowWithExactlyOneCentredTile)
{
    const int windows[][2] = {{1024, 768}, {1920, 1080}, {152, 112}, {801, 601}};
    int checked = 0;
    for (const auto &w : windows) {
        const int cw = w[0], ch = w[1];
        for (int pw = 7; pw <= cw; pw = pw * 3 / 2 + 1)
            for (int ph = 5; ph <= ch; ph = ph * 3 / 2 + 1) {
                SCOPED_TRACE(Describe(cw, ch, pw, ph));
                PictureLayout layout = ComputePictureLayout(cw, ch, pw, ph, 1);
                ASSERT_EQ(PictureLayoutKind::Tiles, layout.kind);
                vector<PictureCopy> copies = ListPictureCopies(layout);
                // The centred tile: its left edge at cw/2 - pw/2, top at ch/2 - ph/2.
                int centred = 0;
                long long covered = 0;
                for (const PictureCopy &c : copies) {
                    ASSERT_EQ(pw, c.width);
                    ASSERT_EQ(ph, c.height);
                    if (c.x == cw / 2 - pw / 2 && c.y == ch / 2 - ph / 2)
                        centred++;
                    // The visible part of each tile; tiles never overlap.
                    long long vw = std::min(c.x + c.width, cw) - std::max(c.x, 0);
                    long long vh = std::min(c.y + c.height, ch) - std::max(c.y, 0);
                    if (vw > 0 && vh > 0)
                        covered += vw * vh;
                }
                EXPECT_EQ(1, centred);
                EXPECT_EQ(static_cast<long long>(cw) * ch, covered) << "the window is not covered";
                checked++;
            }
    }
    EXPECT_GT(checked, 100);
}

TEST(PictureLayout, SnapshotModeAlwaysCoversTheWholeWindow)
{
    for (int cw : {1, 152, 1024, 3840})
        for (int ch : {1, 112, 768, 2160})
            for (int p : {1, 100, 1024, 5000}) {
                SCOPED_TRACE(Describe(cw, ch, p, p / 2 + 1));
                PictureLayout layout = ComputePictureLayout(cw, ch, p, p / 2 + 1, 0);
                ASSERT_EQ(PictureLayoutKind::Stretch, layout.kind);
                EXPECT_EQ(0, layout.dest.x);
                EXPECT_EQ(0, layout.dest.y);
                EXPECT_EQ(cw, layout.dest.width);
                EXPECT_EQ(ch, layout.dest.height);
            }
}
