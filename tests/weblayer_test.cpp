// The web GL layer's batches, built natively against a WebGL that records
// the calls (support/webglrecord.h): a batch that a clear would wipe is
// never drawn, and a clear or a flush inside glBegin/glEnd leaves the
// batch whole. A frame comparison cannot catch these: a wrongly skipped
// draw shows only in pictures the show does not have.
#include "support/webglrecord.h"

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
