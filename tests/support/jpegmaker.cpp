#include "support/jpegmaker.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

std::vector<unsigned char> jpegfile(int width, int height, int components,
                                    const std::vector<unsigned char>& samples)
{
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(&samples[c.next_scanline * width * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> jpeg(out, out + size);
    std::free(out);
    return jpeg;
}

std::vector<unsigned char> jpegramp(int components)
{
    std::vector<unsigned char> samples(16 * 8 * components);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = static_cast<unsigned char>(i % (16 * components) / components * 16);
    return jpegfile(16, 8, components, samples);
}
