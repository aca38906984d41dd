// One embedded JPEG turned into a mip-mapped GL texture.
#pragma once

#include <GL/gl.h>

struct image;

class texture {
public:
    image* img;     // the decoded picture, kept for the texture's lifetime
    bool wrap;      // true: GL_REPEAT; false: GL_CLAMP_TO_EDGE
    GLuint id;

    // Needs a GL context. Decodes, uploads with mip-maps, leaves 2D
    // texturing off and the new texture bound. A picture loadjpeg refuses
    // (not 3-component colour) leaves img null and id 0, touching no GL
    // state: drawn with, it is plain white.
    texture(const unsigned char* data, int length, bool wrap);
    ~texture();     // frees the decoded picture; the GL name is kept
};
