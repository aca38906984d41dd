// The web GL layer's textures, built natively against a WebGL that
// records the calls (support/webglrecord.h): a texture is complete as GL
// decides, minification filter included, and a blended draw that would add
// black to every pixel is left out, but only when nothing it depends on
// (the canvas's alpha among them) says otherwise. A frame comparison cannot
// catch these: a wrongly skipped draw shows only in pictures the show does
// not have.
#include "support/webglrecord.h"

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
