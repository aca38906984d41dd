// The matrix stacks: model-view and projection, 32 deep each, column-major
// as GL keeps them, in single precision as GL computes them; and the
// matrix that carries normals into eye coordinates.
#include "layer.h"

#include <cmath>
#include <cstring>

namespace webgl {

const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

float* top()
{
    return gl.stack[gl.mode][gl.depth[gl.mode] - 1];
}

const float* modelview()
{
    return gl.stack[0][gl.depth[0] - 1];
}

// top() = top() * m, both column-major.
void multiply(const float* m)
{
    float* a = top();
    float r[16];
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++)
            r[c * 4 + row] = a[0 * 4 + row] * m[c * 4 + 0] + a[1 * 4 + row] * m[c * 4 + 1] +
                             a[2 * 4 + row] * m[c * 4 + 2] + a[3 * 4 + row] * m[c * 4 + 3];
    std::memcpy(a, r, sizeof r);
    if (gl.mode == 0)
        gl.normalstale = true;
}

// Normals go through the inverse-transpose of the model-view's upper 3x3.
void updatenormalmatrix()
{
    const float* m = modelview();
    auto a = [m](int r, int c) { return m[c * 4 + r]; };
    float cof[9];   // cofactors, row-major: cof[r * 3 + c]
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r * 3 + c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    float det = a(0, 0) * cof[0] + a(0, 1) * cof[1] + a(0, 2) * cof[2];
    // The inverse is the transposed cofactors over the determinant; its
    // transpose, the matrix wanted, is the cofactors themselves.
    for (int i = 0; i < 9; i++)
        gl.normalmatrix[i] = det != 0 ? cof[i] / det : 0;
    gl.normalstale = false;
}

}

using namespace webgl;

extern "C" {

void glMatrixMode(GLenum mode)
{
    if (mode == GL_MODELVIEW || mode == GL_PROJECTION)
        gl.mode = mode == GL_PROJECTION;
}

void glLoadIdentity(void)
{
    std::memcpy(top(), identity, sizeof identity);
    if (gl.mode == 0)
        gl.normalstale = true;
}

void glPushMatrix(void)
{
    int& d = gl.depth[gl.mode];
    if (d == stackdepth)
        return;
    std::memcpy(gl.stack[gl.mode][d], gl.stack[gl.mode][d - 1], sizeof(float) * 16);
    d++;
}

void glPopMatrix(void)
{
    int& d = gl.depth[gl.mode];
    if (d == 1)
        return;
    d--;
    if (gl.mode == 0)
        gl.normalstale = true;
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    multiply(m);
}

// A rotation about a coordinate axis is built from the sine and cosine
// alone, so its other entries are exactly 0 and 1; any other axis is
// normalised first. The angle is in degrees.
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    float radians = static_cast<float>(angle * (M_PI / 180.0));
    float s = std::sin(radians), c = std::cos(radians);
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (x == 0 && y == 0 && z != 0) {
        if (z < 0)
            s = -s;
        m[0] = c, m[1] = s, m[4] = -s, m[5] = c;
    } else if (x == 0 && z == 0 && y != 0) {
        if (y < 0)
            s = -s;
        m[0] = c, m[2] = -s, m[8] = s, m[10] = c;
    } else if (y == 0 && z == 0 && x != 0) {
        if (x < 0)
            s = -s;
        m[5] = c, m[6] = s, m[9] = -s, m[10] = c;
    } else {
        float length = std::sqrt(x * x + y * y + z * z);
        if (length == 0)
            return;
        x /= length, y /= length, z /= length;
        float k = 1 - c;
        m[0] = x * x * k + c, m[4] = x * y * k - z * s, m[8] = x * z * k + y * s;
        m[1] = y * x * k + z * s, m[5] = y * y * k + c, m[9] = y * z * k - x * s;
        m[2] = x * z * k - y * s, m[6] = y * z * k + x * s, m[10] = z * z * k + c;
    }
    multiply(m);
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    float m[16] = {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
    multiply(m);
}

// Single precision, as the values reach the matrix stack.
void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
             GLdouble zNear, GLdouble zFar)
{
    float l = left, r = right, b = bottom, t = top, n = zNear, f = zFar;
    float m[16] = {2 / (r - l), 0, 0, 0, 0, 2 / (t - b), 0, 0, 0, 0, -2 / (f - n), 0,
                   -(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n), 1};
    multiply(m);
}

}
