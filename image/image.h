// Decoding JPEG data held in memory (libjpeg, API version 62).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>   // jpeglib.h needs size_t and FILE first
#include <jpeglib.h>

// A decoded picture: `height` rows of `width` pixels, top row first, rows
// packed back to back, 3 bytes per pixel in red, green, blue order.
// Both the record and `pixels` come from malloc; the owner frees both.
struct image {
    unsigned char* pixels;
    std::uint16_t height;
    std::uint16_t width;
};

// Decodes `length` bytes of JPEG data. Null for a picture that does not
// decode to 3 components (greyscale, CMYK). Corrupt data is reported by
// libjpeg's standard error manager, which prints its message and ends the
// process.
image* loadjpeg(const unsigned char* data, int length);

// Installs a data source on `cinfo` that hands libjpeg the whole array at
// once. The source record lives in the decompressor's permanent pool.
void jpegmemsrc(j_decompress_ptr cinfo, const unsigned char* data, int length);
