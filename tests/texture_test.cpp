// The embedded pictures turned into GL textures in a real GL context.
#include "image/image.h"
#include "image/pictures.h"
#include "image/texture.h"
#include "support/glcontext.h"
#include "support/jpegmaker.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {


GLint texparameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint levelparameter(GLint level, GLenum name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

}

TEST(Texture, LeavesTexturingOffAndItsNameBound)
{
    freshgl();
    texture glow(glowjpg, glowjpglen, true);
    EXPECT_NE(0u, glow.id);
    EXPECT_TRUE(glow.wrap);
    EXPECT_EQ(GL_FALSE, glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLint>(glow.id), bound);
    EXPECT_EQ(128, glow.img->width);
    EXPECT_EQ(128, glow.img->height);

    texture hamster(hamsterjpg, hamsterjpglen, true);
    EXPECT_NE(glow.id, hamster.id);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLint>(hamster.id), bound);
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
}

TEST(Texture, SetsWrapAndFilterModes)
{
    freshgl();
    texture repeating(glowjpg, glowjpglen, true);
    EXPECT_EQ(GL_REPEAT, texparameter(GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_REPEAT, texparameter(GL_TEXTURE_WRAP_T));
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, texparameter(GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_LINEAR, texparameter(GL_TEXTURE_MAG_FILTER));

    texture clamped(glowjpg, glowjpglen, false);
    EXPECT_FALSE(clamped.wrap);
    EXPECT_EQ(GL_CLAMP_TO_EDGE, texparameter(GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_CLAMP_TO_EDGE, texparameter(GL_TEXTURE_WRAP_T));
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, texparameter(GL_TEXTURE_MIN_FILTER));
}

// A 388x976 colour JPEG, white with a blue band along the top 60 rows:
// a size that is no power of two, for GLU to rescale.
static std::vector<unsigned char> tallpicture()
{
    const int width = 388, height = 976;
    std::vector<unsigned char> rgb(width * height * 3, 255);
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < width; x++) {
            rgb[(y * width + x) * 3] = 20;
            rgb[(y * width + x) * 3 + 1] = 80;
        }
    return jpegfile(width, height, 3, rgb);
}

TEST(Texture, TallPictureGetsACompleteMipmapChain)
{
    freshgl();
    std::vector<unsigned char> tall = tallpicture();
    texture bottle(tall.data(), static_cast<int>(tall.size()), true);
    GLint width = levelparameter(0, GL_TEXTURE_WIDTH);
    GLint height = levelparameter(0, GL_TEXTURE_HEIGHT);
    // Scaled to powers of two no further than a factor of two away.
    EXPECT_EQ(0, width & (width - 1));
    EXPECT_EQ(0, height & (height - 1));
    EXPECT_GT(width, 388 / 2);
    EXPECT_LT(width, 388 * 2);
    EXPECT_GT(height, 976 / 2);
    EXPECT_LT(height, 976 * 2);
    EXPECT_EQ(GL_RGB, levelparameter(0, GL_TEXTURE_INTERNAL_FORMAT));

    GLint level = 0;
    while (width > 1 || height > 1) {
        level++;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        SCOPED_TRACE(level);
        ASSERT_EQ(width, levelparameter(level, GL_TEXTURE_WIDTH));
        ASSERT_EQ(height, levelparameter(level, GL_TEXTURE_HEIGHT));
    }
    EXPECT_GE(level, 9);
}

TEST(Texture, UploadsThePicture)
{
    freshgl();
    texture glow(glowjpg, glowjpglen, true);
    std::vector<unsigned char> texels(128 * 128 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    const unsigned char* centre = &texels[(64 * 128 + 64) * 3];
    const unsigned char* corner = &texels[0];
    for (int c = 0; c < 3; c++) {
        EXPECT_GT(centre[c], 235);
        EXPECT_LT(corner[c], 16);
    }

    // A tall picture, rescaled: its blue top stays at the top of the texture.
    std::vector<unsigned char> tall = tallpicture();
    texture bottle(tall.data(), static_cast<int>(tall.size()), true);
    const GLint width = levelparameter(0, GL_TEXTURE_WIDTH);
    const GLint height = levelparameter(0, GL_TEXTURE_HEIGHT);
    texels.assign(static_cast<std::size_t>(width) * height * 3, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    const unsigned char* cap = &texels[((height * 30 / 976) * width + width / 2) * 3];
    EXPECT_GT(cap[2], cap[0] + 60);
}

TEST(Texture, DestructionKeepsTheGlName)
{
    freshgl();
    GLuint id;
    {
        texture snapshot(snapshotjpg, snapshotjpglen, true);
        id = snapshot.id;
    }
    EXPECT_EQ(GL_TRUE, glIsTexture(id));
}

TEST(Texture, RefusedPictureMakesNoGlTexture)
{
    freshgl();
    texture glow(glowjpg, glowjpglen, true);
    GLint bound = 0;
    for (int components : {1, 4}) {
        std::vector<unsigned char> jpeg = jpegramp(components);
        texture grey(jpeg.data(), static_cast<int>(jpeg.size()), true);
        EXPECT_EQ(nullptr, grey.img) << components;
        EXPECT_EQ(0u, grey.id) << components;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLint>(glow.id), bound) << "GL state untouched";
        EXPECT_EQ(GL_FALSE, glIsEnabled(GL_TEXTURE_2D));
    }
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
}
