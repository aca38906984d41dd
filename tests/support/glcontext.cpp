#include "glcontext.h"

#include "display/window.h"

#include <GL/glu.h>
#include <cstdlib>

void freshgl()
{
    if (!w) {
        int argc = 0;
        gl::init(argc, nullptr);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_LIGHT1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor4f(1, 1, 1, 1);
    w->reshape(640, 480);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    w->setclearcolor(0, 0, 0);
    w->clear();
}

rgb pixel(int x, int y)
{
    unsigned char p[4] = {};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

bool near(rgb p, int r, int g, int b, int tolerance)
{
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance
        && std::abs(p.b - b) <= tolerance;
}

std::string str(rgb p)
{
    return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}

std::array<int, 4> viewport()
{
    std::array<int, 4> v;
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

int stackdepth(GLenum which)
{
    int depth = 0;
    glGetIntegerv(which, &depth);
    return depth;
}

std::array<float, 16> matrix(GLenum which)
{
    std::array<float, 16> m;
    glGetFloatv(which, m.data());
    return m;
}
