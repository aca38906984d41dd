// demorender's command line, and which frames a capture holds.
//
// A capture renders frame n of a video at `fps` frames per second with the
// clock the show would read when n / fps seconds of its soundtrack have
// been played: about n * 1616.67 / fps, truncated as the show truncates.
#pragma once

#include "demo/timeline.h"

#include <cstdint>
#include <string>

namespace capture {

struct options {
    int fps = 60;
    int width = 1920, height = 1080;    // output size; the picture is pillarboxed in it
    bool sizegiven = false;
    std::string out = "demo.mp4";
    std::int32_t from = 0;              // clock units: frames with from <= t < to
    std::int32_t to = showend;
    bool single = false;                // --at T --png FILE: one frame as an image
    std::int32_t at = 0;
    std::string png;
    bool help = false;
};

// Reads argv into `o`. False with a one-line reason in `error` when the
// command line is not usable.
bool parse(int argc, char** argv, options& o, std::string& error);
const char* usage();

// A clock value written as clock units ("12000") or as seconds of the
// soundtrack ("7.5s"). False for anything else, negatives included.
bool parseclock(const std::string& text, std::int32_t& t);

// The clock the show reads after `seconds` of its soundtrack have played.
std::int32_t clockafter(double seconds);

// The clock of frame n: the show's clock after n / fps seconds, counted in
// whole samples as the device plays them.
std::int32_t clockof(std::int64_t frame, int fps);

// The first frame whose clock is at least t.
std::int64_t firstframe(std::int32_t t, int fps);

// The largest size of the 4:3 picture inside width x height, in even
// numbers of pixels (what 4:2:0 video needs).
void fitted(int width, int height, int& w, int& h);

}
