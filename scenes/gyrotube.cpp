// The tube scene.
#include "scenes/gyrotube.h"

#include "demo/demo.h"
#include "display/window.h"
#include "image/texture.h"

#include <GL/gl.h>
#include <cmath>

static const double twopi = 6.283185307179586;

gyrotube::gyrotube() : t(0)
{
    start = opens;
    end = closes;
}

gyrotube::~gyrotube() = default;

// The tube takes the screen over from the blur pass: from the next frame
// on, the timeline's own drawing is what the viewer sees.
void gyrotube::init()
{
    w->setclearcolor(0.3f, 0.1f, 0);
    demo::blur = false;
}

void gyrotube::cleanup()
{
    w->setclearcolor(0, 0, 0);
}

// One ring segment of the tube, z from 0 to 2, texture s running once
// around it; a steps by 0.1 in single precision to just past 2 pi, so the
// strip closes on itself with a small overlap (64 angles).
static void ring()
{
    glBegin(GL_QUAD_STRIP);
    for (float a = 0; a < twopi + 0.1; a += 0.1f) {
        float s = static_cast<float>(a / twopi);
        glNormal3f(-std::sin(a), -std::cos(a), 0.2f);
        glTexCoord2f(s, 0);
        glVertex3f(std::sin(a), std::cos(a), 0);
        glTexCoord2f(s, 1);
        glVertex3f(std::sin(a), std::cos(a), 2);
    }
    glEnd();
}

// Needs: lighting and depth testing on, the caller's push around the call.
// Leaves the sway and the drift on the model-view matrix, texturing and
// colour material off, the colour (0.3, 0.1, 0, 0.9) and sphere-map
// generation chosen for the texture coordinates (generation itself off).
// The tube is textured with whatever texture is bound when it is drawn.
void gyrotube::draw()
{
    if (sleeping())
        return;
    double now = demo::time;
    t = now - start;

    float sway = static_cast<float>(std::sin(now / 20));
    glRotatef(sway * 50, 0, 0, 1);
    glTranslatef(0, 0.4f, 0);
    glRotatef(-sway * 50, 0, 0, 1);
    glRotatef(static_cast<float>(std::sin(now / 10)) * 9, 1, 0, 0);
    glRotatef(static_cast<float>(std::sin(now / 13)) * 7, 0, 1, 0);

    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(0, 0, static_cast<float>(t / 43));
    glPushMatrix();
    glEnable(GL_COLOR_MATERIAL);
    glRotatef(static_cast<float>(t), 0, 0, 1);
    for (int k = 0; k < 20; k++) {
        glTranslatef(0, 0, -2);
        ring();
    }
    glPopMatrix();
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);

    // The title card as a sphere-mapped overlay: it is set up and undone
    // without geometry, so it only leaves the colour and the generation
    // mode behind. R and Q refuse the sphere map (GL_INVALID_ENUM, unread).
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, demo::hamstertex->id);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_Q, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glColor4f(0.3f, 0.1f, 0, 0.9f);
    glTranslatef(0, static_cast<float>(-std::fabs(std::sin(t / 9))), static_cast<float>(-t / 40 - 4));
    glScalef(0.5f, 0.3f, 1);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}
