// What the timeline's sections leave and place: the model-view matrix
// after each, the petal chain, the spin, the glow sprites, the closing
// squares and the light, from the show's own frame after the tube has
// opened.
#include "demo/demo.h"
#include "demo/timeline.h"
#include "showframe.h"
#include "support/mat4.h"

#include <array>
#include <cmath>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <vector>

using showframe::render;
using showframe::seen;

class Sections : public ::testing::Test {
protected:
    void SetUp() override
    {
        showframe::openshow();
        ASSERT_FALSE(demo::blur);
    }
};

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
        EXPECT_GT(showframe::colourful(), 0.3) << t;
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
