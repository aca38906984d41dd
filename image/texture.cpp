#include "image/texture.h"

#include "image/image.h"

#include <GL/glu.h>
#include <cstdlib>

// OpenGL 1.2's edge clamp. Windows' own GL header stops at 1.1; the drivers
// behind it implement the value.
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

texture::texture(const unsigned char* data, int length, bool wrap)
{
    // GL: turns 2D texturing on for the upload, leaves the new texture bound, turns texturing back off.
    img = loadjpeg(data, length);
    this->wrap = wrap;
    id = 0;
    if (!img)
        return;

    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const GLint mode = wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, mode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, mode);
    // GLU scales any size to powers of two and builds every mip level.
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, img->width, img->height, GL_RGB,
                      GL_UNSIGNED_BYTE, img->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glDisable(GL_TEXTURE_2D);
}

// The GL name is kept: the show never frees a texture while drawing.
texture::~texture()
{
    if (img)
        std::free(img->pixels);
    std::free(img);
}
