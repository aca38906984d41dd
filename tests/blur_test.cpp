// The radial blur, drawn in a real GL context and read back from the
// framebuffer.
#include "display/window.h"
#include "fx/draw.h"
#include "fx/radialblur.h"
#include "support/glcontext.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <vector>

// Clears the window rectangle (x, y, width, height) to a colour, nothing else.
static void paint(int x, int y, int width, int height, float r, float g, float b)
{
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, width, height);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

TEST(Blur, StartsWithAnEmpty64SquareLinearTexture)
{
    freshgl();
    radialblur rb;
    GLint bound = 0, width = 0, height = 0, below = -1, minf = 0, magf = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, (GLint)rb.tex);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &below);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 64);
    EXPECT_EQ(below, 0) << "no mip-maps";
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minf);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magf);
    EXPECT_EQ(minf, GL_LINEAR);
    EXPECT_EQ(magf, GL_LINEAR);
    std::vector<unsigned char> texels(64 * 64 * 4, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(*std::max_element(texels.begin(), texels.end()), 0) << "starts black";
    glDeleteTextures(1, &rb.tex);
}

TEST(Blur, BeginClearsAndSelectsTheCorner)
{
    freshgl();
    radialblur rb;
    std::array<float, 16> projection = matrix(GL_PROJECTION_MATRIX);
    drawsquare(0);
    glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
    glTranslatef(1, 2, 3);
    rb.begin();
    float c[4], depth = 0;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_EQ((std::array<float, 4>{c[0], c[1], c[2], c[3]}), (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_TRUE(near(pixel(320, 250), 0, 0, 0)) << str(pixel(320, 250));
    glReadPixels(320, 250, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1);
    std::array<float, 16> m = matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1 : 0) << i;
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 64, 64}));
    glDeleteTextures(1, &rb.tex);
}

TEST(Blur, CaptureCopiesTheCornerAndClearsWithTheWindowColour)
{
    freshgl();
    radialblur rb;
    rb.begin();
    paint(0, 0, 32, 64, 1, 0, 0);       // left half red
    paint(0, 32, 64, 32, 0, 1, 0);      // top half green
    w->setclearcolor(0.3f, 0.1f, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    rb.capture();
    EXPECT_TRUE(near(pixel(10, 10), 77, 26, 0)) << str(pixel(10, 10));
    EXPECT_TRUE(near(pixel(320, 250), 77, 26, 0)) << str(pixel(320, 250));
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 660, 480}));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, (GLint)rb.tex);
    std::vector<unsigned char> t(64 * 64 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
    auto texel = [&](int x, int y) { return rgb{t[(y * 64 + x) * 4], t[(y * 64 + x) * 4 + 1], t[(y * 64 + x) * 4 + 2]}; };
    // Texture row 0 is the bottom row of the corner.
    EXPECT_TRUE(near(texel(10, 10), 255, 0, 0)) << str(texel(10, 10));
    EXPECT_TRUE(near(texel(50, 10), 0, 0, 0)) << str(texel(50, 10));
    EXPECT_TRUE(near(texel(10, 50), 0, 255, 0)) << str(texel(10, 50));
    EXPECT_TRUE(near(texel(50, 50), 0, 255, 0)) << str(texel(50, 50));
    glDeleteTextures(1, &rb.tex);
}

// One blur frame with the corner painted by `corner`, lighting off.
template <typename F>
static void blurframe(radialblur& rb, F corner)
{
    glDisable(GL_LIGHTING);
    rb.begin();
    corner();
    rb.capture();
    rb.draw();
}

TEST(Blur, WhiteCornerGlowsAtSixTenths)
{
    freshgl();
    radialblur rb;
    // Five layers adding 0.2 + 0.16 + 0.12 + 0.08 + 0.04 of the picture.
    blurframe(rb, [] { paint(0, 0, 64, 64, 1, 1, 1); });
    for (auto [x, y] : {std::pair<int, int>{320, 240}, {5, 5}, {630, 470}, {100, 400}, {600, 60}})
        EXPECT_TRUE(near(pixel(x, y), 153, 153, 153)) << x << "," << y << " " << str(pixel(x, y));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "lighting is left as found";
    glDeleteTextures(1, &rb.tex);
}

TEST(Blur, EmptyCornerLeavesTheClearColour)
{
    freshgl();
    radialblur rb;
    blurframe(rb, [] {});
    EXPECT_TRUE(near(pixel(320, 240), 0, 0, 0)) << str(pixel(320, 240));
    EXPECT_TRUE(near(pixel(5, 5), 0, 0, 0)) << str(pixel(5, 5));
    w->setclearcolor(0.3f, 0.1f, 0);
    blurframe(rb, [] {});
    EXPECT_TRUE(near(pixel(320, 240), 77, 26, 0)) << str(pixel(320, 240));
    EXPECT_TRUE(near(pixel(5, 5), 77, 26, 0)) << str(pixel(5, 5));
    glDeleteTextures(1, &rb.tex);
}

TEST(Blur, KeepsThePicturesLayout)
{
    freshgl();
    radialblur rb;
    blurframe(rb, [] {
        paint(0, 0, 32, 64, 1, 0, 0);
        paint(0, 32, 64, 32, 0, 1, 0);
    });
    // Corner: top half green, bottom left red; the blur keeps left and top.
    EXPECT_TRUE(near(pixel(100, 80), 153, 0, 0)) << str(pixel(100, 80));
    EXPECT_TRUE(near(pixel(560, 80), 0, 0, 0)) << str(pixel(560, 80));
    EXPECT_TRUE(near(pixel(100, 400), 0, 153, 0)) << str(pixel(100, 400));
    EXPECT_TRUE(near(pixel(560, 400), 0, 153, 0)) << str(pixel(560, 400));
    glDeleteTextures(1, &rb.tex);
}

TEST(Blur, DrawPutsTheStateBack)
{
    freshgl();
    radialblur rb;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    rb.begin();
    rb.capture();
    glTranslatef(-4, 5, 6);
    std::array<float, 16> modelview = matrix(GL_MODELVIEW_MATRIX);
    std::array<float, 16> projection = matrix(GL_PROJECTION_MATRIX);
    int mdepth = stackdepth(GL_MODELVIEW_STACK_DEPTH), pdepth = stackdepth(GL_PROJECTION_STACK_DEPTH);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, rb.tex);
    rb.draw();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << "lighting is left as found";
    GLint bound = -1, mode = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(stackdepth(GL_MODELVIEW_STACK_DEPTH), mdepth);
    EXPECT_EQ(stackdepth(GL_PROJECTION_STACK_DEPTH), pdepth);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelview);
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 660, 480}));
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glDeleteTextures(1, &rb.tex);
}
