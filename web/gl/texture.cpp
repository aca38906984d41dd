// Textures: names, images, parameters, the copy from the framebuffer; and
// the texture environment, of which only GL_MODULATE is drawn.
#include "layer.h"

#include <vector>

namespace webgl {

// Which names have an image at level 0. A texture without one is
// incomplete and draws as if texturing were off, as in GL; WebGL would
// sample it as black.
static std::vector<bool> filled;

bool complete(GLuint texture)
{
    return texture < filled.size() && filled[texture];
}

static void fill(GLuint texture)
{
    if (texture >= filled.size())
        filled.resize(texture + 1);
    filled[texture] = true;
}

// The base format of a GL 1.x internal format: 3 and 4 components are
// GL_RGB and GL_RGBA; WebGL wants it equal to the pixel format.
static GLenum baseformat(GLint internalformat)
{
    switch (internalformat) {
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return static_cast<GLenum>(internalformat);
    }
}

}

using namespace webgl;

extern "C" {

void glGenTextures(GLsizei n, GLuint* textures)
{
    emscripten_glGenTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D)
        gl.bound = texture;
}

// Uploads go to the bound texture straight away, so a pending batch that
// samples the old image is drawn first.
static void select()
{
    flush();
    emscripten_glBindTexture(GL_TEXTURE_2D, gl.bound);
}

void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    if (target != GL_TEXTURE_2D)
        return;
    select();
    GLenum base = baseformat(internalformat);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    emscripten_glTexImage2D(target, level, base, width, height, border, format, type, pixels);
    if (level == 0)
        fill(gl.bound);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (target != GL_TEXTURE_2D)
        return;
    select();
    emscripten_glTexParameteri(target, pname, param);
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x, GLint y,
                      GLsizei width, GLsizei height, GLint border)
{
    if (target != GL_TEXTURE_2D)
        return;
    select();
    emscripten_glCopyTexImage2D(target, level, baseformat(internalformat), x, y, width, height,
                                border);
    if (level == 0)
        fill(gl.bound);
}

// Every mode draws as GL_MODULATE: colour times texel.
void glTexEnvi(GLenum, GLenum, GLint) {}

// Accepted; texture coordinates are never generated.
void glTexGeni(GLenum, GLenum, GLint) {}

}
