// The petal, drawn in a real GL context and read back from the framebuffer,
// and the vertices and normals it passes to GL.
#include "fx/draw.h"
#include "fx/light.h"
#include "support/glcontext.h"

#include <GL/gl.h>
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
