// The timeline: seven sections, chosen by the first bound t is below.
#include "demo/timeline.h"

#include "demo/demo.h"
#include "fx/draw.h"
#include "image/texture.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

// The state drawsquare sets itself; some sections set it before the
// square all the same.
static void additive()
{
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
}

static void square(const texture* x)
{
    drawsquare(x->id);
}

// A new petal every 500 units from `base`; each moves one unit along its
// own y per 1000 units and swings out along x = -d^2/1.5. The 75-degree
// turn is not pushed, so it accumulates from petal to petal.
static void petalchain(std::int32_t t, std::int32_t base)
{
    glPushMatrix();
    glRotatef(45, 0, 0, 1);
    std::int32_t n = (t - base) / 500;
    for (std::int32_t i = 0; i < n; i++) {
        glRotatef(75, 1, 0, 0);
        glPushMatrix();
        double u = (t - base) / 1000.0 - i;
        double d = u - 0.5;
        glTranslatef(static_cast<float>(-std::pow(d, 2) / 1.5), static_cast<float>(u), 0);
        drawpetal();
        glPopMatrix();
    }
    glPopMatrix();
}

double spinangle(std::int32_t t)
{
    std::int32_t held = std::min(t, 103990);
    return held / static_cast<double>((104000 - held) / 10);
}

// Glow sprites rise from the bottle, one more every 300 units.
static void glowsprites(std::int32_t t)
{
    for (std::int32_t i = 0; i < (t - 104000) / 300; i++) {
        glPushMatrix();
        glTranslatef(0, static_cast<float>((t - 104000) / 1000.0 - i), 0);
        glScalef(0.1f, 0.1f, 1);
        square(demo::glowtex);
        glPopMatrix();
    }
}

void drawsection(std::int32_t t)
{
    if (t < 7000) {
        glScalef(3, 2, 1);
        additive();
        square(demo::noisetex);
    } else if (t < 40000) {
        glPushMatrix();
        glTranslatef(-2, -1, 0);
        glScalef(0.7f, 1, 1);
        square(demo::bagtex);
        glPopMatrix();
        glTranslatef(0, 1, -5);
        petalchain(t, 7000);
    } else if (t < 72000) {
        additive();
        if (t % 1000 > 499) {
            square(demo::snapshottex);
        } else {
            glScalef(1, 2, 1);
            square(demo::bottletex);
        }
        glDisable(GL_BLEND);
        glEnable(GL_LIGHTING);
    } else if (t < 104000) {
        glRotatef(static_cast<float>(spinangle(t)), 0, 0, 1);
        glPushMatrix();
        glScalef(3, 2, 1);
        additive();
        square(demo::noisetex);
        glPopMatrix();
        petalchain(t, 7000);
    } else if (t < 136000) {
        glPushMatrix();
        glTranslatef(0, -1, -1);
        glPushMatrix();
        glScalef(1, 2, 1);
        square(demo::bottletex);
        glPopMatrix();
        glPushMatrix();
        glTranslatef(0, 0, 1);
        glowsprites(t);
        glPopMatrix();
        glPopMatrix();
    } else if (t < showend) {
        glPushMatrix();
        glRotatef(static_cast<float>(t / 20.0), 0, 0, 1);
        glScalef(static_cast<float>(std::sin(t / 1000.0) + 3), static_cast<float>(std::cos(t / 1200.0) + 2), 1);
        additive();
        square(demo::noisetex);
        glPopMatrix();
        glPushMatrix();
        glRotatef(static_cast<float>(t / 13.0), 0, 0, -1);
        glScalef(static_cast<float>(std::sin(t / 1000.0) + 3), static_cast<float>(std::cos(t / 100.0) + 2), 1);
        additive();
        square(demo::noisetex);
        glPopMatrix();
    } else {
        demo::done = true;
    }
}
