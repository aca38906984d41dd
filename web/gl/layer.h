// Inside the web GL layer: the fixed-function state it keeps, the batch
// of vertices waiting to be drawn, and the WebGL 1 calls it draws with.
//
// Vertices are transformed into eye coordinates as they are given, so a
// matrix change never ends a batch; only a change of what the shader or
// WebGL is told (the draw state) does. Everything runs on the main thread.
#pragma once

#include <GL/gl.h>

#include <cstdint>

namespace webgl {

enum { maxlights = 8, stackdepth = 32 };

// Floats per vertex in a batch: eye position (4), eye normal (3), colour
// (4), texture coordinate (2).
enum { floatspervertex = 13 };

// What a batch is drawn with. Two batches with equal draw states can be
// drawn as one.
struct drawstate {
    bool lighting, texturing, colormaterial, blend, depthtest;
    GLenum blendsrc, blenddst;
    GLuint texture;             // 0 when texturing is off or incomplete
    float projection[16];
    int lights;                 // enabled lights, packed from the lowest
    float lightposition[maxlights][4];  // eye coordinates
    float lightambient[maxlights][4];
    float lightdiffuse[maxlights][4];
    float ambient[4], diffuse[4];       // the material, front and back
};

struct light {
    bool enabled;
    float position[4];          // eye coordinates, as given through the model-view
    float ambient[4];
    float diffuse[4];
};

// The state the GL calls set, column-major matrices as GL keeps them.
struct state {
    float stack[2][stackdepth][16];     // 0: model-view, 1: projection
    int depth[2];
    int mode;                           // 0 or 1
    bool lighting, texturing, colormaterial, blend, depthtest;
    GLenum blendsrc, blenddst;
    GLuint bound;
    light lights[maxlights];
    float ambient[4], diffuse[4];
    float color[4], normal[3], texcoord[2];
    // The inverse-transpose of the model-view's upper 3x3 (for normals),
    // recomputed when the model-view has changed.
    float normalmatrix[9];
    bool normalstale;
    GLint packalignment;
    float clearcolor[4];                // as glClearColor gave it, clamped
    // The colour buffer holds nothing but `clearedto` everywhere: set by a
    // clear of it, unset by the next draw that reaches WebGL.
    bool cleared;
    float clearedto[4];
};

extern state gl;
extern const float identity[16];

float* top();                   // the current matrix
const float* modelview();
void multiply(const float* m);  // top() = top() * m
void updatenormalmatrix();      // from the model-view, when stale
void flush();                   // draws the batch
// Makes WebGL draw as `d` says: the program, its uniforms, blending, depth
// test and texture; the programs and vertex buffers are made on first use
// (programs.cpp).
void prepare(const drawstate& d);
void discard();                 // forgets the batch undrawn
// True between glBegin and glEnd. flush() and discard() keep the vertices
// of the open primitive for its glEnd.
bool inpair();
// Complete as GL decides it: an image at level 0, and every mip level when
// the minification filter samples them (texture.cpp).
bool complete(GLuint texture);
// Every texel the texture can be sampled at has red, green and blue 0.
bool black(GLuint texture);

// glBegin .. glEnd, in batch.cpp.
void begin(GLenum mode);
void vertex(float x, float y, float z);
void end();

}

// The WebGL 1 entry points under their second names, so this layer can
// define the GL 1.x names itself.
extern "C" {
#define GL_ARRAY_BUFFER 0x8892
#define GL_ELEMENT_ARRAY_BUFFER 0x8893
#define GL_STREAM_DRAW 0x88E0
#define GL_FLOAT 0x1406
#define GL_UNSIGNED_SHORT 0x1403
#define GL_FRAGMENT_SHADER 0x8B30
#define GL_VERTEX_SHADER 0x8B31
#define GL_COMPILE_STATUS 0x8B81
#define GL_LINK_STATUS 0x8B82
#define GL_TEXTURE0 0x84C0
#define GL_ALPHA_BITS 0x0D55
void emscripten_glEnable(GLenum);
void emscripten_glDisable(GLenum);
void emscripten_glBlendFunc(GLenum, GLenum);
void emscripten_glViewport(GLint, GLint, GLsizei, GLsizei);
void emscripten_glClearColor(GLclampf, GLclampf, GLclampf, GLclampf);
void emscripten_glClear(GLbitfield);
void emscripten_glGenTextures(GLsizei, GLuint*);
void emscripten_glBindTexture(GLenum, GLuint);
void emscripten_glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                             const void*);
void emscripten_glTexParameteri(GLenum, GLenum, GLint);
void emscripten_glCopyTexImage2D(GLenum, GLint, GLenum, GLint, GLint, GLsizei, GLsizei, GLint);
void emscripten_glPixelStorei(GLenum, GLint);
void emscripten_glGetIntegerv(GLenum, GLint*);
void emscripten_glReadPixels(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
GLuint emscripten_glCreateShader(GLenum);
void emscripten_glShaderSource(GLuint, GLsizei, const char* const*, const GLint*);
void emscripten_glCompileShader(GLuint);
void emscripten_glGetShaderiv(GLuint, GLenum, GLint*);
void emscripten_glGetShaderInfoLog(GLuint, GLsizei, GLsizei*, char*);
GLuint emscripten_glCreateProgram(void);
void emscripten_glAttachShader(GLuint, GLuint);
void emscripten_glBindAttribLocation(GLuint, GLuint, const char*);
void emscripten_glLinkProgram(GLuint);
void emscripten_glGetProgramiv(GLuint, GLenum, GLint*);
GLint emscripten_glGetUniformLocation(GLuint, const char*);
void emscripten_glUseProgram(GLuint);
void emscripten_glUniform1i(GLint, GLint);
void emscripten_glUniform4fv(GLint, GLsizei, const GLfloat*);
void emscripten_glUniformMatrix4fv(GLint, GLsizei, GLboolean, const GLfloat*);
void emscripten_glGenBuffers(GLsizei, GLuint*);
void emscripten_glBindBuffer(GLenum, GLuint);
void emscripten_glBufferData(GLenum, long, const void*, GLenum);
void emscripten_glVertexAttribPointer(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*);
void emscripten_glEnableVertexAttribArray(GLuint);
void emscripten_glDrawElements(GLenum, GLsizei, GLenum, const void*);
}
