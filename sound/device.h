// The sound device layers behind sound::opendsp and sound::queued.
//
// A layer gives the music thread a stdio stream (demo::dsp) that plays
// 16-bit stereo 44100 Hz PCM written to it, and gives the main thread the
// number of written bytes still queued. Tests install a layer of their own.
#pragma once

#include <cstdint>
#include <cstdio>

namespace sound {

// OSS: opens an existing character device at `path` (never creates one)
// into demo::dsp and fixes the format; false if any ioctl fails or the
// driver writes back another value than the one asked for.
bool openoss(const char* path);

// ALSA: opens the PCM called `name` and wraps it in an unbuffered stdio
// stream in demo::dsp; false unless it runs at exactly 44100 Hz.
bool openalsa(const char* name);

// Makes `stream` the device and `queued` its delay query (main thread,
// before the music thread starts).
void usedevice(FILE* stream, std::uint32_t (*queued)());

}
