// The textured additive square and the petal: self-contained drawing pieces
// that the caller places with the current model-view matrix.
#pragma once

#include <GL/gl.h>

// A 2x2 white square 5 units ahead, texture `tex` added onto the picture.
void drawsquare(GLuint tex);

// A small lens-shaped solid, lit by the scene light, colour 0.1.
void drawpetal();
