// The timeline's sections, drawn by the show's own frame after the tube has
// opened (blur pass off, viewport (0, 0, 660, 480)) and read back from the
// presented buffer.
#include "demo/demo.h"
#include "demo/timeline.h"
#include "image/image.h"
#include "image/texture.h"
#include "showframe.h"
#include "support/mat4.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <dlfcn.h>
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

// Share of a 16-pixel grid over the frame showing a colourful pixel: the
// static's channels are independent, so most of its pixels have two
// channels at least 40 apart; the pictures' plain areas do not.
static double colourful()
{
    int hits = 0, total = 0;
    for (int y = 8; y < 480; y += 16)
        for (int x = 8; x < 640; x += 16, total++) {
            rgb p = shown(x, y);
            hits += std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) >= 40;
        }
    return static_cast<double>(hits) / total;
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
    EXPECT_GT(colourful(), 0.6);
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
    EXPECT_LT(colourful(), 0.2);
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
        EXPECT_GT(colourful(), 0.3) << t;
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

// The model-view matrix drawsection(t) leaves on an identity.
static std::array<float, 16> leftover(std::int32_t t)
{
    glLoadIdentity();
    drawsection(t);
    return matrix(GL_MODELVIEW_MATRIX);
}

static std::array<float, 16> transform(float angle, float x, float y, float z, float sx, float sy)
{
    glLoadIdentity();
    glTranslatef(x, y, z);
    glRotatef(angle, 0, 0, 1);
    glScalef(sx, sy, 1);
    return matrix(GL_MODELVIEW_MATRIX);
}

TEST_F(Sections, SomeLeaveTheirTransformInPlace)
{
    EXPECT_EQ(leftover(6999), transform(0, 0, 0, 0, 3, 2));
    EXPECT_EQ(leftover(7000), transform(0, 0, 1, -5, 1, 1));
    EXPECT_EQ(leftover(40499), transform(0, 0, 0, 0, 1, 2));
    EXPECT_EQ(leftover(40500), transform(0, 0, 0, 0, 1, 1));
    EXPECT_EQ(leftover(72000), transform(22.5f, 0, 0, 0, 1, 1));
    EXPECT_EQ(leftover(104000), transform(0, 0, 0, 0, 1, 1));
    EXPECT_EQ(leftover(136000), transform(0, 0, 0, 0, 1, 1));
}

TEST_F(Sections, PetalChainGrowsByOneEveryHalfBeat)
{
    for (auto [t, n] : {std::pair<int, int>{7000, 0}, {7499, 0}, {7500, 1}, {7999, 1}, {8000, 2}, {39999, 65},
                        {40000, 0}, {71999, 0}, {72000, 130}, {72499, 130}, {72500, 131}, {103999, 193},
                        {104000, 0}}) {
        render(t);
        EXPECT_EQ(seen.batches[GL_TRIANGLE_FAN] % 2, 0) << t;
        EXPECT_EQ(showframe::petals(), n) << t;
        EXPECT_EQ(seen.batches[GL_QUAD_STRIP], n) << t << ": one rim per petal";
    }
}

TEST_F(Sections, SpinIsHeldWhereItsDivisorWouldReachZero)
{
    EXPECT_DOUBLE_EQ(spinangle(72000), 72000 / 3200.0);
    EXPECT_DOUBLE_EQ(spinangle(103980), 103980 / 2.0);
    EXPECT_DOUBLE_EQ(spinangle(103990), 103990);
    for (int t = 103991; t <= 103999; t++) {
        ASSERT_TRUE(std::isfinite(spinangle(t))) << t;
        EXPECT_EQ(spinangle(t), spinangle(103990)) << t;
        std::array<float, 16> m = leftover(t);
        for (float v : m)
            ASSERT_TRUE(std::isfinite(v)) << t;
        EXPECT_EQ(m, transform(static_cast<float>(spinangle(103990)), 0, 0, 0, 1, 1)) << t;
        render(t);
        EXPECT_EQ(seen.batches[GL_POLYGON], 1) << t;
        EXPECT_EQ(showframe::petals(), 193) << t;
        EXPECT_GT(colourful(), 0.3) << t;
    }
}

// The model-view matrix each petal and each glow sprite was placed with,
// taken when it is scaled to its size: drawpetal's own 0.4, the sprites'
// (0.1, 0.1, 1). The test program's glScalef wins over the GL library's
// for the statically linked show.
// Every other scaling is kept with its factors.
struct scaling {
    std::array<float, 3> factors;
    std::array<float, 16> place;
};
static std::vector<std::array<float, 16>> petalplaces, glowplaces;
static std::vector<scaling> scalings;

extern "C" void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    using scalefn = void (*)(GLfloat, GLfloat, GLfloat);
    static scalefn real = reinterpret_cast<scalefn>(dlsym(RTLD_NEXT, "glScalef"));
    if (x == 0.4f && y == 0.4f && z == 0.4f)
        petalplaces.push_back(matrix(GL_MODELVIEW_MATRIX));
    else if (x == 0.1f && y == 0.1f && z == 1)
        glowplaces.push_back(matrix(GL_MODELVIEW_MATRIX));
    else
        scalings.push_back({{x, y, z}, matrix(GL_MODELVIEW_MATRIX)});
    real(x, y, z);
}

