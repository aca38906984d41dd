// The fixed-function state: switches, current vertex attributes, lights
// and material, and the calls that act on the framebuffer at once.
#include "layer.h"

#include <cstring>

namespace webgl {

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
    float c[4] = {red, green, blue, alpha};
    for (float& v : c)
        v = v < 0 ? 0 : v > 1 ? 1 : v;
    std::memcpy(gl.clearcolor, c, sizeof c);
    emscripten_glClearColor(red, green, blue, alpha);
}

// A clear reaches every pixel (there is no scissor or write mask). A clear
// of colour and depth together leaves nothing of a batch not yet drawn
// (batches write no stencil), so that batch is forgotten instead. Between
// glBegin and glEnd a clear does nothing, as in GL, where it is an error.
void glClear(GLbitfield mask)
{
    if (inpair())
        return;
    const GLbitfield both = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
    if ((mask & both) == both)
        discard();
    else
        flush();
    emscripten_glClear(mask);
    if (mask & GL_COLOR_BUFFER_BIT) {
        gl.cleared = true;
        std::memcpy(gl.clearedto, gl.clearcolor, sizeof gl.clearedto);
    }
}

void glFlush(void)
{
    flush();
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
