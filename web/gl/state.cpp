// The fixed-function state: switches, matrices, current vertex attributes,
// lights and material, and the calls that act on the framebuffer at once.
#include "layer.h"

#include <cmath>
#include <cstring>

namespace webgl {

static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// GL's initial state: lights off, LIGHT0..7 with black ambient and diffuse
// (the show never uses LIGHT0, whose diffuse would start white), at
// (0, 0, 1, 0); the default material; white colour; normal (0, 0, 1).
static state initial()
{
    state s = {};
    for (int m = 0; m < 2; m++)
        std::memcpy(s.stack[m][0], identity, sizeof identity);
    s.depth[0] = s.depth[1] = 1;
    s.blendsrc = GL_ONE;
    s.blenddst = GL_ZERO;
    for (int i = 0; i < maxlights; i++) {
        light& l = s.lights[i];
        float position[4] = {0, 0, 1, 0}, black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
        std::memcpy(l.position, position, sizeof position);
        std::memcpy(l.ambient, black, sizeof black);
        std::memcpy(l.diffuse, i == 0 ? white : black, sizeof black);
    }
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    std::memcpy(s.ambient, ambient, sizeof ambient);
    std::memcpy(s.diffuse, diffuse, sizeof diffuse);
    float color[4] = {1, 1, 1, 1};
    std::memcpy(s.color, color, sizeof color);
    s.normal[2] = 1;
    s.normalstale = true;
    s.packalignment = 4;
    return s;
}

state gl = initial();

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

// With COLOR_MATERIAL on, the current colour is the ambient and diffuse
// material of both faces.
static void trackcolor()
{
    if (gl.colormaterial) {
        std::memcpy(gl.ambient, gl.color, sizeof gl.color);
        std::memcpy(gl.diffuse, gl.color, sizeof gl.color);
    }
}

static void setcap(GLenum cap, bool on)
{
    switch (cap) {
    case GL_LIGHTING: gl.lighting = on; break;
    case GL_TEXTURE_2D: gl.texturing = on; break;
    case GL_BLEND: gl.blend = on; break;
    case GL_DEPTH_TEST: gl.depthtest = on; break;
    case GL_COLOR_MATERIAL:
        gl.colormaterial = on;
        trackcolor();
        break;
    default:
        if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7)
            gl.lights[cap - GL_LIGHT0].enabled = on;
        // GL_TEXTURE_GEN_*: accepted, coordinates are never generated.
        break;
    }
}

}

using namespace webgl;

extern "C" {

void glEnable(GLenum cap)
{
    setcap(cap, true);
}

void glDisable(GLenum cap)
{
    setcap(cap, false);
}

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    gl.blendsrc = sfactor;
    gl.blenddst = dfactor;
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flush();
    emscripten_glViewport(x, y, width, height);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    emscripten_glClearColor(red, green, blue, alpha);
}

void glClear(GLbitfield mask)
{
    flush();
    emscripten_glClear(mask);
}

void glFlush(void)
{
    flush();
}

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

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    gl.color[0] = red, gl.color[1] = green, gl.color[2] = blue, gl.color[3] = alpha;
    trackcolor();
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue)
{
    glColor4f(red, green, blue, 1);
}

void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz)
{
    gl.normal[0] = nx, gl.normal[1] = ny, gl.normal[2] = nz;
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    gl.texcoord[0] = s, gl.texcoord[1] = t;
}

void glTexCoord2i(GLint s, GLint t)
{
    glTexCoord2f(static_cast<float>(s), static_cast<float>(t));
}

void glVertex2f(GLfloat x, GLfloat y)
{
    vertex(x, y, 0);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    vertex(x, y, z);
}

void glBegin(GLenum mode)
{
    begin(mode);
}

void glEnd(void)
{
    end();
}

// The position goes through the model-view matrix current at the call.
void glLightfv(GLenum which, GLenum pname, const GLfloat* params)
{
    if (which < GL_LIGHT0 || which > GL_LIGHT7)
        return;
    light& l = gl.lights[which - GL_LIGHT0];
    switch (pname) {
    case GL_POSITION: {
        const float* m = modelview();
        for (int row = 0; row < 4; row++)
            l.position[row] = m[row] * params[0] + m[4 + row] * params[1] +
                              m[8 + row] * params[2] + m[12 + row] * params[3];
        break;
    }
    case GL_AMBIENT: std::memcpy(l.ambient, params, sizeof l.ambient); break;
    case GL_DIFFUSE: std::memcpy(l.diffuse, params, sizeof l.diffuse); break;
    default: break;
    }
}

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_PACK_ALIGNMENT)
        gl.packalignment = param;
    else
        emscripten_glPixelStorei(pname, param);
}

// WebGL reads the one colour buffer it has.
void glReadBuffer(GLenum) {}

// WebGL 1 reads RGBA only: RGB is packed from it row by row, padded to the
// pack alignment.
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                  GLvoid* pixels)
{
    flush();
    if (type != GL_UNSIGNED_BYTE || (format != GL_RGB && format != GL_RGBA) || width <= 0 ||
        height <= 0)
        return;
    emscripten_glPixelStorei(GL_PACK_ALIGNMENT, 4);
    unsigned char* rgba = new unsigned char[std::size_t(width) * height * 4];
    emscripten_glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    int components = format == GL_RGB ? 3 : 4;
    int a = gl.packalignment;
    std::size_t stride = (std::size_t(width) * components + a - 1) / a * a;
    for (GLsizei row = 0; row < height; row++) {
        unsigned char* out = static_cast<unsigned char*>(pixels) + row * stride;
        const unsigned char* in = rgba + std::size_t(row) * width * 4;
        for (GLsizei i = 0; i < width; i++)
            std::memcpy(out + i * components, in + i * 4, components);
    }
    delete[] rgba;
}

}