// Petal i of the chain at t: the chain turned 45 degrees about z, then
// 75 degrees about x once more for every petal up to and including this
// one, then moved out along its own parabola.
static mat4 petalplace(const mat4& chain, int t, int i)
{
    mat4 m = product(chain, turned(45, 0, 0, 1));
    for (int k = 0; k <= i; k++)
        m = product(m, turned(75, 1, 0, 0));
    double u = (t - 7000) / 1000.0 - i, d = u - 0.5;
    return product(m, moved(-d * d / 1.5, u, 0));
}

TEST_F(Sections, PetalTurnsAccumulateAlongTheChain)
{
    // The bag section moves the chain to (0, 1, -5); the noise section
    // spins it by t / ((104000 - t) / 10) degrees about z: 33.3 at 80000.
    for (auto [t, chain] : {std::pair<int, mat4>{9750, moved(0, 1, -5)}, {80000, turned(80000 / 2400.0, 0, 0, 1)}}) {
        petalplaces.clear();
        render(t);
        int n = (t - 7000) / 500;
        ASSERT_EQ(static_cast<int>(petalplaces.size()), n) << t;
        for (int i = 0; i < n; i++) {
            mat4 want = petalplace(chain, t, i);
            for (int e = 0; e < 16; e++)
                ASSERT_NEAR(petalplaces[i][e], want[e], 2e-3) << "t " << t << " petal " << i << " element " << e;
        }
    }
    // Neighbours differ by the 75-degree turn: petal 1's y axis leaves
    // petal 0's at 75 degrees, petal 2's at 150.
    petalplaces.clear();
    render(9750);
    ASSERT_GE(petalplaces.size(), 3u);
    auto yaxis = [](const std::array<float, 16>& m) { return std::array<double, 3>{m[4], m[5], m[6]}; };
    auto angle = [](std::array<double, 3> a, std::array<double, 3> b) {
        double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
        double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        double lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        return std::acos(dot / la / lb) * 180 / M_PI;
    };
    size_t last = petalplaces.size() - 3;
    EXPECT_NEAR(angle(yaxis(petalplaces[last]), yaxis(petalplaces[last + 1])), 75, 0.01);
    EXPECT_NEAR(angle(yaxis(petalplaces[last]), yaxis(petalplaces[last + 2])), 150, 0.01);
}

TEST_F(Sections, GlowSpritesRiseOneUnitPerBeatAboveTheBottle)
{
    // The bottle stands at (0, -1, -1); the sprites start one unit nearer,
    // sprite i at height (t - 104000)/1000 - i above it.
    for (int t : {104300, 110450, 135999}) {
        glowplaces.clear();
        render(t);
        int n = (t - 104000) / 300;
        ASSERT_EQ(static_cast<int>(glowplaces.size()), n) << t;
        for (int i = 0; i < n; i++) {
            const std::array<float, 16>& m = glowplaces[i];
            EXPECT_NEAR(m[12], 0, 1e-5) << t << " sprite " << i;
            EXPECT_NEAR(m[13], -1 + (t - 104000) / 1000.0 - i, 1e-4) << t << " sprite " << i;
            EXPECT_NEAR(m[14], 0, 1e-5) << t << " sprite " << i;
            EXPECT_EQ(m[0], 1) << "no turn or scale before the sprite's own";
        }
    }
}

TEST_F(Sections, ClosingSquaresTurnOppositeWaysAtTheirOwnPaces)
{
    // At 150000 the first square has turned t/20 = 7500 degrees about +z
    // (60 modulo 360), the second t/13 about -z (-18.46 modulo 360); each is
    // stretched by (sin(t/1000) + 3, cos(t/1200) + 2) or cos(t/100) + 2.
    const int t = 150000;
    scalings.clear();
    render(t);
    ASSERT_EQ(scalings.size(), 2u);
    const double turns[2] = {t / 20.0, -t / 13.0};
    const double stretch[2][2] = {{std::sin(t / 1000.0) + 3, std::cos(t / 1200.0) + 2},
                                  {std::sin(t / 1000.0) + 3, std::cos(t / 100.0) + 2}};
    for (int k = 0; k < 2; k++) {
        const scaling& s = scalings[k];
        double a = turns[k] * M_PI / 180;
        EXPECT_NEAR(s.place[0], std::cos(a), 1e-3) << "square " << k;
        EXPECT_NEAR(s.place[1], std::sin(a), 1e-3) << "square " << k;
        EXPECT_NEAR(s.place[4], -std::sin(a), 1e-3) << "square " << k;
        EXPECT_NEAR(s.factors[0], stretch[k][0], 1e-5) << "square " << k;
        EXPECT_NEAR(s.factors[1], stretch[k][1], 1e-5) << "square " << k;
        EXPECT_EQ(s.factors[2], 1) << "square " << k;
    }
}

TEST_F(Sections, LightShinesFromTwoUnitsBehindTheViewer)
{
    // Applied right after the frame's identity: the position stays in eye
    // coordinates whatever the section does afterwards.
    for (int t : {20000, 90000}) {
        render(t);
        float p[4];
        glGetLightfv(GL_LIGHT1, GL_POSITION, p);
        EXPECT_EQ((std::array<float, 4>{p[0], p[1], p[2], p[3]}), (std::array<float, 4>{0, 0, 2, 1})) << t;
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1)) << t;
    }
}
