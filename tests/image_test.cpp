// Decoding the embedded pictures: their files, libjpeg reading them from
// memory, and the build refusing a picture that is not colour.
#include "image/image.h"
#include "image/pictures.h"
#include "support/jpegmaker.h"
#include "support/oggmaker.h"
#include "support/runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <cstdio>
#include <iterator>
#include <jpeglib.h>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

struct picture {
    const char* name;
    const unsigned char* data;
    int length;
    int width;
    int height;
};

const picture pictures[] = {
    {"hamster", hamsterjpg, hamsterjpglen, 256, 256},
    {"bag", bagjpg, bagjpglen, 256, 256},
    {"noise", noisejpg, noisejpglen, 512, 512},
    {"bottle", bottlejpg, bottlejpglen, 256, 512},
    {"snapshot", snapshotjpg, snapshotjpglen, 256, 256},
    {"glow", glowjpg, glowjpglen, 128, 128},
};

// The decoded pixel at (x, y), three bytes.
const unsigned char* at(const image* img, int x, int y)
{
    return img->pixels + (static_cast<std::size_t>(y) * img->width + x) * 3;
}

void freeimage(image* img)
{
    std::free(img->pixels);
    std::free(img);
}

// The marker segments of a JPEG file up to its scan, as found by walking
// the length fields from the start-of-image marker.
struct segment {
    unsigned char marker;
    std::vector<unsigned char> body;
};

std::vector<segment> segments(const unsigned char* data, int length)
{
    std::vector<segment> found;
    if (length < 4 || data[0] != 0xff || data[1] != 0xd8)
        return found;
    int at = 2;
    while (at + 4 <= length && data[at] == 0xff) {
        const int size = data[at + 2] << 8 | data[at + 3];
        if (size < 2 || at + 2 + size > length)
            break;
        found.push_back({data[at + 1],
                         std::vector<unsigned char>(data + at + 4, data + at + 2 + size)});
        if (data[at + 1] == 0xda)
            break;
        at += 2 + size;
    }
    return found;
}

}

TEST(Pictures, EmbeddedBytesMatchTheFiles)
{
    for (const picture& p : pictures) {
        SCOPED_TRACE(p.name);
        std::ifstream file(std::string(SOURCE_DIR) + "/image/pictures/" + p.name + ".jpg",
                           std::ios::binary);
        ASSERT_TRUE(file) << "missing picture file";
        const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                               std::istreambuf_iterator<char>()};
        ASSERT_EQ(p.length, static_cast<int>(bytes.size()));
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), p.data));
    }
}

TEST(Pictures, AreBaselineJfifWithThreeComponentsAndAComment)
{
    for (const picture& p : pictures) {
        SCOPED_TRACE(p.name);
        bool jfif = false, comment = false, baseline = false;
        for (const segment& s : segments(p.data, p.length)) {
            if (s.marker == 0xe0 && s.body.size() >= 5)
                jfif = std::string(s.body.begin(), s.body.begin() + 5) == std::string("JFIF", 5);
            if (s.marker == 0xfe)
                comment = true;
            // Start of frame: precision, height, width, component count.
            if (s.marker == 0xc0 && s.body.size() >= 6) {
                baseline = true;
                EXPECT_EQ(p.height, s.body[1] << 8 | s.body[2]);
                EXPECT_EQ(p.width, s.body[3] << 8 | s.body[4]);
                EXPECT_EQ(3, s.body[5]);
            }
            EXPECT_NE(0xc2, s.marker) << "progressive";
        }
        EXPECT_TRUE(jfif);
        EXPECT_TRUE(comment);
        EXPECT_TRUE(baseline);
        EXPECT_EQ(0xff, p.data[p.length - 2]);
        EXPECT_EQ(0xd9, p.data[p.length - 1]) << "no end-of-image marker";
    }
}

TEST(Loadjpeg, DecodesEveryPictureToItsSizeInRgb)
{
    for (const picture& p : pictures) {
        SCOPED_TRACE(p.name);
        image* img = loadjpeg(p.data, p.length);
        ASSERT_NE(nullptr, img);
        EXPECT_EQ(p.width, img->width);
        EXPECT_EQ(p.height, img->height);
        ASSERT_NE(nullptr, img->pixels);
        EXPECT_GE(malloc_usable_size(img->pixels),
                  static_cast<std::size_t>(p.width) * 3 * p.height);
        freeimage(img);
    }
}

