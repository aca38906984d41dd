// The drawing pieces, the light and the radial blur, drawn in a real GL
// context and read back from the framebuffer.
#include "display/window.h"
#include "fx/draw.h"
#include "fx/light.h"
#include "fx/radialblur.h"
#include "support/glcontext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <dlfcn.h>
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

// The lit pixels of the whole back buffer.
struct litarea {
    int left = 640, right = -1, bottom = 480, top = -1;
    int brightest = 0;
    bool grey = true;
};

static litarea scan()
{
    std::vector<unsigned char> p(640 * 480 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, p.data());
    litarea a;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            const unsigned char* q = &p[(y * 640 + x) * 3];
            if (std::max({q[0], q[1], q[2]}) < 3)
                continue;
            a.left = std::min(a.left, x);
            a.right = std::max(a.right, x);
            a.bottom = std::min(a.bottom, y);
            a.top = std::max(a.top, y);
            a.brightest = std::max<int>(a.brightest, q[0]);
            a.grey = a.grey && std::abs(q[0] - q[1]) <= 3 && std::abs(q[1] - q[2]) <= 3;
        }
    return a;
}

TEST(Petal, IsADimGreyArchReachingFurtherLeft)
{
    freshgl();
    light l(0, 0, 2);
    l.apply();
    glTranslatef(0, 0, -2);
    std::array<float, 16> before = matrix(GL_MODELVIEW_MATRIX);
    glColor3f(1, 0, 0);
    drawpetal();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ((std::array<float, 4>{c[0], c[1], c[2], c[3]}), (std::array<float, 4>{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);

    litarea a = scan();
    ASSERT_GE(a.right, 0) << "nothing drawn";
    EXPECT_TRUE(a.grey);
    // Colour 0.1 as material: 0.1 x 0.2 ambient plus 0.1 diffuse x N.L,
    // where the petal's own scale 0.4 lengthens the normals 2.5 times
    // (normals are not renormalised). The brightest face turns (sin .5, 0,
    // cos .5); N.L there runs from 0.878 at the centre to 0.941 at the tip.
    EXPECT_GE(a.brightest, (0.02 + 0.25 * 0.878) * 255 - 3);
    EXPECT_LE(a.brightest, (0.02 + 0.25 * 0.941) * 255 + 3);
    // In model units: the tip at x = -pi/2 on the axis, the last outline
    // point at x = 1.4292035, y = cos x, nearer by 0.25 cos x; top near
    // a = -0.0707964. Scale 0.4, 2 units ahead.
    const float end = 1.4292035f, mid = -0.0707964f;
    double tip = winx(-M_PI / 2 * 0.4, -2);
    double last = winx(end * 0.4, -2 + 0.1 * std::cos(end));
    double top = winy(0.4 * std::cos(mid), -2 + 0.1 * std::cos(mid));
    EXPECT_NEAR(a.left, tip, 3);
    EXPECT_NEAR(a.right, last, 2);
    EXPECT_NEAR(a.top, top, 2);
    EXPECT_NEAR(a.bottom, 250, 2) << "the arch stands on the x axis";
    EXPECT_GT((320 - a.left) - (a.right - 320), 10) << a.left << " " << a.right;
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

// The vertices drawpetal passes while `recording`; the test program's
// glVertex3f wins over the GL library's for the statically linked show.
static bool recording;
static std::vector<std::array<float, 3>> vertices, normals;

extern "C" void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    using vertexfn = void (*)(GLfloat, GLfloat, GLfloat);
    static vertexfn real = reinterpret_cast<vertexfn>(dlsym(RTLD_NEXT, "glVertex3f"));
    if (recording)
        vertices.push_back({x, y, z});
    real(x, y, z);
}

extern "C" void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    using normalfn = void (*)(GLfloat, GLfloat, GLfloat);
    static normalfn real = reinterpret_cast<normalfn>(dlsym(RTLD_NEXT, "glNormal3f"));
    if (recording)
        normals.push_back({x, y, z});
    real(x, y, z);
}

TEST(Petal, OutlineStepsByPointThreeRoundedToSinglePrecision)
{
    freshgl();
    vertices.clear();
    normals.clear();
    recording = true;
    drawpetal();
    recording = false;
    // From -pi/2 in single precision, each step adds 0.3 and rounds to
    // single precision: 11 values ending at 1.4292035. Float arithmetic
    // (a += 0.3f) would end at 1.42920375 instead.
    const std::vector<float> outline = {-0x1.921fb6p+0f, -0x1.4552eap+0f, -0x1.f10c3ap-1f, -0x1.5772ap-1f,
                                        -0x1.7bb20cp-2f, -0x1.21fb64p-4f, 0x1.d568b4p-3f,  0x1.0ef3c6p-1f,
                                        0x1.a88d6p-1f,   0x1.21137cp+0f,  0x1.6de048p+0f};
    EXPECT_EQ(outline.back(), 1.4292035f);
    EXPECT_EQ(outline.front(), static_cast<float>(-M_PI / 2));
    // Two fans (the centre, then the outline) and the rim's pairs.
    ASSERT_EQ(vertices.size(), 2 * (1 + outline.size()) + 2 * outline.size());
    for (int fan = 0; fan < 2; fan++) {
        const std::array<float, 3>* v = &vertices[fan * (1 + outline.size())];
        EXPECT_EQ(v[0], (std::array<float, 3>{0, 0, 0}));
        for (size_t i = 0; i < outline.size(); i++) {
            EXPECT_EQ(v[1 + i][0], outline[i]) << "fan " << fan << " point " << i;
            EXPECT_EQ(v[1 + i][1], std::cos(outline[i])) << "fan " << fan << " point " << i;
        }
    }
    const std::array<float, 3>* rim = &vertices[2 * (1 + outline.size())];
    for (size_t i = 0; i < outline.size(); i++) {
        EXPECT_EQ(rim[2 * i][0], outline[i]) << "rim point " << i;
        EXPECT_EQ(rim[2 * i + 1][0], outline[i]) << "rim point " << i;
        EXPECT_EQ(rim[2 * i][2], -rim[2 * i + 1][2]) << "rim point " << i;
    }
}

TEST(Petal, FacesBulgeAndLeanOutwardOnTheirOwnSides)
{
    freshgl();
    vertices.clear();
    normals.clear();
    recording = true;
    drawpetal();
    recording = false;
    // One normal per face, then one per rim point: the back face (z <= 0)
    // leans back, the front face forward, both towards +x by sin 0.5.
    ASSERT_EQ(normals.size(), 2u + 11u);
    ASSERT_EQ(vertices.size(), 2u * 12 + 22);
    for (int face = 0; face < 2; face++) {
        float s = face ? 1.0f : -1.0f;
        EXPECT_EQ(normals[face], (std::array<float, 3>{std::sin(0.5f), 0, s * std::cos(0.5f)})) << face;
        for (int i = 1; i < 12; i++) {
            float z = vertices[face * 12 + i][2];
            EXPECT_EQ(z, s * 0.25f * std::fabs(vertices[face * 12 + i][1])) << face << " " << i;
        }
    }
    // The rim's normals point out from the axis, (sin a, cos a, 0).
    for (int i = 0; i < 11; i++) {
        float a = vertices[24 + 2 * i][0];
        EXPECT_EQ(normals[2 + i], (std::array<float, 3>{std::sin(a), std::cos(a), 0})) << i;
    }
}
