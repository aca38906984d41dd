// The shader programs that do the fixed-function lighting and texturing,
// the vertex layout they read, and the WebGL state a batch is drawn with.
#include "layer.h"

#include <cstdio>

namespace webgl {

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

void prepare(const drawstate& d)
{
    if (!used)
        setup();
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
}

}
