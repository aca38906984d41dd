// gluPerspective and gluBuild2DMipmaps over the web GL layer.
#include <GL/glu.h>

#include "layer.h"

#include <cmath>
#include <cstring>
#include <vector>

// The projection is computed in double precision and multiplied onto the
// current matrix in single precision, as GLU hands it to GL.
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    double radians = fovy / 2 * M_PI / 180;
    double depth = zFar - zNear;
    double sine = std::sin(radians);
    if (depth == 0 || sine == 0 || aspect == 0)
        return;
    double cotangent = std::cos(radians) / sine;
    GLfloat m[16] = {};
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(zFar + zNear) / depth);
    m[11] = -1;
    m[14] = static_cast<float>(-2 * zNear * zFar / depth);
    webgl::multiply(m);
}

static bool poweroftwo(GLsizei n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

// One level down: each pixel the rounded mean of the 2x2 block above it,
// or of the pair when one side is already 1.
static std::vector<unsigned char> halve(const std::vector<unsigned char>& src, int width,
                                        int height, int components)
{
    int w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
    std::vector<unsigned char> dst(std::size_t(w) * h * components);
    int across = width > 1 ? 2 : 1, down = height > 1 ? 2 : 1, n = across * down;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < components; c++) {
                int sum = 0;
                for (int i = 0; i < down; i++)
                    for (int j = 0; j < across; j++)
                        sum += src[((std::size_t(y) * down + i) * width + x * across + j) * components + c];
                dst[(std::size_t(y) * w + x) * components + c] =
                    static_cast<unsigned char>((sum + n / 2) / n);
            }
    return dst;
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data)
{
    int components = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 0;
    if (!poweroftwo(width) || !poweroftwo(height) || type != GL_UNSIGNED_BYTE || !components)
        return GLU_INVALID_VALUE;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> level(bytes, bytes + std::size_t(width) * height * components);
    for (GLint n = 0;; n++) {
        glTexImage2D(target, n, internalFormat, width, height, 0, format, type, level.data());
        if (width == 1 && height == 1)
            return 0;
        level = halve(level, width, height, components);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}