TEST(Loadjpeg, RowsRunTopDownInRedGreenBlueOrder)
{
    // The bottle's cap is blue at the top; the bottom row is black.
    image* bottle = loadjpeg(bottlejpg, bottlejpglen);
    const unsigned char* cap = at(bottle, 128, 31);
    EXPECT_GT(cap[2], cap[0] + 60);
    const unsigned char* floor = at(bottle, 128, 510);
    EXPECT_LT(floor[0] + floor[1] + floor[2], 30);
    freeimage(bottle);

    // The snapshot's object is pink: over a 53x48 patch of it, red well
    // above green, blue between the two.
    image* snapshot = loadjpeg(snapshotjpg, snapshotjpglen);
    long sum[3] = {0, 0, 0};
    for (int y = 100; y < 148; y++)
        for (int x = 98; x < 151; x++)
            for (int c = 0; c < 3; c++)
                sum[c] += at(snapshot, x, y)[c];
    EXPECT_GT(sum[0], sum[1] * 3 / 2);
    EXPECT_GT(sum[2], sum[1]);
    EXPECT_GT(sum[0], sum[2]);
    freeimage(snapshot);

    // The last pixel of the last row is decoded too: the glow's corner is
    // black and its centre white.
    image* glow = loadjpeg(glowjpg, glowjpglen);
    EXPECT_LT(at(glow, 127, 127)[0], 16);
    EXPECT_GT(at(glow, 64, 64)[0], 235);
    freeimage(glow);
}

TEST(Loadjpeg, SkipsCommentSegmentsWithoutWarnings)
{
    for (const picture& p : pictures) {
        SCOPED_TRACE(p.name);
        testing::internal::CaptureStderr();
        image* img = loadjpeg(p.data, p.length);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ("", printed);
        freeimage(img);
    }
}

TEST(Jpegmemsrc, HandsOverTheArrayAndSkipsWithinIt)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_CreateDecompress(&cinfo, 62, sizeof(jpeg_decompress_struct));
    jpegmemsrc(&cinfo, glowjpg, glowjpglen);
    jpeg_source_mgr* src = cinfo.src;
    ASSERT_NE(nullptr, src);
    EXPECT_EQ(glowjpg, src->next_input_byte);
    EXPECT_EQ(static_cast<std::size_t>(glowjpglen), src->bytes_in_buffer);
    EXPECT_EQ(&jpeg_resync_to_restart, src->resync_to_restart);

    src->skip_input_data(&cinfo, 0);
    src->skip_input_data(&cinfo, -5);
    EXPECT_EQ(glowjpg, src->next_input_byte);
    EXPECT_EQ(static_cast<std::size_t>(glowjpglen), src->bytes_in_buffer);

    src->skip_input_data(&cinfo, 10);
    EXPECT_EQ(glowjpg + 10, src->next_input_byte);
    EXPECT_EQ(static_cast<std::size_t>(glowjpglen - 10), src->bytes_in_buffer);

    src->skip_input_data(&cinfo, glowjpglen);
    EXPECT_EQ(glowjpg + glowjpglen, src->next_input_byte);
    EXPECT_EQ(0u, src->bytes_in_buffer);

    EXPECT_EQ(FALSE, src->fill_input_buffer(&cinfo));
    EXPECT_EQ(glowjpg + glowjpglen, src->next_input_byte);
    jpeg_destroy_decompress(&cinfo);
}

TEST(Loadjpeg, RefusesPicturesThatAreNotThreeComponentColour)
{
    for (int components : {1, 4}) {
        std::vector<unsigned char> jpeg = jpegramp(components);
        EXPECT_EQ(nullptr, loadjpeg(jpeg.data(), static_cast<int>(jpeg.size()))) << components;
    }
    std::vector<unsigned char> rgb = jpegramp(3);
    image* img = loadjpeg(rgb.data(), static_cast<int>(rgb.size()));
    ASSERT_NE(nullptr, img);
    EXPECT_EQ(16, img->width);
    EXPECT_EQ(8, img->height);
    std::free(img->pixels);
    std::free(img);
}

// The build embeds the pictures with cmake/pictures.cmake: it stops at a
// picture that is not 3-component colour, names it, and writes nothing.
TEST(Pictures, BuildRefusesAPictureThatIsNotColour)
{
    tempdir dir;
    for (const picture& p : pictures)
        writefile(dir.path + "/" + p.name + ".jpg", std::vector<unsigned char>(p.data, p.data + p.length));
    const std::string out = dir.path + "/pictures.cpp";
    const std::vector<std::string> embed = {
        "/bin/sh", "-c", "cmake -DPICTURES_DIR=\"$0\" -DOUTPUT=\"$1\" -P \"$2\" 2>&1", dir.path, out,
        SOURCE_DIR "/cmake/pictures.cmake"};
    outcome r = run(embed, dir.path);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_TRUE(exists(out));
    std::remove(out.c_str());

    for (int components : {1, 4}) {
        writefile(dir.path + "/snapshot.jpg", jpegramp(components));
        r = run(embed, dir.path);
        EXPECT_NE(0, r.status) << components;
        EXPECT_NE(std::string::npos, r.out.find("snapshot.jpg has " + std::to_string(components) + " colour components"))
            << r.out;
        EXPECT_FALSE(exists(out));
    }
}
