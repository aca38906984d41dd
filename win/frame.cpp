// demoframe: the Windows build's picture at one clock value, for comparing
// with the native demorender --at. Renders as demorender does (the tube
// scene's opening frame first when the clock is past it) and writes the
// back buffer as a binary PPM, rows from the top.
//
//   demoframe CLOCK OUT.ppm     (from the folder that holds data/)
#include "demo/demo.h"
#include "display/window.h"
#include "scenes/gyrotube.h"

#include <cstdio>
#include <cstdlib>

static std::int32_t frameclock;
static unsigned char frame[gl::framebytes];

static std::int32_t chosenclock()
{
    return frameclock;
}

static void keepframe()
{
    gl::readframe(frame);
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: demoframe CLOCK OUT.ppm\n");
        return 2;
    }
    std::int32_t t = std::atoi(argv[1]);
    gl::init(argc, argv);
    demo::blur = true;
    demo::loadpictures();
    demo::makeobjects();
    demo::clock = chosenclock;
    gl::presenting = keepframe;
    if (t > gyrotube::opens && demo::blur) {
        frameclock = gyrotube::opens;
        demo::frame();
    }
    frameclock = t;
    demo::frame();

    FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", gl::framewidth, gl::frameheight);
    const std::size_t row = gl::framewidth * 3;
    for (int y = gl::frameheight - 1; y >= 0; y--)
        std::fwrite(frame + y * row, 1, row, out);
    bool ok = std::fclose(out) == 0;
    delete w;
    return ok ? 0 : 1;
}
