// The one light source.
#include "fx/light.h"

#include <GL/gl.h>

light::light() : light(0, 0, 2) {}

light::light(const float* xyz) : light(xyz[0], xyz[1], xyz[2]) {}

light::light(float x, float y, float z)
    : position{x, y, z, 1}, enabled(true), ambient{0, 0, 0, 1}, diffuse{1, 1, 1, 1}
{
}

// Needs: nothing. Leaves GL_LIGHT1 on (off when disabled); the position
// goes through the current model-view matrix, as GL does for lights.
void light::apply()
{
    if (!enabled) {
        glDisable(GL_LIGHT1);
        return;
    }
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glEnable(GL_LIGHT1);
}
