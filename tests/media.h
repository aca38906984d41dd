// A video's frames and streams read with ffmpeg and ffprobe, the
// soundtrack decoded with libvorbisfile, and the measures the capture
// tests compare them by.
#pragma once

#include <map>
#include <string>
#include <vector>

// A shell word for ffmpeg and ffprobe: `file` quoted.
std::string shellword(const std::string& file);

// Frame `index` of a video, or the picture of a PNG, as RGB rows top down.
std::string pixels(const std::string& file, int index = 0);

// ffprobe's key=value lines, one map per stream.
std::vector<std::map<std::string, std::string>> streams(const std::string& file);

// Loudness of 10 ms windows of 16-bit stereo at 44100 Hz, channels mixed.
std::vector<double> envelope(const std::vector<short>& pcm);

// The soundtrack (data/lyd.ogg of the repository) from `start` seconds for
// `seconds`, 16-bit stereo.
std::vector<short> soundtrack(double start, double seconds);

// Pearson correlation of a with b shifted by `lag` windows.
double correlation(const std::vector<double>& a, const std::vector<double>& b, int lag);

// Lit pixels (any channel above 24) of a `width` x `height` RGB image in the
// `bar` columns at each side, and between them, `edge` columns away from
// where the bars end.
struct pillarbox {
    int bars = 0, picture = 0;
};
pillarbox lighted(const std::string& img, int width, int height, int bar, int edge);
