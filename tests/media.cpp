#include "media.h"

#include "sound/sound.h"
#include "support/runner.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <vorbis/vorbisfile.h>

std::string shellword(const std::string& file)
{
    return "'" + file + "'";
}

// Frame `index` of a video, or the picture of a PNG, as RGB rows top down.
std::string pixels(const std::string& file, int index)
{
    std::string cmd = "ffmpeg -v error -i " + shellword(file) + " -vf 'select=eq(n\\," +
                      std::to_string(index) + ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 -";
    return run({"/bin/sh", "-c", cmd}, "/tmp", {}, 60).out;
}

// ffprobe's key=value lines, one map per stream.
std::vector<std::map<std::string, std::string>> streams(const std::string& file)
{
    std::string cmd = "ffprobe -v error -show_streams -of default=nw=1 " + shellword(file);
    std::vector<std::map<std::string, std::string>> found;
    std::istringstream lines(run({"/bin/sh", "-c", cmd}, "/tmp", {}, 60).out);
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        if (key == "index")
            found.emplace_back();
        if (!found.empty())
            found.back()[key] = line.substr(eq + 1);
    }
    return found;
}

// Loudness of 10 ms windows of 16-bit stereo, channels mixed.
std::vector<double> envelope(const std::vector<short>& pcm)
{
    std::vector<double> out;
    for (size_t at = 0; at + 882 <= pcm.size(); at += 882) {
        double sum = 0;
        for (size_t i = at; i < at + 882; i++)
            sum += std::abs(pcm[i]);
        out.push_back(sum / 882);
    }
    return out;
}

// The soundtrack from `start` seconds for `seconds`, decoded by libvorbisfile.
std::vector<short> soundtrack(double start, double seconds)
{
    OggVorbis_File vf;
    EXPECT_EQ(ov_fopen((std::string(SOURCE_DIR) + "/" + sound::soundtrack).c_str(), &vf), 0);
    ov_pcm_seek(&vf, static_cast<ogg_int64_t>(start * sound::rate));
    std::vector<short> pcm(static_cast<size_t>(seconds * sound::rate) * 2);
    size_t got = 0;
    int section;
    while (got < pcm.size()) {
        long n = ov_read(&vf, reinterpret_cast<char*>(&pcm[got]), static_cast<int>((pcm.size() - got) * 2), 0, 2, 1, &section);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n) / 2;
    }
    ov_clear(&vf);
    pcm.resize(got);
    return pcm;
}

// Pearson correlation of a with b shifted by `lag` windows.
double correlation(const std::vector<double>& a, const std::vector<double>& b, int lag)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (size_t i = 0; i < a.size(); i++) {
        long j = static_cast<long>(i) + lag;
        if (j < 0 || j >= static_cast<long>(b.size()))
            continue;
        sa += a[i], sb += b[j], saa += a[i] * a[i], sbb += b[j] * b[j], sab += a[i] * b[j];
        n++;
    }
    double cov = sab - sa * sb / n, va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    return cov / std::sqrt(va * vb);
}

pillarbox lighted(const std::string& img, int width, int height, int bar, int edge)
{
    pillarbox lit;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(&img[(y * width + x) * 3]);
            bool on = p[0] > 24 || p[1] > 24 || p[2] > 24;
            if (x < bar - edge || x >= width - bar + edge)
                lit.bars += on;
            else if (x >= bar + edge && x < width - bar - edge)
                lit.picture += on;
        }
    return lit;
}
