// A real GL context for tests: the show's own window under the X display
// the test runner started, and helpers to read pixels and state back.
#pragma once

#include <GL/gl.h>
#include <array>
#include <string>

// Opens the window once per test program (gl::init) and puts the GL state
// back to what the show has right after gl::init: depth test and lighting
// on, everything else default, viewport (0, 10, 640, 480), the projection
// of the window, the model-view identity selected, colour buffer black.
void freshgl();

struct rgb {
    int r, g, b;
};

// One pixel of the back buffer, window coordinates (origin bottom left).
rgb pixel(int x, int y);

// True when every channel is within `tolerance` of (r, g, b).
bool near(rgb p, int r, int g, int b, int tolerance = 3);
std::string str(rgb p);

std::array<int, 4> viewport();
int stackdepth(GLenum which);  // GL_MODELVIEW_STACK_DEPTH or projection
std::array<float, 16> matrix(GLenum which);  // GL_MODELVIEW_MATRIX, ...
