// The web GL layer's decisions about what reaches WebGL, built natively
// against a WebGL that records the calls: a batch that a clear would wipe
// is never drawn, a clear inside glBegin/glEnd does nothing, a blended draw
// that would add black to every pixel is left out, but only when nothing
// it depends on says otherwise, and a texture is complete as GL decides. A
// frame comparison cannot catch these: a wrongly skipped draw shows only
// in pictures the show does not have.
#include <GL/gl.h>

#include "layer.h"

#include <gtest/gtest.h>
#include <vector>

// What the recording WebGL saw: draws (with their index counts and the
// texture bound for each, 0 for none), clears. `alphabits` is what it
// answers for the canvas's alpha channel.
static std::vector<int> draws;
static std::vector<GLuint> sampled;
static int clears;
static GLuint names = 0;
static GLuint bound;
static GLint alphabits = 0;

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
        sampled.clear();
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

// One quad with a clear of `mask` after its second vertex.
static void clearedquad(GLbitfield mask)
{
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, 1);
    glClear(mask);
    glVertex2f(1, 1);
    glVertex2f(1, 0);
    glEnd();
}

// A clear between glBegin and glEnd does nothing (in GL it is an error),
// alone or after a batch; a viewport change there draws the batch before
// the pair and keeps the pair's first vertices for its glEnd.
TEST_F(WebLayer, ACallInsideBeginAndEndLeavesTheBatchWhole)
{
    const GLbitfield both = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
    for (int before : {0, 1})
        for (GLbitfield mask : {both, GLbitfield(GL_COLOR_BUFFER_BIT)}) {
            draws.clear();
            clears = 0;
            if (before)
                quad();
            clearedquad(mask);
            glFlush();
            ASSERT_EQ(draws, std::vector<int>{6 + 6 * before}) << "after " << before << " quads, mask " << mask;
            EXPECT_EQ(clears, 0);
        }

    draws.clear();
    quad();
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, 1);
    glViewport(0, 0, 64, 64);
    glVertex2f(1, 1);
    glVertex2f(1, 0);
    glEnd();
    glFlush();
    EXPECT_EQ(draws, (std::vector<int>{6, 6}));
}

// Which texture each draw of one quad samples: 0 when it draws untextured.
static GLuint drawnwith()
{
    sampled.clear();
    quad();
    glFlush();
    return sampled.empty() ? ~0u : sampled.back();
}

// The minification filter decides which levels must be there: level 0
// alone with a mip-map filter (GL's initial one) is incomplete and draws
// untextured, as does a mip chain with a level of the wrong size.
TEST_F(WebLayer, ATextureIsCompleteWhenEveryLevelItsFilterSamplesIsThere)
{
    GLuint t;
    glGenTextures(1, &t);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, t);
    unsigned char grey[4 * 2 * 3] = {};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(drawnwith(), 0u) << "level 0 alone, initial filter";
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    EXPECT_EQ(drawnwith(), t) << "level 0 alone, GL_LINEAR";
    for (GLint filter : {GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR,
                         GL_LINEAR_MIPMAP_LINEAR}) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        EXPECT_EQ(drawnwith(), 0u) << "level 0 alone, filter " << filter;
    }
    glTexImage2D(GL_TEXTURE_2D, 1, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(drawnwith(), 0u) << "no 1x1 level";
    glTexImage2D(GL_TEXTURE_2D, 2, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(drawnwith(), 0u) << "level 2 of 2x1";
    glTexImage2D(GL_TEXTURE_2D, 2, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(drawnwith(), t) << "4x2, 2x1, 1x1";
    glTexImage2D(GL_TEXTURE_2D, 1, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(drawnwith(), 0u) << "level 1 of 1x1";
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    EXPECT_EQ(drawnwith(), t) << "GL_NEAREST samples level 0 only";
}

// The blur pass's corner: cleared to black, copied into `texture` (filtered
// as the blur's texture is), added back in layers.
static void blackcopy(GLuint texture)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
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
    alphabits = 8;
    addlayers(c);
    EXPECT_EQ(draws, std::vector<int>{12}) << "a canvas with alpha, which the layers change";
    alphabits = 0;

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
        {"mip levels of its own, sampled", nullptr, [](GLuint) {
             static unsigned char grey[32 * 32 * 3];
             for (GLint level = 1, size = 32; size >= 1; level++, size /= 2)
                 glTexImage2D(GL_TEXTURE_2D, level, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
             glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
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
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 64, 64, 0);
        if (v.after)
            v.after(t);
        draws.clear();
        sampled.clear();
        addlayers(t);
        EXPECT_EQ(draws, std::vector<int>{12}) << v.what;
        EXPECT_EQ(sampled, std::vector<GLuint>{t}) << v.what << ": drawn textured";
    }

    // Mip levels that a filter without mip-maps never samples change nothing.
    GLuint m;
    glGenTextures(1, &m);
    blackcopy(m);
    unsigned char grey[3] = {9, 9, 9};
    glTexImage2D(GL_TEXTURE_2D, 1, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
    draws.clear();
    addlayers(m);
    EXPECT_TRUE(draws.empty()) << "a level the GL_LINEAR filter never samples";

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
