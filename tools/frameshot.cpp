// Renders the show at chosen clock values without a sound card and writes
// each presented frame as a binary PPM: frameshot <clock> <out.ppm> ...
// The clock values are shown in the order given, as the show would see
// them; a value below the previous one is taken as it stands.
#include "demo/demo.h"
#include "display/window.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <cstdio>
#include <dlfcn.h>
#include <cstdlib>
#include <vector>

static std::int32_t chosen;

static std::int32_t chosenclock()
{
    return chosen;
}

static std::vector<unsigned char> rgb(640 * 480 * 3);

// The frame is read back just before it is presented: after the swap the
// back buffer is undefined. This definition takes the place of SDL's for
// the show's calls, and hands on to it.
extern "C" void SDL_GL_SwapBuffers()
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    auto swap = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    swap();
}

static bool writeppm(const char* path)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n640 480\n255\n");
    // GL rows run bottom up; PPM rows top down.
    for (int y = 479; y >= 0; y--)
        std::fwrite(&rgb[y * 640 * 3], 1, 640 * 3, f);
    return std::fclose(f) == 0;
}

int main(int argc, char** argv)
{
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: frameshot <clock> <out.ppm> ...\n");
        return 2;
    }
    gl::init(argc, argv);
    demo::blur = true;
    demo::loadpictures();
    demo::makeobjects();
    demo::clock = chosenclock;
    for (int i = 1; i < argc; i += 2) {
        chosen = std::atoi(argv[i]);
        // The tube scene takes over from the blur pass in the first frame
        // at 1700 or later; that frame shows only its clear colour.
        if (chosen >= 1700 && demo::blur) {
            std::int32_t wanted = chosen;
            chosen = 1700;
            demo::frame();
            chosen = wanted;
        }
        demo::frame();
        if (!writeppm(argv[i + 1]))
            return 1;
    }
    return 0;
}
