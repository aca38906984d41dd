#include "capture/grab.h"

#include "capture/encoder.h"

#include <GL/gl.h>
#include <dlfcn.h>

static unsigned char frame[capture::framebytes];

const unsigned char* capture::presented()
{
    return frame;
}

extern "C" void SDL_GL_SwapBuffers()
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, capture::framewidth, capture::frameheight, GL_RGB, GL_UNSIGNED_BYTE, frame);
    static auto swap = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    swap();
}
