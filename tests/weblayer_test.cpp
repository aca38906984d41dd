// The web GL layer's decisions about what reaches WebGL, built natively
// against a WebGL that records the calls: a batch that a clear would wipe
// is never drawn, and a blended draw that would add black to every pixel
// is left out, but only when nothing it depends on says otherwise. A
// frame comparison cannot catch these: a wrongly skipped draw shows only
// in pictures the show does not have.
#include <GL/gl.h>

#include "layer.h"

#include <gtest/gtest.h>
#include <vector>

// What the recording WebGL saw: draws (with their index counts), clears.
static std::vector<int> draws;
static int clears;
static GLuint names = 0;

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
void emscripten_glBindTexture(GLenum, GLuint) {}
void emscripten_glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                             const void*) {}
void emscripten_glTexParameteri(GLenum, GLenum, GLint) {}
void emscripten_glCopyTexImage2D(GLenum, GLint, GLenum, GLint, GLint, GLsizei, GLsizei, GLint) {}
void emscripten_glPixelStorei(GLenum, GLint) {}
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
void emscripten_glDrawElements(GLenum, GLsizei count, GLenum, const void*) { draws.push_back(count); }
}

// One quad, two triangles.
static void quad()
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glVertex2f(0, 1);
    glVertex2f(1, 1);
    glVertex2f(1, 0);
    glEnd();
}

class WebLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        glFlush();
        draws.clear();
        clears = 0;
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
    }
};

// Drawn once, twice, or not at all: what the clear after a batch covers.
TEST_F(WebLayer, ABatchIsDrawnUnlessAClearOfColourAndDepthWipesIt)
{
    quad();
    quad();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
    EXPECT_TRUE(draws.empty());
    EXPECT_EQ(clears, 1);

    // Colour alone keeps the depth the batch writes; depth alone its colour.
    for (GLbitfield mask : {GLbitfield(GL_COLOR_BUFFER_BIT), GLbitfield(GL_DEPTH_BUFFER_BIT)}) {
        draws.clear();
        quad();
        glClear(mask);
        EXPECT_EQ(draws, std::vector<int>{6}) << "mask " << mask;
    }

    // A batch drawn before the clear (here by a viewport change) stays drawn.
    draws.clear();
    quad();
    glViewport(0, 0, 64, 64);
    quad();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(draws, std::vector<int>{6});
}

// The blur pass's corner: cleared to black, copied into `texture`, added
// back in layers.
static void blackcopy(GLuint texture)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 64, 64, 0);
}

static void addlayers(GLuint texture)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1, 1, 1, 0.2f);
    quad();
    quad();
    glFlush();
}

TEST_F(WebLayer, LayersAddingABlackCopyAreLeftOutOnlyWhenNothingElseCounts)
{
    GLuint c;
    glGenTextures(1, &c);
    blackcopy(c);
    addlayers(c);
    EXPECT_TRUE(draws.empty()) << "black added without a depth test";

    // The same layers where one thing differs must be drawn.
    struct variant {
        const char* what;
        void (*before)();       // between the clear and the copy
        void (*after)(GLuint);  // between the copy and the layers
    };
    const variant drawn[] = {
        {"something drawn before the copy", [] { glDisable(GL_TEXTURE_2D); quad(); }, nullptr},
        {"a clear colour other than black", [] {
             glClearColor(0, 0, 0.01f, 1);
             glClear(GL_COLOR_BUFFER_BIT);
             glClearColor(0, 0, 0, 1);
         }, nullptr},
        {"the texture given an image since", nullptr, [](GLuint) {
             unsigned char black[4] = {0, 0, 0, 0};
             glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, black);
         }},
        {"a mip level of its own", nullptr, [](GLuint) {
             unsigned char grey[4] = {9, 9, 9, 9};
             glTexImage2D(GL_TEXTURE_2D, 1, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
         }},
    };
    for (const variant& v : drawn) {
        GLuint t;
        glGenTextures(1, &t);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (v.before)
            v.before();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, t);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 64, 64, 0);
        if (v.after)
            v.after(t);
        draws.clear();
        addlayers(t);
        EXPECT_EQ(draws, std::vector<int>{12}) << v.what;
    }

    // The black copy itself, drawn so that its black is not all it adds.
    draws.clear();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, c);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    quad();
    glFlush();
    EXPECT_EQ(draws, std::vector<int>{6}) << "destination factor other than one";
    draws.clear();
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    quad();
    glFlush();
    EXPECT_EQ(draws, std::vector<int>{6}) << "depth test on: depth is written";
    draws.clear();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    quad();
    glFlush();
    EXPECT_EQ(draws, std::vector<int>{6}) << "blending off: black replaces";
    draws.clear();
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    quad();
    glFlush();
    EXPECT_EQ(draws, std::vector<int>{6}) << "texturing off: the colour is added";

    // A copy of a colour buffer drawn on is not black; a later black one is.
    glEnable(GL_DEPTH_TEST);
    quad();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, c);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 64, 64, 0);
    draws.clear();
    addlayers(c);
    EXPECT_EQ(draws, std::vector<int>{12}) << "copied after a draw";
    blackcopy(c);
    draws.clear();
    addlayers(c);
    EXPECT_TRUE(draws.empty()) << "copied black again";
}
