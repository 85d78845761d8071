// Properties of the picture layouts over many window and picture sizes; the
// painted layouts are checked to the pixel under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "artwork/layout.h"

TEST(PictureLayout, PropertiesOverManySizes)
{
    const int windows[][2] = {{1024, 768}, {1920, 1080}, {152, 112}, {801, 601}, {3840, 2160},
                              {301, 7}, {7, 301}};
    int fitted = 0, tiled = 0;
    for (const auto &w : windows)
        for (int pw = 1; pw <= 5000; pw = pw * 5 / 3 + 7)
            for (int ph = 1; ph <= 5000; ph = ph * 7 / 4 + 3) {
                const int cw = w[0], ch = w[1];
                SCOPED_TRACE(std::to_string(cw) + "x" + std::to_string(ch) + " window, " +
                             std::to_string(pw) + "x" + std::to_string(ph) + " picture");
                // Snapshots cover the window whatever their size.
                PictureLayout stretched = ComputePictureLayout(cw, ch, pw, ph, 0);
                ASSERT_EQ(PictureLayoutKind::Stretch, stretched.kind);
                EXPECT_EQ(0, stretched.dest.x + stretched.dest.y);
                EXPECT_EQ(cw * 10000 + ch, stretched.dest.width * 10000 + stretched.dest.height);
                PictureLayout layout = ComputePictureLayout(cw, ch, pw, ph, 1);
                const PictureCopy &d = layout.dest;
                if (pw > cw || ph > ch) {
                    // Scaled down: inside, centred, one side filled, proportions kept.
                    ASSERT_EQ(PictureLayoutKind::Fitted, layout.kind);
                    EXPECT_TRUE(d.x >= 0 && d.y >= 0 && d.x + d.width <= cw && d.y + d.height <= ch);
                    EXPECT_TRUE(d.width == cw || d.height == ch);
                    EXPECT_LE(std::abs(d.x - (cw - d.x - d.width)), 1 + cw % 2);
                    EXPECT_LE(std::abs(d.y - (ch - d.y - d.height)), 1 + ch % 2);
                    double scale = std::min(double(cw) / pw, double(ch) / ph);
                    EXPECT_NEAR(pw * scale, d.width, 1.0);
                    EXPECT_NEAR(ph * scale, d.height, 1.0);
                    fitted++;
                    continue;
                }
                // Tiles of the picture's size cover the window once, one centred.
                if (double(cw) / pw * ch / ph > 100000)
                    continue;   // too many tiles to list quickly
                ASSERT_EQ(PictureLayoutKind::Tiles, layout.kind);
                long long covered = 0;
                int centred = 0;
                for (const PictureCopy &c : ListPictureCopies(layout)) {
                    ASSERT_EQ(pw * 10000 + ph, c.width * 10000 + c.height);
                    centred += c.x == cw / 2 - pw / 2 && c.y == ch / 2 - ph / 2;
                    long long vw = std::min(c.x + pw, cw) - std::max(c.x, 0);
                    long long vh = std::min(c.y + ph, ch) - std::max(c.y, 0);
                    covered += vw > 0 && vh > 0 ? vw * vh : 0;
                }
                EXPECT_EQ(1, centred);
                EXPECT_EQ(static_cast<long long>(cw) * ch, covered);
                tiled++;
            }
    EXPECT_GT(fitted, 500);
    EXPECT_GT(tiled, 100);
    for (int mode : {0, 1})
        for (const auto &sizes : {std::pair{0, 10}, std::pair{10, 0}})
            EXPECT_TRUE(ListPictureCopies(ComputePictureLayout(sizes.first, sizes.second, 10, 10, mode)).empty() &&
                        ListPictureCopies(ComputePictureLayout(10, 10, sizes.first, sizes.second, mode)).empty());
}
