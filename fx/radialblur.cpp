// The 64x64 render-to-texture radial blur.
#include "fx/radialblur.h"

#include "display/window.h"

#include <cstdlib>

enum { size = 64 };

// Needs: a GL context. Leaves `tex` bound, 2D texturing as it was.
radialblur::radialblur() : step(0.034f), layers(5)
{
    void* scratch = std::calloc(size * size, 4);
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, scratch);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    std::free(scratch);
}

// Needs: the model-view matrix selected. Clears the whole framebuffer to
// black and leaves the 64x64 corner as the viewport, under the window's
// own projection.
void radialblur::begin()
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glViewport(0, 0, size, size);
}

// Needs: the corner drawn. Leaves `tex` bound, texturing off, the
// framebuffer cleared with the window's colour and the viewport 660x480:
// 20 pixels wider than the window, and it stays so for the rest of the show.
void radialblur::capture()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tex);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, size, size, 0);
    w->clear();
    glViewport(0, 0, 660, 480);
    glDisable(GL_TEXTURE_2D);
}

// Needs: the model-view matrix selected. Leaves depth testing on,
// texturing and blending off, texture 0 bound, both matrix stacks as they
// were, blend function (source alpha, one). Lighting is left as found.
void radialblur::draw()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);     // y down, one unit per pixel
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    // Each layer magnifies the centre of the small picture a little more
    // and adds less light: insets 0, 0.034, ...; alphas 0.2, 0.16, ...
    float inset = 0;
    float alpha = 0.2f;
    float alphastep = 0.2f / layers;
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, tex);
    glBegin(GL_QUADS);
    for (int i = 0; i < layers; i++) {
        glColor4f(1, 1, 1, alpha);
        glTexCoord2f(inset, 1 - inset);
        glVertex2f(0, 0);
        glTexCoord2f(inset, inset);
        glVertex2f(0, 480);
        glTexCoord2f(1 - inset, inset);
        glVertex2f(640, 480);
        glTexCoord2f(1 - inset, 1 - inset);
        glVertex2f(640, 0);
        inset += step;
        alpha -= alphastep;
    }
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}
