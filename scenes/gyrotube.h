// The tube scene: a textured tube of 20 rings that the camera drifts into
// while the tube turns about its axis and the view sways. Clock 1700-3500.
#pragma once

#include "scenes/scene.h"

class gyrotube : public scene {
public:
    // The clock value at which the tube opens; its open hook ends the
    // blur pass, so this is where the black opening of the show ends.
    static constexpr std::int32_t opens = 1700;
    static constexpr std::int32_t closes = 3500;

    double t;       // demo::time - start, refreshed by every draw()

    gyrotube();
    ~gyrotube() override;
    void draw() override;
    void init() override;
    void cleanup() override;
};
