// JPEG files made in memory with libjpeg, for the tests of the decoder and
// of the textures.
#pragma once

#include <vector>

// A baseline JPEG at libjpeg's default quality of `width` x `height`
// pixels of `components` components (1 greyscale, 3 RGB, 4 CMYK), from
// `samples`: rows top down, components interleaved.
std::vector<unsigned char> jpegfile(int width, int height, int components,
                                    const std::vector<unsigned char>& samples);

// A 16x8 JPEG of `components` components: a horizontal ramp in every one.
std::vector<unsigned char> jpegramp(int components);
