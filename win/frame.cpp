// demoframe: the Windows build's picture at one clock value, for comparing
// with the native demorender --at. Renders as demorender does (demo::frameat)
// and writes the back buffer as a binary PPM, rows from the top.
//
//   demoframe CLOCK OUT.ppm     (from the folder that holds data/)
#include "demo/demo.h"
#include "display/window.h"

#include <cstdio>
#include <cstdlib>

static unsigned char frame[gl::framebytes];

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
    gl::presenting = keepframe;
    demo::frameat(t);

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
