// Textures: names, images, parameters, the copy from the framebuffer; and
// the texture environment, of which only GL_MODULATE is drawn.
#include "layer.h"

#include <vector>

namespace webgl {

// What is known of each name's images. A texture without an image at
// level 0 is incomplete and draws as if texturing were off, as in GL;
// WebGL would sample it as black. A level 0 copied from a colour buffer
// that held only black is black; an image given at any other level may be
// sampled too and is never known, so such a texture is never black.
struct images {
    bool filled, black, levels;
};
static std::vector<images> known;

static images& of(GLuint texture)
{
    if (texture >= known.size())
        known.resize(texture + 1);
    return known[texture];
}

bool complete(GLuint texture)
{
    return texture < known.size() && known[texture].filled;
}

bool black(GLuint texture)
{
    return complete(texture) && known[texture].black && !known[texture].levels;
}

// An image at `level` of the bound texture; `isblack`: known to be black.
static void fill(GLint level, bool isblack)
{
    images& i = of(gl.bound);
    if (level == 0) {
        i.filled = true;
        i.black = isblack;
    } else {
        i.levels = true;
    }
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
// samples the old image is drawn first (and a copy sees what it drew).
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
    fill(level, false);
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
    const float* c = gl.clearedto;
    fill(level, gl.cleared && c[0] == 0 && c[1] == 0 && c[2] == 0);
}

// Every mode draws as GL_MODULATE: colour times texel.
void glTexEnvi(GLenum, GLenum, GLint) {}

// Accepted; texture coordinates are never generated.
void glTexGeni(GLenum, GLenum, GLint) {}

}
