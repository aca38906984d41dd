// A glowing zoom blur of whatever is drawn between begin() and capture():
// rendered small into the bottom-left 64x64 pixels, copied into a texture,
// and drawn back over the whole screen as additive, ever larger layers.
#pragma once

#include <GL/gl.h>

class radialblur {
public:
    GLuint tex;     // the 64x64 blur texture
    float step;     // 0.034: texture-coordinate inset added per layer
    int layers;     // 5

    radialblur();   // needs a GL context; leaves `tex` bound
    void begin();   // clears, resets the current matrix, 64x64 viewport
    void capture(); // corner into `tex`, clears with the window's colour
    void draw();    // the layered blur over the 640x480 screen
};
