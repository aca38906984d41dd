// The window, its projection and the frame bracket, in a real GL context.
#include "display/window.h"
#include "support/glcontext.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Window, InitLeavesTheShowsRestingState)
{
    freshgl();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(w->width, 640);
    EXPECT_EQ(w->height, 480);
    // The viewport starts 10 pixels above the bottom edge.
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 10, 640, 480}));
    // 45 degrees vertically, 4:3, near 0.1, far 100.
    std::array<float, 16> p = matrix(GL_PROJECTION_MATRIX);
    float f = 1 / std::tan(22.5 * M_PI / 180);
    EXPECT_NEAR(p[5], f, 1e-5);
    EXPECT_NEAR(p[0], f / (640.0 / 480), 1e-5);
    EXPECT_NEAR(p[10], -(100 + 0.1) / (100 - 0.1), 1e-5);
    EXPECT_NEAR(p[14], -2 * 100 * 0.1 / (100 - 0.1), 1e-5);
}

TEST(Window, ReshapeToNothingKeepsOnePixel)
{
    freshgl();
    gl::resize(0, 0);
    EXPECT_EQ(w->width, 1);
    EXPECT_EQ(w->height, 1);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 10, 1, 1}));
    int mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION) << "reshape leaves the projection selected";
    std::array<float, 16> p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], p[5], 1e-6) << "aspect 1";
    freshgl();
}

TEST(Window, ClearColourAlwaysHasAlphaOne)
{
    freshgl();
    w->setclearcolor(0.5f, 0.25f, 0.75f, 0.2f);
    EXPECT_FLOAT_EQ(w->alpha, 0.2f);
    w->setclearcolor(0.3f, 0.1f, 0);
    EXPECT_FLOAT_EQ(w->alpha, 1);
    w->clear();
    float c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_FLOAT_EQ(c[0], 0.3f);
    EXPECT_FLOAT_EQ(c[1], 0.1f);
    EXPECT_FLOAT_EQ(c[2], 0);
    EXPECT_FLOAT_EQ(c[3], 1);
    rgb p = pixel(320, 240);
    EXPECT_TRUE(near(p, 77, 26, 0)) << str(p);
}

TEST(Window, StartFrameSelectsIdentityModelViewAndClears)
{
    freshgl();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_PROJECTION);
    w->setclearcolor(1, 1, 1);
    gl::startframe();
    int mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    std::array<float, 16> m = matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1 : 0) << i;
    // The clear covers the whole window, viewport or not.
    EXPECT_TRUE(near(pixel(0, 0), 255, 255, 255));
    EXPECT_TRUE(near(pixel(639, 479), 255, 255, 255));
    float depth = 0;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1);
    freshgl();
}
