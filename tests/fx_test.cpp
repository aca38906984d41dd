// The textured square and the light, drawn in a real GL context and read
// back from the framebuffer.
#include "display/window.h"
#include "fx/draw.h"
#include "fx/light.h"
#include "support/glcontext.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

static const double f = 1 / std::tan(22.5 * M_PI / 180);  // window projection
static const double aspect = 640.0 / 480;

// Window pixel of an eye-space point under the window's projection and its
// viewport (0, 10, 640, 480).
static double winx(double x, double z) { return 320 + 320 * (f / aspect) * x / -z; }
static double winy(double y, double z) { return 250 + 240 * f * y / -z; }

static GLuint maketexture(int width, int height, const std::vector<unsigned char>& rgba)
{
    GLuint t;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return t;
}

static GLuint greytexture(unsigned char v)
{
    return maketexture(1, 1, {v, v, v, 255});
}

TEST(Square, LeavesTheRestingStateAndItsTexture)
{
    freshgl();
    GLuint t = greytexture(100);
    glTranslatef(0.5f, 0.25f, 0);
    glRotatef(10, 0, 0, 1);
    std::array<float, 16> before = matrix(GL_MODELVIEW_MATRIX);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor3f(1, 0, 0);
    drawsquare(t);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint bound = 0, env = 0, src = 0, dst = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, (GLint)t);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ONE);
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ((std::array<float, 4>{c[0], c[1], c[2], c[3]}), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
    glDeleteTextures(1, &t);
}

TEST(Square, IsAWhiteTwoByTwoSquareFiveUnitsAhead)
{
    freshgl();
    drawsquare(0);
    double left = winx(-1, -5), right = winx(1, -5);
    double bottom = winy(-1, -5), top = winy(1, -5);
    int cx = 320, cy = 250;
    for (auto [x, y] : {std::pair<double, double>{cx, cy}, {left + 6, cy}, {right - 6, cy},
                        {cx, bottom + 6}, {cx, top - 6}, {left + 6, top - 6}, {right - 6, bottom + 6}})
        EXPECT_TRUE(near(pixel(x, y), 255, 255, 255)) << x << "," << y << " " << str(pixel(x, y));
    // The viewport's 10-pixel lift puts the centre row at 250, not 240.
    for (auto [x, y] : {std::pair<double, double>{left - 6, cy}, {right + 6, cy},
                        {cx, bottom - 6}, {cx, top + 6}, {cx, 5}, {cx, 475}})
        EXPECT_TRUE(near(pixel(x, y), 0, 0, 0)) << x << "," << y << " " << str(pixel(x, y));
}

TEST(Square, AddsItsTextureAndIsDepthTested)
{
    freshgl();
    GLuint t = greytexture(100);
    drawsquare(t);
    EXPECT_TRUE(near(pixel(320, 250), 100, 100, 100)) << str(pixel(320, 250));
    // Same depth again: the depth test (less) rejects the second square.
    drawsquare(t);
    EXPECT_TRUE(near(pixel(320, 250), 100, 100, 100)) << str(pixel(320, 250));
    // With the depth cleared it adds; without the depth test it adds and saturates.
    glClear(GL_DEPTH_BUFFER_BIT);
    drawsquare(t);
    EXPECT_TRUE(near(pixel(320, 250), 200, 200, 200)) << str(pixel(320, 250));
    glDisable(GL_DEPTH_TEST);
    drawsquare(t);
    EXPECT_TRUE(near(pixel(320, 250), 255, 255, 255)) << str(pixel(320, 250));
    EXPECT_TRUE(near(pixel(100, 250), 0, 0, 0)) << str(pixel(100, 250));
    glDeleteTextures(1, &t);
}

TEST(Square, PicturesFirstRowIsAtTheTop)
{
    freshgl();
    // Rows: red green / blue white; the first row is t = 0.
    GLuint t = maketexture(2, 2, {255, 0, 0, 255, 0, 255, 0, 255,
                                  0, 0, 255, 255, 255, 255, 255, 255});
    drawsquare(t);
    int l = 320 - 40, r = 320 + 40, top = 250 + 40, bottom = 250 - 40;
    EXPECT_TRUE(near(pixel(l, top), 255, 0, 0)) << str(pixel(l, top));
    EXPECT_TRUE(near(pixel(r, top), 0, 255, 0)) << str(pixel(r, top));
    EXPECT_TRUE(near(pixel(l, bottom), 0, 0, 255)) << str(pixel(l, bottom));
    EXPECT_TRUE(near(pixel(r, bottom), 255, 255, 255)) << str(pixel(r, bottom));
    glDeleteTextures(1, &t);
}

static std::array<float, 4> lightv(GLenum what)
{
    std::array<float, 4> v;
    glGetLightfv(GL_LIGHT1, what, v.data());
    return v;
}

TEST(Light, AppliesAsAPointLightThroughTheModelView)
{
    freshgl();
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    glLightfv(GL_LIGHT1, GL_AMBIENT, grey);
    light l;
    l.apply();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_EQ(lightv(GL_POSITION), (std::array<float, 4>{0, 0, 2, 1}));
    EXPECT_EQ(lightv(GL_DIFFUSE), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(lightv(GL_AMBIENT), (std::array<float, 4>{0, 0, 0, 1}));
    glTranslatef(1, 2, 3);
    l.apply();
    EXPECT_EQ(lightv(GL_POSITION), (std::array<float, 4>{1, 2, 5, 1}));
    glDisable(GL_LIGHT1);
}

TEST(Light, ConstructorsAgree)
{
    const float xyz[3] = {0, 0, 2};
    const float other[3] = {-1.5f, 2, 7};
    light a, b(0, 0, 2), c(xyz), d(other);
    for (const light* l : {&a, &b, &c}) {
        EXPECT_EQ((std::array<float, 4>{l->position[0], l->position[1], l->position[2], l->position[3]}),
                  (std::array<float, 4>{0, 0, 2, 1}));
        EXPECT_TRUE(l->enabled);
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(l->ambient[i], i == 3 ? 1 : 0);
            EXPECT_EQ(l->diffuse[i], 1);
        }
    }
    EXPECT_EQ((std::array<float, 4>{d.position[0], d.position[1], d.position[2], d.position[3]}),
              (std::array<float, 4>{-1.5f, 2, 7, 1}));
}

TEST(Light, DisabledOnlySwitchesTheLightOff)
{
    freshgl();
    const float where[4] = {5, 6, 7, 1}, dim[4] = {0.25f, 0.5f, 0.75f, 1};
    glLightfv(GL_LIGHT1, GL_POSITION, where);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, dim);
    glEnable(GL_LIGHT1);
    light l(-3, -3, -3);
    l.enabled = false;
    l.apply();
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_EQ(lightv(GL_POSITION), (std::array<float, 4>{5, 6, 7, 1}));
    EXPECT_EQ(lightv(GL_DIFFUSE), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1}));
}
