#include "image/image.h"

#include <cstdlib>

namespace {

// The library's source manager followed by the start of the array, so the
// callbacks can tell where the data ends without any other state.
struct memsource {
    jpeg_source_mgr pub;
    const unsigned char* data;
};

void initsource(j_decompress_ptr) {}

// The whole array was handed over at once: running dry means the data is
// truncated, and the library reports that itself.
boolean fillinputbuffer(j_decompress_ptr)
{
    return FALSE;
}

// Skips `count` bytes (comment and unused marker segments), stopping at the
// end of the array rather than walking past it.
void skipinputdata(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer)
        count = static_cast<long>(src->bytes_in_buffer);
    src->next_input_byte += count;
    src->bytes_in_buffer -= count;
}

void termsource(j_decompress_ptr) {}

}

void jpegmemsrc(j_decompress_ptr cinfo, const unsigned char* data, int length)
{
    memsource* src = static_cast<memsource*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo),
                                   JPOOL_PERMANENT, sizeof(memsource)));
    cinfo->src = &src->pub;
    src->pub.next_input_byte = data;
    src->pub.bytes_in_buffer = length;
    src->data = data;
    src->pub.init_source = initsource;
    src->pub.fill_input_buffer = fillinputbuffer;
    src->pub.skip_input_data = skipinputdata;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termsource;
}

image* loadjpeg(const unsigned char* data, int length)
{
    image* img = static_cast<image*>(std::malloc(sizeof(image)));

    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_CreateDecompress(&cinfo, 62, sizeof(jpeg_decompress_struct));
    jpegmemsrc(&cinfo, data, length);

    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);

    // Textures take 3 bytes a pixel: a greyscale (1) or CMYK (4) picture is
    // refused before anything is decoded, rather than read past its block.
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        std::free(img);
        return nullptr;
    }
    const std::size_t rowsize = static_cast<std::size_t>(cinfo.output_width) * 3;
    img->pixels = static_cast<unsigned char*>(std::malloc(rowsize * cinfo.output_height));
    img->height = cinfo.output_height;
    img->width = cinfo.output_width;

    JSAMPROW row = img->pixels;
    for (JDIMENSION y = 0; y < cinfo.output_height; y++) {
        jpeg_read_scanlines(&cinfo, &row, 1);
        row += rowsize;
    }

    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return img;
}
