// The tube scene: a textured tube of 20 rings that the camera drifts into
// while the tube turns about its axis and the view sways. Clock 1700-3500.
#pragma once

#include "scenes/scene.h"

class gyrotube : public scene {
public:
    double t;       // demo::time - start, refreshed by every draw()

    gyrotube();
    ~gyrotube() override;
    void draw() override;
    void init() override;
    void cleanup() override;
};
