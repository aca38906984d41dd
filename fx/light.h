// The one fixed-function light, GL_LIGHT1, pushed to GL once per frame.
#pragma once

class light {
public:
    float position[4];  // (x, y, z, 1): a point light
    bool enabled;
    float ambient[4];   // (0, 0, 0, 1)
    float diffuse[4];   // (1, 1, 1, 1)

    light();                            // at (0, 0, 2)
    light(float x, float y, float z);
    explicit light(const float* xyz);   // the first three floats

    // Position (through the current model-view matrix), diffuse, ambient,
    // then enables GL_LIGHT1; a disabled light only switches GL_LIGHT1 off.
    void apply();
};
