// The timeline's sections, drawn by the show's own frame after the tube has
// opened (blur pass off, viewport (0, 0, 660, 480)) and read back from the
// presented buffer.
#include "demo/demo.h"
#include "demo/timeline.h"
#include "image/image.h"
#include "image/texture.h"
#include "showframe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using showframe::render;
using showframe::seen;
using showframe::shown;

static const double f = 1 / std::tan(22.5 * M_PI / 180);  // window projection
static const double aspect = 640.0 / 480;

// A picture square in eye space: [left, right] x [bottom, top], facing the
// viewer `depth` units ahead.
struct placement {
    double left, right, bottom, top, depth;
};

// Eye-space x or y at `depth` seen at a window position, and back, under
// the 660x480 viewport the blur pass leaves.
static double eyex(double wx, double depth) { return (wx - 330) / 330 * depth / (f / aspect); }
static double eyey(double wy, double depth) { return (wy - 240) / 240 * depth / f; }
static int winx(double x, double depth) { return static_cast<int>(std::floor(330 + 330 * (f / aspect) * x / depth)); }
static int winy(double y, double depth) { return static_cast<int>(std::floor(240 + 240 * f * y / depth)); }

// The picture's column or row (top row 0) a window position shows.
static double texcolumn(const image* im, placement p, double wx)
{
    return (eyex(wx, p.depth) - p.left) / (p.right - p.left) * im->width;
}
static double texrow(const image* im, placement p, double wy)
{
    return (p.top - eyey(wy, p.depth)) / (p.top - p.bottom) * im->height;
}

static rgb mean(const long sum[3], long n)
{
    return {int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n)};
}

struct likeness {
    int flat = 0;           // grid points where the picture is flat
    double error = 0;       // mean largest channel difference, all points
};

// How many texels either side of the one a pixel shows the mip-mapped
// picture blends into that pixel, along one axis: about the texels a pixel
// spans there, from 1 (a magnified or nearly 1:1 picture) to 3.
static int reach(double texels)
{
    return static_cast<int>(std::clamp(std::lround(std::abs(texels)), 1L, 3L));
}

// Compares the presented frame with the picture over a 12-pixel grid inside
// its square, each pixel against the average of the texels around the
// texel it shows (7x7 where the picture is shrunk 3 times or more). Where the picture is flat there (every channel within 16)
// the pixel must match within 3; elsewhere mip-mapping blends detail, which
// only the mean difference over all points tolerates.
static likeness comparepicture(const texture* tex, placement p)
{
    const image* im = tex->img;
    likeness result;
    int points = 0;
    for (int wy = std::max(0, winy(p.bottom, p.depth) + 3); wy < std::min(480, winy(p.top, p.depth) - 3); wy += 12)
        for (int wx = std::max(0, winx(p.left, p.depth) + 3); wx < std::min(640, winx(p.right, p.depth) - 3); wx += 12) {
            int cx = static_cast<int>(texcolumn(im, p, wx + 0.5));
            int cy = static_cast<int>(texrow(im, p, wy + 0.5));
            int rx = reach(texcolumn(im, p, wx + 1) - texcolumn(im, p, wx));
            int ry = reach(texrow(im, p, wy + 1) - texrow(im, p, wy));
            long sum[3] = {}, n = 0;
            int low = 255, high = 0;
            for (int y = std::max(0, cy - ry); y <= std::min(im->height - 1, cy + ry); y++)
                for (int x = std::max(0, cx - rx); x <= std::min(im->width - 1, cx + rx); x++, n++)
                    for (int c = 0; c < 3; c++) {
                        int v = im->pixels[(y * im->width + x) * 3 + c];
                        sum[c] += v;
                        low = std::min(low, v);
                        high = std::max(high, v);
                    }
            rgb got = shown(wx, wy), want = mean(sum, n);
            points++;
            result.error += std::max({std::abs(got.r - want.r), std::abs(got.g - want.g), std::abs(got.b - want.b)});
            if (high - low > 16)
                continue;
            result.flat++;
            EXPECT_TRUE(near(got, want.r, want.g, want.b))
                << "pixel " << wx << "," << wy << " texel " << cx << "," << cy << " " << str(got) << " " << str(want);
        }
    result.error /= points;
    return result;
}

// The mean of the presented pixels in the window rectangle [x0, x1) x [y0, y1).
static rgb pixelmean(int x0, int y0, int x1, int y1)
{
    long sum[3] = {}, n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++, n++) {
            rgb q = shown(x, y);
            sum[0] += q.r;
            sum[1] += q.g;
            sum[2] += q.b;
        }
    return mean(sum, n);
}

// The mean of the texels the square shows in that window rectangle.
static rgb texelmean(const texture* tex, placement p, int x0, int y0, int x1, int y1)
{
    const image* im = tex->img;
    long sum[3] = {}, n = 0;
    for (int y = std::lround(texrow(im, p, y1)); y < std::lround(texrow(im, p, y0)); y++)
        for (int x = std::lround(texcolumn(im, p, x0)); x < std::lround(texcolumn(im, p, x1)); x++, n++)
            for (int c = 0; c < 3; c++)
                sum[c] += im->pixels[(y * im->width + x) * 3 + c];
    return mean(sum, n);
}

