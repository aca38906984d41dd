// ffmpeg, the encoder: the command lines a capture runs, and the process
// that takes the frames through a pipe.
//
// Frames are the show's 640x480 picture as gl::readframe reads it back:
// RGB, three bytes a pixel, rows from the bottom up. ffmpeg turns them upright,
// scales, converts, encodes and muxes; nothing here touches a pixel.
#pragma once

#include "capture/options.h"
#include "display/window.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace capture {

using gl::framewidth;
using gl::frameheight;
using gl::framebytes;

// The filter chain: upright rows, then, when the output is to be
// `width` x `height`, the picture scaled to fit and centred on black.
// Video gets 4:2:0 BT.709 colour, as players expect of HD.
std::string filters(int width, int height, bool video);

// The command line of `ffmpeg` (its full name) for `frames` frames into the
// video `path`, with the soundtrack from `audiostart` seconds for as long
// as the frames last.
std::vector<std::string> videocommand(const std::string& ffmpeg, const options& o, std::int64_t frames,
                                      double audiostart, const std::string& path);
// The command line of `ffmpeg` for one frame into the PNG image `path`.
std::vector<std::string> imagecommand(const std::string& ffmpeg, const options& o, const std::string& path);

// Where a file is written until it is complete: a hidden name beside it
// that keeps its extension, so ffmpeg still picks the format by it.
std::string partialpath(const std::string& path);

// The full name of `program` in the first PATH directory that holds it as
// an executable file; "" when none does.
std::string findprogram(const std::string& program);

class encoder {
public:
    // Starts argv[0] (a full path) reading our pipe as its standard input.
    // It runs in a process group of its own, so a terminal's Ctrl-C comes
    // to us alone, and dies with us if we are killed outright. It blocks no
    // signal, whatever we block.
    bool start(const std::vector<std::string>& argv);
    // Hands over one frame of `framebytes`. False once ffmpeg has gone.
    bool write(const unsigned char* frame);
    // No more frames: lets ffmpeg finish the file. Its exit status, or -1
    // when it did not exit by itself.
    int finish();
    // Interrupted: no more frames, and ffmpeg is told to stop and reaped.
    void stop();
    ~encoder();

private:
    pid_t pid = -1;
    int fd = -1;
    int reap();
};

}
