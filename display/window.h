// The one fullscreen 640x480 OpenGL window, and the per-frame bracket.
//
// Everything here runs on the main thread. `gl::init` creates the window
// and leaves depth testing and lighting on: that is the resting GL state of
// the whole show, and drawing routines that switch either off switch it
// back on before they return.
#pragma once

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
void init(int& argc, char** argv);  // arguments are not read
void startframe();      // model-view identity, then w->clear()
void finishframe();
void swap();
void resize(int width, int height);
}
