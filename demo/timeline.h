// The show's choreography: which picture is drawn at which clock value.
#pragma once

#include <cstdint>

// The clock value at which the show ends: 103.9 s into the soundtrack.
constexpr std::int32_t showend = 168000;

// True when the frame at clock value t flashes white.
bool flashing(std::int32_t t);

// Draws the timeline section holding t onto the current model-view matrix;
// some sections leave a transformation in place. From showend on nothing is
// drawn and demo::done is set.
void drawsection(std::int32_t t);

// The rotation of the 104000 section at t, in degrees: t / ((104000-t)/10),
// held at its t = 103990 value where the divisor would be 0.
double spinangle(std::int32_t t);