// The pixels 4 beyond the middle of each edge of the square, where on
// screen, are the black clear colour.
static void blackaround(placement p)
{
    int midx = winx((p.left + p.right) / 2, p.depth), midy = winy((p.bottom + p.top) / 2, p.depth);
    int left = winx(p.left, p.depth) - 4, right = winx(p.right, p.depth) + 4;
    int bottom = winy(p.bottom, p.depth) - 4, top = winy(p.top, p.depth) + 4;
    for (auto [x, y] : {std::pair<int, int>{left, midy}, {right, midy}, {midx, bottom}, {midx, top}})
        if (x >= 0 && x < 640 && y >= 0 && y < 480) {
            EXPECT_TRUE(near(shown(x, y), 0, 0, 0)) << x << "," << y << " " << str(shown(x, y));
        }
}

// The frame at t shows the picture in its square, on black.
static void expectpicture(const texture* tex, placement p, std::int32_t t)
{
    likeness l = comparepicture(tex, p);
    EXPECT_GE(l.flat, 20) << t << ": flat points compared";
    EXPECT_LT(l.error, 6) << t << ": mean difference";
    blackaround(p);
}

class Sections : public ::testing::Test {
protected:
    void SetUp() override
    {
        showframe::openshow();
        ASSERT_FALSE(demo::blur);
    }
};

TEST_F(Sections, OpeningStretchesTheStaticOverTheScreen)
{
    render(6999);
    EXPECT_EQ(seen.batches[GL_POLYGON], 1);
    EXPECT_EQ(seen.batches.size(), 1u);
    EXPECT_GT(showframe::colourful(), 0.6);
    // Block by block, the static's mean colour: grey, brighter where the
    // lettering is.
    placement square{-3, 3, -2, 2, 5};
    for (int by = 0; by < 4; by++)
        for (int bx = 0; bx < 4; bx++) {
            int x0 = bx * 160, y0 = 12 + by * 114;
            rgb want = texelmean(demo::noisetex, square, x0, y0, x0 + 160, y0 + 114);
            rgb got = pixelmean(x0, y0, x0 + 160, y0 + 114);
            EXPECT_TRUE(near(got, want.r, want.g, want.b)) << bx << "," << by << " " << str(got) << " " << str(want);
        }
    // The 6x4 square, 5 ahead, ends 8 pixels above the bottom edge.
    for (int x : {40, 320, 600})
        EXPECT_TRUE(near(shown(x, 3), 0, 0, 0)) << x << " " << str(shown(x, 3));
    EXPECT_FALSE(demo::done);
}

TEST_F(Sections, BagPhotoStartsThePetalStretchWithNoPetals)
{
    render(7000);
    EXPECT_EQ(seen.batches[GL_TRIANGLE_FAN], 0);
    EXPECT_EQ(seen.batches[GL_POLYGON], 1);
    placement bag{-2.7, -1.3, -2, 0, 5};
    expectpicture(demo::bagtex, bag, 7000);
    EXPECT_LT(showframe::colourful(), 0.2);
}

TEST_F(Sections, SnapshotAndBottleAlternateEveryHalfBeat)
{
    placement snapshot{-1, 1, -1, 1, 5}, bottle{-1, 1, -2, 2, 5};
    for (int t : {40500, 40999, 71999}) {
        render(t);
        expectpicture(demo::snapshottex, snapshot, t);
        rgb centre = shown(330, 240);  // the pink lump
        EXPECT_TRUE(centre.r > 100 && centre.b > centre.g + 20) << t << " " << str(centre);
    }
    for (int t : {40000, 40499, 41300, 71499}) {
        render(t);
        expectpicture(demo::bottletex, bottle, t);
        rgb label = shown(300, 226);   // the blue label above the name
        EXPECT_TRUE(near(label, 20, 80, 200, 12)) << t << " " << str(label);
    }
}

TEST_F(Sections, BottleStandsLowerWithOneMoreGlowEvery300)
{
    render(104000);
    EXPECT_EQ(seen.batches[GL_POLYGON], 1);
    placement bottle{-1, 1, -3, 1, 6};
    expectpicture(demo::bottletex, bottle, 104000);
    for (auto [t, squares] : {std::pair<int, int>{104299, 1}, {104300, 2}, {104599, 2}, {104600, 3}, {135999, 107}}) {
        render(t);
        EXPECT_EQ(seen.batches[GL_POLYGON], squares) << t;
    }
}

TEST_F(Sections, ClosingSpinsTwoStaticSquares)
{
    for (int t : {136000, 150000, 167999}) {
        render(t);
        EXPECT_EQ(seen.batches[GL_POLYGON], 2) << t;
        EXPECT_GT(showframe::colourful(), 0.3) << t;
        EXPECT_FALSE(demo::done) << t;
    }
}

TEST_F(Sections, EndDrawsNothingButStillPresents)
{
    for (int t : {showend, 200000}) {
        demo::done = false;
        int swaps = seen.swaps;
        render(t);
        EXPECT_TRUE(demo::done) << t;
        EXPECT_EQ(seen.swaps, swaps + 1) << t;
        EXPECT_TRUE(seen.batches.empty()) << t;
        EXPECT_EQ(*std::max_element(seen.presented.begin(), seen.presented.end()), 0) << t;
    }
}
