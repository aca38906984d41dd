// Immediate mode: vertices gathered between glBegin and glEnd, turned into
// indexed triangles in eye coordinates, and drawn in batches by shader
// programs that do the fixed-function lighting and texturing.
#include "layer.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace webgl {

enum { floatspervertex = 13, maxvertices = 65536 };

// Per vertex: eye position (4), eye normal (3), colour (4), texture
// coordinate (2). Lighting follows GL 1.x: the scene ambient 0.2 times the
// material ambient, plus for each light its ambient times the material
// ambient and max(n . VP, 0) times its diffuse times the material diffuse,
// with n as given (not normalised); alpha is the material's diffuse alpha.
static const char* vertexshader = R"(
attribute vec4 position;
attribute vec3 normal;
attribute vec4 color;
attribute vec2 texcoord;
uniform mat4 projection;
uniform bool lighting, colormaterial;
uniform int lights;
uniform vec4 lightposition[8], lightambient[8], lightdiffuse[8];
uniform vec4 ambient, diffuse;
varying vec4 shade;
varying vec2 coord;
void main() {
    gl_Position = projection * position;
    coord = texcoord;
    if (!lighting) {
        shade = color;
        return;
    }
    vec4 a = colormaterial ? color : ambient;
    vec4 d = colormaterial ? color : diffuse;
    vec3 c = 0.2 * a.rgb;
    for (int i = 0; i < 8; i++) {
        if (i >= lights)
            break;
        vec4 l = lightposition[i];
        vec3 vp = l.w == 0.0 ? l.xyz : l.xyz / l.w - position.xyz / position.w;
        c += lightambient[i].rgb * a.rgb + max(dot(normal, normalize(vp)), 0.0) * lightdiffuse[i].rgb * d.rgb;
    }
    shade = vec4(clamp(c, 0.0, 1.0), clamp(d.a, 0.0, 1.0));
}
)";

// Untextured and textured: two programs rather than one that branches on
// a uniform, since a software rasteriser may run both ways of a branch for
// every pixel.
static const char* fragmentshaders[2] = {R"(
precision highp float;
varying vec4 shade;
void main() {
    gl_FragColor = shade;
}
)", R"(
precision highp float;
uniform sampler2D picture;
varying vec4 shade;
varying vec2 coord;
void main() {
    gl_FragColor = shade * texture2D(picture, coord);
}
)"};

static std::vector<float> vertices;
static std::vector<std::uint16_t> indices;
static drawstate batched;
static GLenum primitive;
static std::size_t first;      // the current primitive's first vertex
static bool pair;               // between glBegin and glEnd
static bool inside;             // and keeping the pair's vertices

enum { uprojection, ulighting, ucolormaterial, ulights, ulightposition, ulightambient,
       ulightdiffuse, uambient, udiffuse, upicture, uniformcount };
static const char* uniformnames[] = {"projection", "lighting", "colormaterial", "lights",
    "lightposition", "lightambient", "lightdiffuse", "ambient", "diffuse", "picture"};
struct program {
    GLuint name;
    GLint uniforms[uniformcount];   // -1 for one the program does not have
};
static program programs[2];         // untextured, textured
static const program* used;
static GLuint buffers[2];

static GLuint compile(GLenum kind, const char* source)
{
    GLuint shader = emscripten_glCreateShader(kind);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "web GL layer: shader: %s\n", log);
    }
    return shader;
}

static void setup()
{
    GLuint vertex = compile(GL_VERTEX_SHADER, vertexshader);
    for (int textured = 0; textured < 2; textured++) {
        program& p = programs[textured];
        p.name = emscripten_glCreateProgram();
        emscripten_glAttachShader(p.name, vertex);
        emscripten_glAttachShader(p.name, compile(GL_FRAGMENT_SHADER, fragmentshaders[textured]));
        const char* attributes[] = {"position", "normal", "color", "texcoord"};
        for (GLuint i = 0; i < 4; i++)
            emscripten_glBindAttribLocation(p.name, i, attributes[i]);
        emscripten_glLinkProgram(p.name);
        emscripten_glUseProgram(p.name);
        for (int i = 0; i < uniformcount; i++)
            p.uniforms[i] = emscripten_glGetUniformLocation(p.name, uniformnames[i]);
        if (textured)
            emscripten_glUniform1i(p.uniforms[upicture], 0);
    }
    used = &programs[1];
    emscripten_glGenBuffers(2, buffers);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    const int sizes[] = {4, 3, 4, 2};
    long offset = 0;
    for (GLuint i = 0; i < 4; i++) {
        emscripten_glEnableVertexAttribArray(i);
        emscripten_glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE,
                                         floatspervertex * sizeof(float),
                                         reinterpret_cast<const void*>(offset));
        offset += sizes[i] * sizeof(float);
    }
}

static void capability(GLenum cap, bool on)
{
    if (on)
        emscripten_glEnable(cap);
    else
        emscripten_glDisable(cap);
}

void flush()
{
    if (indices.empty())
        return;
    if (!used)
        setup();
    const drawstate& d = batched;
    if (used != &programs[d.texturing]) {
        used = &programs[d.texturing];
        emscripten_glUseProgram(used->name);
    }
    const GLint* uniforms = used->uniforms;
    capability(GL_BLEND, d.blend);
    capability(GL_DEPTH_TEST, d.depthtest);
    emscripten_glBlendFunc(d.blendsrc, d.blenddst);
    emscripten_glBindTexture(GL_TEXTURE_2D, d.texture);
    emscripten_glUniformMatrix4fv(uniforms[uprojection], 1, GL_FALSE, d.projection);
    emscripten_glUniform1i(uniforms[ulighting], d.lighting);
    emscripten_glUniform1i(uniforms[ucolormaterial], d.colormaterial);
    emscripten_glUniform1i(uniforms[ulights], d.lights);
    if (d.lights) {
        emscripten_glUniform4fv(uniforms[ulightposition], d.lights, &d.lightposition[0][0]);
        emscripten_glUniform4fv(uniforms[ulightambient], d.lights, &d.lightambient[0][0]);
        emscripten_glUniform4fv(uniforms[ulightdiffuse], d.lights, &d.lightdiffuse[0][0]);
    }
    emscripten_glUniform4fv(uniforms[uambient], 1, d.ambient);
    emscripten_glUniform4fv(uniforms[udiffuse], 1, d.diffuse);
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
