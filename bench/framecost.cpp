// Times demo::frame at chosen clock values of every timeline section,
// without sound. Each frame is timed from the clock read to after the swap
// and a glFinish, so the GPU work is counted. Prints one line per frame:
//   "frame <index> <section> <clock> <ns>"
// where <index> counts swaps from 0 (the trace's frame numbers) and
// <section> is a name from the table below. Frames that only prepare are
// shown but not counted: "setup" before any section, "<section>/warm" once
// before each value's repeats, so that the renderer has met the value's
// state before the first counted frame. Usage: framecost <repeats> [section ...]
#include "demo/demo.h"
#include "demo/timeline.h"
#include "display/window.h"
#include "scenes/gyrotube.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

struct section {
    const char* name;
    std::int32_t values[6];     // clock values, 0-terminated
};

// In show order: the blur pass runs only before the tube scene opens
// (gyrotube::opens, 1700), so its section comes first. The petal chains are longest at 39999
// and 103990.
const section sections[] = {
    {"blur", {500, 1000, 1600}},
    {"tube", {gyrotube::opens, 3000, 5000, 6999}},
    {"bag", {7000, 20000, 33000, 39999}},
    {"photos", {40000, 41100, 56400, 71999}},
    {"noise", {72000, 88000, 100000, 103990}},
    {"bottle", {104000, 105100, 120000, 135999}},
    {"spin", {136000, 150000, 167999}},
    {"nothing", {showend, 180000}},
};

std::int32_t chosen;
std::int32_t chosenclock()
{
    return chosen;
}

long long now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

int swaps;

// One frame at `t`; prints its line and returns after the GPU is done.
void timed(const char* name, std::int32_t t)
{
    chosen = t;
    long long start = now();
    demo::frame();
    glFinish();
    long long ns = now() - start;
    std::printf("frame %d %s %d %lld\n", swaps++, name, t, ns);
}

bool wanted(const char* name, int argc, char** argv)
{
    if (argc < 3)
        return true;
    for (int i = 2; i < argc; i++)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

}

int main(int argc, char** argv)
{
    if (argc < 2 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: framecost <repeats> [section ...]\n");
        return 2;
    }
    int repeats = std::atoi(argv[1]);
    gl::init(argc, argv);
    demo::blur = true;
    demo::loadpictures();
    demo::makeobjects();
    demo::clock = chosenclock;
    // Frame 0 holds the texture uploads; it is shown but not counted.
    timed("setup", 0);
    for (const section& s : sections) {
        if (std::strcmp(s.name, "tube") == 0 && demo::blur)
            timed("setup", gyrotube::opens);   // the scene opens: one clear-only frame
        if (!wanted(s.name, argc, argv))
            continue;
        std::string warm = std::string(s.name) + "/warm";
        for (const std::int32_t* v = s.values; *v; v++) {
            timed(warm.c_str(), *v);
            for (int r = 0; r < repeats; r++)
                timed(s.name, *v);
        }
    }
    return 0;
}
