#include "display/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

window* w = nullptr;

// A start-up failure of the window ends the process at once: no exit
// handlers run (SDL's own included), so the message is flushed by hand.
[[noreturn]] static void die()
{
    std::fflush(stdout);
    _exit(1);
}

// Classic SDL 1.2 (versions below 1.2.50) gets OpenGL windows only from
// X11, and without a display it falls back to a text-mode driver that
// paints the terminal and then refuses the GL mode: asking it for X11
// gives the honest "no display" failure instead. sdl12-compat (1.2.50 and
// up) hands the choice to SDL 2, which takes a list: Wayland first, then
// X11 (XWayland, or an X desktop). Without the list SDL 2 would go on to
// its off-screen driver when neither answers, and the show would play
// where nobody sees it. A driver the user named is always kept. On Windows
// SDL's own default, its windib driver, is the desktop: nothing to choose.
#ifdef _WIN32
void gl::choosedriver() {}
#else
void gl::choosedriver()
{
    const SDL_version* v = SDL_Linked_Version();
    bool classic = SDL_VERSIONNUM(v->major, v->minor, v->patch) < SDL_VERSIONNUM(1, 2, 50);
    setenv("SDL_VIDEODRIVER", classic ? "x11" : "wayland,x11", 0);
}
#endif

window::window()
{
    gl::choosedriver();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::printf("eeek, kunne ikke inite sdl: %s\n", SDL_GetError());
        die();
    }
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
    if (!SDL_SetVideoMode(640, 480, 0, SDL_OPENGL | SDL_FULLSCREEN)) {
        std::printf("Eeek, kunne ikke sette 640x480");
        die();
    }
    reshape(640, 480);
    SDL_ShowCursor(0);
    setclearcolor(0, 0, 0);
}

window::~window()
{
    SDL_Quit();
}

// The viewport starts 10 pixels above the bottom edge; the top 10 rows of
// the picture fall outside the window until the blur pass sets its own.
void window::reshape(int width, int height)
{
    if (width == 0)
        width = 1;
    if (height == 0)
        height = 1;
    this->width = width;
    this->height = height;
    glViewport(0, 10, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, (double)width / height, 0.1f, 100);
}

void window::clear()
{
    glClearColor(red, green, blue, alpha);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void window::setclearcolor(float r, float g, float b)
{
    setclearcolor(r, g, b, 1);
}

void window::setclearcolor(float r, float g, float b, float a)
{
    red = r;
    green = g;
    blue = b;
    alpha = a;
}

// Per-frame hooks for a window that needs them; this one does not.
void window::finishframe() {}
void window::swapped() {}

namespace gl {

void init(int&, char**)
{
    w = new window;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

void startframe()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    w->clear();
}

void finishframe()
{
    w->finishframe();
}

void (*presenting)();

void swap()
{
    if (presenting)
        presenting();
    SDL_GL_SwapBuffers();
    w->swapped();
}

void readframe(unsigned char* rgb)
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, framewidth, frameheight, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

void resize(int width, int height)
{
    w->reshape(width, height);
}

}
