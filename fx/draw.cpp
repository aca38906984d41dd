// The textured additive square and the petal.
#include "fx/draw.h"

#include <cmath>

// Needs: lighting on. Leaves texturing and blending off, lighting on, `tex`
// bound, blend function (one, one), colour white, the matrix as it was.
// Depth testing stays as the caller has it: the square is depth-tested.
void drawsquare(GLuint tex)
{
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTranslatef(0, 0, -5);
    glColor3f(1, 1, 1);
    glNormal3f(0, 0, 1);
    // The picture's first decoded row (t = 0) goes to the top edge.
    glBegin(GL_POLYGON);
    glTexCoord2i(0, 1);
    glVertex3f(-1, -1, 0);
    glTexCoord2i(1, 1);
    glVertex3f(1, -1, 0);
    glTexCoord2i(1, 0);
    glVertex3f(1, 1, 0);
    glTexCoord2i(0, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

// The outline runs over a in [-pi/2, pi/2) from -pi/2 rounded to single
// precision; each step adds 0.3 and rounds to single precision (the sum is
// taken in double: a float 0.3 would drift 1-2 ulp from these values).
// That gives 11 values from -1.5707964 to 1.4292035, so the petal stops
// short of pi/2 and is not symmetric about x = 0. The point for a is
// (a, cos a), the half-thickness there 0.25 |cos a|.
static const float first = static_cast<float>(-M_PI / 2);

static float next(float a)
{
    return static_cast<float>(static_cast<double>(a) + 0.3);
}

static bool inside(float a)
{
    return a < static_cast<float>(M_PI / 2);
}

// Needs: lighting on. Leaves colour material on and the colour at 0.1;
// the matrix as it was.
void drawpetal()
{
    glPushMatrix();
    glColor3f(0.1f, 0.1f, 0.1f);
    glEnable(GL_COLOR_MATERIAL);
    glScalef(0.4f, 0.4f, 0.4f);
    for (int s = -1; s <= 1; s += 2) {
        glNormal3f(std::sin(0.5f), 0, s * std::cos(0.5f));
        glBegin(GL_TRIANGLE_FAN);
        glVertex3f(0, 0, 0);
        for (float a = first; inside(a); a = next(a)) {
            float c = std::cos(a);
            glVertex3f(a, c, s * 0.25f * std::fabs(c));
        }
        glEnd();
    }
    glBegin(GL_QUAD_STRIP);
    for (float a = first; inside(a); a = next(a)) {
        float c = std::cos(a);
        glNormal3f(std::sin(a), c, 0);
        glVertex3f(a, c, 0.25f * std::fabs(c));
        glVertex3f(a, c, -0.25f * std::fabs(c));
    }
    glEnd();
    glPopMatrix();
}
