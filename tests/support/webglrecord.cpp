#include "webglrecord.h"

#include "layer.h"

std::vector<int> draws;
std::vector<GLuint> sampled;
int clears;
GLint alphabits = 0;
static GLuint names = 0;
static GLuint bound;

extern "C" {
void emscripten_glEnable(GLenum) {}
void emscripten_glDisable(GLenum) {}
void emscripten_glBlendFunc(GLenum, GLenum) {}
void emscripten_glViewport(GLint, GLint, GLsizei, GLsizei) {}
void emscripten_glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void emscripten_glClear(GLbitfield) { clears++; }
void emscripten_glGenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; i++)
        textures[i] = ++names;
}
void emscripten_glBindTexture(GLenum, GLuint texture) { bound = texture; }
void emscripten_glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                             const void*) {}
void emscripten_glTexParameteri(GLenum, GLenum, GLint) {}
void emscripten_glCopyTexImage2D(GLenum, GLint, GLenum, GLint, GLint, GLsizei, GLsizei, GLint) {}
void emscripten_glPixelStorei(GLenum, GLint) {}
void emscripten_glGetIntegerv(GLenum name, GLint* value) { *value = name == GL_ALPHA_BITS ? alphabits : 0; }
void emscripten_glReadPixels(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) {}
GLuint emscripten_glCreateShader(GLenum) { return 1; }
void emscripten_glShaderSource(GLuint, GLsizei, const char* const*, const GLint*) {}
void emscripten_glCompileShader(GLuint) {}
void emscripten_glGetShaderiv(GLuint, GLenum, GLint* value) { *value = 1; }
void emscripten_glGetShaderInfoLog(GLuint, GLsizei, GLsizei*, char*) {}
GLuint emscripten_glCreateProgram(void) { return 1; }
void emscripten_glAttachShader(GLuint, GLuint) {}
void emscripten_glBindAttribLocation(GLuint, GLuint, const char*) {}
void emscripten_glLinkProgram(GLuint) {}
void emscripten_glGetProgramiv(GLuint, GLenum, GLint* value) { *value = 1; }
GLint emscripten_glGetUniformLocation(GLuint, const char*) { return 0; }
void emscripten_glUseProgram(GLuint) {}
void emscripten_glUniform1i(GLint, GLint) {}
void emscripten_glUniform4fv(GLint, GLsizei, const GLfloat*) {}
void emscripten_glUniformMatrix4fv(GLint, GLsizei, GLboolean, const GLfloat*) {}
void emscripten_glGenBuffers(GLsizei, GLuint*) {}
void emscripten_glBindBuffer(GLenum, GLuint) {}
void emscripten_glBufferData(GLenum, long, const void*, GLenum) {}
void emscripten_glVertexAttribPointer(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*) {}
void emscripten_glEnableVertexAttribArray(GLuint) {}
void emscripten_glDrawElements(GLenum, GLsizei count, GLenum, const void*)
{
    draws.push_back(count);
    sampled.push_back(bound);
}
}

void quad()
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glVertex2f(0, 1);
    glVertex2f(1, 1);
    glVertex2f(1, 0);
    glEnd();
}
