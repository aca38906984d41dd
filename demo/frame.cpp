// One frame: clock, flash, start, light, timeline section, blur pass, present;
// and the frame at a chosen clock value.
#include "demo/demo.h"
#include "demo/timeline.h"

#include "display/window.h"
#include "fx/light.h"
#include "fx/radialblur.h"
#include "scenes/gyrotube.h"
#include "scenes/scene.h"

#include <GL/gl.h>

// White on the beat in two stretches of the show: 75 to 224 units after
// each beat (the remainder truncates, as C++'s does).
bool flashing(std::int32_t t)
{
    bool stretch = (t >= 41001 && t <= 72999) || (t >= 105001 && t <= 136999);
    return stretch && (t - 75) % 1000 <= 149;
}

// While demo::blur is set, scene slot 0 is drawn four times into the 64x64
// corner and blurred back over the screen. The scene's open hook may clear
// demo::blur while it draws: that frame captures, but shows only the clear
// colour the hook has just set.
static void blurpass()
{
    if (demo::blur) {
        demo::blurrer->begin();
        for (int i = 0; i < 4; i++) {
            glPushMatrix();
            demo::scenes[0]->draw();
            glPopMatrix();
        }
        demo::blurrer->capture();
    }
    if (demo::blur)
        demo::blurrer->draw();
}

void demo::frame()
{
    time = clock();
    if (flashing(time))
        w->setclearcolor(1, 1, 1);
    else
        w->setclearcolor(0, 0, 0);
    gl::startframe();
    lamp->apply();
    drawsection(time);
    blurpass();
    gl::finishframe();
    gl::swap();
}

// The clock frameat() gives frame() while it draws.
static std::int32_t chosen;

static std::int32_t chosenclock()
{
    return chosen;
}

void demo::frameat(std::int32_t t)
{
    std::int32_t (*was)() = clock;
    clock = chosenclock;
    if (t > gyrotube::opens && blur) {
        chosen = gyrotube::opens;
        frame();
    }
    chosen = t;
    frame();
    clock = was;
}
