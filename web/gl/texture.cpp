// Textures: names, images, parameters, the copy from the framebuffer; and
// the texture environment, of which only GL_MODULATE is drawn.
#include "layer.h"

#include <vector>

namespace webgl {

// What is known of each name's images and its minification filter. As in
// GL, a texture is complete when it has an image at level 0 and, when its
// minification filter uses mip-maps, every level below it down to 1x1, each
// half the size of the one above (rounded down, at least 1); the formats of
// the levels are not compared. An incomplete texture draws as if texturing
// were off, as in GL; WebGL would sample it as black. A level 0 copied from
// a colour buffer that held only black is black; mip levels, when the
// filter samples them, are never known to be black.
enum { maxlevels = 16 };
struct images {
    GLsizei width[maxlevels] = {}, height[maxlevels] = {};  // 0: no image
    bool black = false;                 // level 0
    GLint minfilter = GL_NEAREST_MIPMAP_LINEAR;    // GL's initial one
};
static std::vector<images> known;

static images& of(GLuint texture)
{
    if (texture >= known.size())
        known.resize(texture + 1);
    return known[texture];
}

static bool mipmapped(GLint filter)
{
    return filter != GL_NEAREST && filter != GL_LINEAR;
}

bool complete(GLuint texture)
{
    if (texture >= known.size() || !known[texture].width[0])
        return false;
    const images& i = known[texture];
    if (!mipmapped(i.minfilter))
        return true;
    GLsizei w = i.width[0], h = i.height[0];
    for (int level = 1; w > 1 || h > 1; level++) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        if (level >= maxlevels || i.width[level] != w || i.height[level] != h)
            return false;
    }
    return true;
}

bool black(GLuint texture)
{
    return complete(texture) && known[texture].black && !mipmapped(known[texture].minfilter);
}

// An image of width x height at `level` of the bound texture; `isblack`:
// known to be black. Levels past the last one GL could sample are ignored.
static void fill(GLint level, GLsizei width, GLsizei height, bool isblack)
{
    if (level < 0 || level >= maxlevels)
        return;
    images& i = of(gl.bound);
    i.width[level] = width > 0 && height > 0 ? width : 0;
    i.height[level] = width > 0 && height > 0 ? height : 0;
    if (level == 0)
        i.black = isblack;
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
    fill(level, width, height, false);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (target != GL_TEXTURE_2D)
        return;
    select();
    emscripten_glTexParameteri(target, pname, param);
    if (pname == GL_TEXTURE_MIN_FILTER)
        of(gl.bound).minfilter = param;
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
    fill(level, width, height, gl.cleared && c[0] == 0 && c[1] == 0 && c[2] == 0);
}

// Every mode draws as GL_MODULATE: colour times texel.
void glTexEnvi(GLenum, GLenum, GLint) {}

// Accepted; texture coordinates are never generated.
void glTexGeni(GLenum, GLenum, GLint) {}

}
