// Music playback and the show clock.
//
// PCM is signed 16-bit little-endian stereo at 44100 Hz: 176400 bytes per
// second. The clock counts 1000 units per beat at 97 beats per minute,
// about 1616.67 units per second of played sound.
#pragma once

#include <cstdint>

namespace sound {

constexpr int rate = 44100;                 // PCM frames per second
constexpr int framebytes = 4;               // one 16-bit stereo frame
constexpr int bytespersecond = rate * framebytes;   // 176400

// The soundtrack, looked up relative to the working directory.
constexpr char soundtrack[] = "data/lyd.ogg";

// Main thread, once. Opens the device into demo::dsp and fixes 16-bit
// stereo at exactly 44100 Hz. /dev/dsp when it is a character device (OSS),
// otherwise ALSA's "default" PCM. False when there is no device or it
// refuses any setting; nothing is ever created at /dev/dsp.
bool opendsp();

// Main thread. Bytes written to demo::dsp that the device has not played
// yet; 0 when it cannot tell.
std::uint32_t queued();

// Music thread body: decodes demo::music into demo::dsp in 4096-byte pieces,
// advancing demo::written after each write, until the stream ends or the
// device is lost (a write failing for `giveup` ms in a row; see lose()).
void* play(void* = nullptr);

// The device lost during the show: an audio server killed, a device
// unplugged. Only a failure that lasts counts: a write that fails is tried
// again every `retry` ms, and the device is lost once its writes have
// failed for `giveup` ms in a row. A passing underrun, or a server moving
// the stream to another output, goes through before that. Natively a
// write that blocks for ever instead of failing is not noticed: the clock
// holds, as for a paused device (Windows has its own limit, win/sound.cpp).
constexpr int retry = 10;       // ms
constexpr int giveup = 500;     // ms
// The thread that feeds the device (the music thread natively, the
// feeding thread on Windows) calls lose() once and then stops touching the
// device; the main thread reads lost() once per frame and ends the show
// with the sound message. Never cleared.
void lose();
bool lost();

// What the show prints when the sound fails: no device at the start, no
// music thread, or the device lost during the show.
constexpr char failure[] = "bleh. lyden fucka. \\: ";

// Main thread, once per frame: the clock from demo::written and queued().
// Never steps back from the value it returned last (see resetclock).
std::int32_t time();
void resetclock();      // forget the last value; start-up does this

// The conversion itself: bytes played to clock units, truncated. A queue
// larger than the count (a race with the writer) counts as nothing played.
std::int32_t clockunits(std::uint32_t written, std::uint32_t queued);

}
