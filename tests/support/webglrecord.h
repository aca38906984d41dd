// A WebGL that records what the web GL layer asks of it, for tests of the
// layer built natively (its GL/gl.h first on the include path): every
// emscripten_gl* entry point the layer calls, doing nothing but count.
// `draws`: each draw's index count; `sampled`: the texture bound at each
// draw, 0 for none; `clears`: clears. `alphabits` is what it answers for
// the canvas's alpha channel (0 unless a test sets it). Single-threaded.
#pragma once

#include <GL/gl.h>

#include <gtest/gtest.h>
#include <vector>

extern std::vector<int> draws;
extern std::vector<GLuint> sampled;
extern int clears;
extern GLint alphabits;

// One quad, two triangles: glBegin(GL_QUADS), four vertices, glEnd.
void quad();

// Each test starts with the batch drawn, the records empty, lighting,
// texturing and blending off, the depth test on and a black clear colour.
class WebLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        glFlush();
        draws.clear();
        sampled.clear();
        clears = 0;
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
    }
};
