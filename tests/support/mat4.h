// Column-major 4x4 matrices, as GL keeps them, in double precision: what
// tests build by hand to compare with the model-view matrix the show left.
#pragma once

#include <array>
#include <cmath>

using mat4 = std::array<double, 16>;

inline mat4 product(const mat4& a, const mat4& b)
{
    mat4 m{};
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            for (int k = 0; k < 4; k++)
                m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

// A turn of `degrees` about the unit axis (x, y, z), as glRotate makes it.
inline mat4 turned(double degrees, double x, double y, double z)
{
    double c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180), d = 1 - c;
    return {x * x * d + c,     y * x * d + z * s, z * x * d - y * s, 0,
            x * y * d - z * s, y * y * d + c,     z * y * d + x * s, 0,
            x * z * d + y * s, y * z * d - x * s, z * z * d + c,     0,
            0,                 0,                 0,                 1};
}

inline mat4 moved(double x, double y, double z)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}
