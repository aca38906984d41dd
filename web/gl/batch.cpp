// Immediate mode: vertices gathered between glBegin and glEnd, turned into
// indexed triangles in eye coordinates, and drawn in batches by the shader
// programs of programs.cpp.
#include "layer.h"

#include <cstring>
#include <vector>

namespace webgl {

enum { maxvertices = 65536 };

static std::vector<float> vertices;
static std::vector<std::uint16_t> indices;
static drawstate batched;
static GLenum primitive;
static std::size_t first;      // the current primitive's first vertex
static bool pair;               // between glBegin and glEnd
static bool inside;             // and keeping the pair's vertices

void flush()
{
    if (indices.empty())
        return;
    prepare(batched);
    emscripten_glBufferData(GL_ARRAY_BUFFER, vertices.size() * sizeof(float), vertices.data(),
                            GL_STREAM_DRAW);
    emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(std::uint16_t),
                            indices.data(), GL_STREAM_DRAW);
    emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()),
                              GL_UNSIGNED_SHORT, nullptr);
    gl.cleared = false;
    discard();
}

void discard()
{
    if (inside) {
        vertices.erase(vertices.begin(), vertices.begin() + first * floatspervertex);
        first = 0;
    } else {
        vertices.clear();
    }
    indices.clear();
}

bool inpair()
{
    return pair;
}

// The draw state the current GL state gives. Parts the shader does not
// read under it are left zero, so they never split a batch.
static drawstate current()
{
    drawstate d;
    std::memset(&d, 0, sizeof d);
    d.lighting = gl.lighting;
    d.texturing = gl.texturing && complete(gl.bound);
    d.texture = d.texturing ? gl.bound : 0;
    d.blend = gl.blend;
    d.depthtest = gl.depthtest;
    d.blendsrc = gl.blend ? gl.blendsrc : GL_ONE;
    d.blenddst = gl.blend ? gl.blenddst : GL_ZERO;
    std::memcpy(d.projection, gl.stack[1][gl.depth[1] - 1], sizeof d.projection);
    if (gl.lighting) {
        d.colormaterial = gl.colormaterial;
        for (const light& l : gl.lights) {
            if (!l.enabled)
                continue;
            std::memcpy(d.lightposition[d.lights], l.position, sizeof l.position);
            std::memcpy(d.lightambient[d.lights], l.ambient, sizeof l.ambient);
            std::memcpy(d.lightdiffuse[d.lights], l.diffuse, sizeof l.diffuse);
            d.lights++;
        }
        if (!gl.colormaterial) {
            std::memcpy(d.ambient, gl.ambient, sizeof d.ambient);
            std::memcpy(d.diffuse, gl.diffuse, sizeof d.diffuse);
        }
    }
    return d;
}

// True when the canvas has no alpha channel (web/sdl/video.js makes it so).
static bool opaque()
{
    GLint bits = -1;
    emscripten_glGetIntegerv(GL_ALPHA_BITS, &bits);
    return bits == 0;
}

// A draw that cannot change what is seen: blended with destination factor
// one and without a depth test (so without depth writes), from a black
// texture, which GL_MODULATE makes every fragment's colour black. It would
// add zero to each colour and change only alpha, so it is left out only on
// a canvas without alpha (asked only when the rest holds: rarely).
static bool addsnothing(const drawstate& d)
{
    return d.blend && d.blenddst == GL_ONE && !d.depthtest && d.texturing && black(d.texture) &&
           opaque();
}

// The vertices of a draw that adds nothing are not kept: glVertex and
// glEnd see a pair whose vertices are not kept.
void begin(GLenum mode)
{
    pair = true;
    drawstate d = current();
    if (addsnothing(d))
        return;
    if (!indices.empty() && (std::memcmp(&d, &batched, sizeof d) != 0 ||
                             vertices.size() / floatspervertex > maxvertices / 2))
        flush();
    batched = d;
    primitive = mode;
    first = vertices.size() / floatspervertex;
    inside = true;
    if (gl.normalstale)
        updatenormalmatrix();
}

void vertex(float x, float y, float z)
{
    if (!inside || vertices.size() / floatspervertex >= maxvertices)
        return;
    const float* m = modelview();
    const float* n = gl.normalmatrix;
    float v[floatspervertex];
    for (int row = 0; row < 4; row++)
        v[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    for (int row = 0; row < 3; row++)
        v[4 + row] = n[row * 3] * gl.normal[0] + n[row * 3 + 1] * gl.normal[1] +
                     n[row * 3 + 2] * gl.normal[2];
    std::memcpy(v + 7, gl.color, sizeof gl.color);
    std::memcpy(v + 11, gl.texcoord, sizeof gl.texcoord);
    vertices.insert(vertices.end(), v, v + floatspervertex);
}

static void triangle(std::size_t a, std::size_t b, std::size_t c)
{
    indices.push_back(static_cast<std::uint16_t>(first + a));
    indices.push_back(static_cast<std::uint16_t>(first + b));
    indices.push_back(static_cast<std::uint16_t>(first + c));
}

// Quads are cut along the diagonal from their second to their fourth
// vertex as given; a quad strip is drawn as the triangle strip of the same
// vertices, cut from each quad's second to its third. Strips alternate
// their triangles' order, which only decides the winding, and nothing here
// culls. Vertices left over from an incomplete last piece draw nothing.
void end()
{
    pair = false;
    if (!inside)
        return;
    inside = false;
    std::size_t n = vertices.size() / floatspervertex - first;
    std::size_t before = indices.size();
    switch (primitive) {
    case GL_TRIANGLES:
        for (std::size_t i = 0; i + 2 < n; i += 3)
            triangle(i, i + 1, i + 2);
        break;
    case GL_QUAD_STRIP:
        n &= ~std::size_t(1);
        [[fallthrough]];
    case GL_TRIANGLE_STRIP:
        for (std::size_t i = 0; i + 2 < n; i++)
            triangle(i, i + 1, i + 2);
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (std::size_t i = 1; i + 1 < n; i++)
            triangle(0, i, i + 1);
        break;
    case GL_QUADS:
        for (std::size_t i = 0; i + 3 < n; i += 4) {
            triangle(i, i + 1, i + 3);
            triangle(i + 1, i + 2, i + 3);
        }
        break;
    default:
        break;
    }
    if (indices.size() == before)
        vertices.resize(first * floatspervertex);
}

}
