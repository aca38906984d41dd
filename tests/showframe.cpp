#include "showframe.h"

#include "demo/demo.h"
#include "display/window.h"
#include "scenes/gyrotube.h"

#include <algorithm>
#include <dlfcn.h>

namespace showframe {

record seen;

static std::int32_t now;

// glBegin calls by primitive since the last swap, or since render() or at()
// started.
static std::map<GLenum, int> drawing;

static std::int32_t readclock()
{
    return now;
}

// The frame at its swap: the back buffer and both stack depths.
static void present()
{
    record& r = seen;
    r.swaps++;
    r.presented.assign(gl::framebytes, 0);
    gl::readframe(r.presented.data());
    r.modelviewdepth = stackdepth(GL_MODELVIEW_STACK_DEPTH);
    r.projectiondepth = stackdepth(GL_PROJECTION_STACK_DEPTH);
    r.batches = drawing;
    drawing.clear();
}

void setup()
{
    freshgl();
    // The show's own objects, made once; each setup gets a fresh tube.
    if (!demo::hamstertex) {
        demo::loadpictures();
        demo::makeobjects();
    } else {
        delete demo::scenes[0];
        demo::scenes[0] = new gyrotube;
    }
    demo::blur = true;
    demo::done = false;
    demo::time = 0;
    demo::clock = readclock;
    gl::presenting = present;
}

void render(std::int32_t t)
{
    now = t;
    drawing.clear();
    demo::frame();
}

void at(std::int32_t t)
{
    drawing.clear();
    demo::frameat(t);
}

void openshow()
{
    setup();
    at(gyrotube::opens);
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

double colourful()
{
    int hits = 0, total = 0;
    for (int y = 8; y < 480; y += 16)
        for (int x = 8; x < 640; x += 16, total++) {
            rgb p = shown(x, y);
            hits += std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) >= 40;
        }
    return static_cast<double>(hits) / total;
}

}

// The test program's own definition wins over the GL library's for the
// calls made from the statically linked show: it counts, then forwards.
extern "C" void glBegin(GLenum mode)
{
    using beginfn = void (*)(GLenum);
    static beginfn real = reinterpret_cast<beginfn>(dlsym(RTLD_NEXT, "glBegin"));
    showframe::drawing[mode]++;
    real(mode);
}
