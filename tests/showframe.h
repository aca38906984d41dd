// The show's frame driven from a test: the show state built without the
// soundtrack or the sound device, a clock the test sets, and a record of
// what each frame drew and presented.
#pragma once

#include "support/glcontext.h"

#include <GL/gl.h>
#include <cstdint>
#include <map>
#include <vector>

namespace showframe {

// What the last presented frame looked like and did. `presented` is the
// back buffer at the swap, 640x480 RGB rows from the bottom up; `batches`
// counts glBegin calls by primitive in that frame.
struct record {
    int swaps = 0;
    std::vector<unsigned char> presented;
    int modelviewdepth = 0;     // stack depths at the swap
    int projectiondepth = 0;
    std::map<GLenum, int> batches;
};
extern record seen;

// The show as demo::init leaves it, minus sound: the window in its resting
// state, the six textures (made once), a fresh tube in slot 0, the blur pass
// on, demo::done clear, and demo::clock reading the value render() sets.
void setup();

// Runs one frame with the clock at t.
void render(std::int32_t t);

// The frame a viewer whose clock went through every earlier value would
// see at t (demo::frameat): two swaps when the blur pass is still on and t
// is past the opening, the record holding the second.
void at(std::int32_t t);

// setup(), then the frame in which the tube opens: from then on the blur
// pass is off and the viewport is (0, 0, 660, 480), as for the rest of the
// show.
void openshow();

// A presented pixel, window coordinates (origin bottom left).
rgb shown(int x, int y);

// Petals drawn by the last frame: each is two triangle fans.
int petals();

// Share of a 16-pixel grid over the presented frame showing a colourful
// pixel: the static's channels are independent, so most of its pixels have
// two channels at least 40 apart; the pictures' plain areas do not.
double colourful();

}
