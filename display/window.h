// The one fullscreen 640x480 OpenGL window, and the per-frame bracket.
//
// Everything here runs on the main thread. `gl::init` creates the window
// and leaves depth testing and lighting on: that is the resting GL state of
// the whole show, and drawing routines that switch either off switch it
// back on before they return.
#pragma once

#include <cstddef>

class window {
public:
    int height;         // drawing size in pixels, never 0
    int width;
    float red, green, blue, alpha;  // clear colour used by clear()

    // Brings up SDL video and the 640x480 fullscreen GL mode. On failure
    // prints its message and ends the process at once with status 1.
    window();
    ~window();          // shuts SDL down

    // Stores the size (0 becomes 1) and sets viewport (0, 10, w, h) and a
    // 45-degree perspective. Leaves the projection matrix selected.
    void reshape(int width, int height);
    void clear();       // colour and depth with the stored clear colour
    void setclearcolor(float r, float g, float b);          // alpha 1
    void setclearcolor(float r, float g, float b, float a);
    void finishframe();
    void swapped();
};

extern window* w;       // created by gl::init, deleted by demo::quit

namespace gl {
// Before SDL_Init: when SDL_VIDEODRIVER is unset, sets it to the desktop
// drivers of the SDL at run time: x11 for classic SDL 1.2, "wayland,x11"
// for sdl12-compat. window() does this itself.
void choosedriver();
void init(int& argc, char** argv);  // arguments are not read
void startframe();      // model-view identity, then w->clear()
void finishframe();
void swap();
void resize(int width, int height);

// The seam through which tools and in-process tests see each frame. swap()
// calls `presenting`, when set, just before SDL swaps the buffers: the back
// buffer then holds the finished frame (after the swap its contents are
// undefined). It is null in the show, so the show's calls are unchanged.
extern void (*presenting)();

// The show's picture as readframe() reads it from the back buffer: 640x480
// RGB, three bytes a pixel, rows from the bottom up.
constexpr int framewidth = 640, frameheight = 480;
constexpr std::size_t framebytes = std::size_t(framewidth) * frameheight * 3;
void readframe(unsigned char* rgb);
}
