#include "showframe.h"

#include "demo/demo.h"
#include "fx/light.h"
#include "fx/radialblur.h"
#include "scenes/gyrotube.h"

#include <dlfcn.h>

namespace showframe {

record seen;

static std::int32_t now;

static std::int32_t readclock()
{
    return now;
}

void setup()
{
    freshgl();
    if (!demo::hamstertex) {
        demo::loadpictures();
        demo::blurrer = new radialblur;
        demo::lamp = new light(0, 0, 2);
    }
    delete demo::scenes[0];
    demo::scenes[0] = new gyrotube;
    demo::blur = true;
    demo::done = false;
    demo::time = 0;
    demo::clock = readclock;
}

void render(std::int32_t t)
{
    now = t;
    seen.batches.clear();
    demo::frame();
}

void openshow()
{
    setup();
    render(1700);
}

rgb shown(int x, int y)
{
    const unsigned char* p = &seen.presented[(y * 640 + x) * 3];
    return {p[0], p[1], p[2]};
}

int petals()
{
    return seen.batches[GL_TRIANGLE_FAN] / 2;
}

}

// The test program's own definitions win over the libraries' for the calls
// made from the statically linked show: each records, then forwards.
extern "C" void SDL_GL_SwapBuffers(void)
{
    using swapfn = void (*)(void);
    static swapfn real = reinterpret_cast<swapfn>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    showframe::record& r = showframe::seen;
    r.swaps++;
    r.presented.assign(640 * 480 * 3, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, r.presented.data());
    r.modelviewdepth = stackdepth(GL_MODELVIEW_STACK_DEPTH);
    r.projectiondepth = stackdepth(GL_PROJECTION_STACK_DEPTH);
    real();
}

extern "C" void glBegin(GLenum mode)
{
    using beginfn = void (*)(GLenum);
    static beginfn real = reinterpret_cast<beginfn>(dlsym(RTLD_NEXT, "glBegin"));
    showframe::seen.batches[mode]++;
    real(mode);
}
