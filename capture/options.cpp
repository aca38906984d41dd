#include "capture/options.h"

#include "sound/sound.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <getopt.h>

namespace capture {

const char* usage()
{
    static const std::string text =
        "usage: demorender [options]\n"
        "Renders the show frame by frame and hands the frames to ffmpeg, which\n"
        "scales them, encodes them with the soundtrack " + std::string(sound::soundtrack) + " and writes\n"
        "the video. Run it from the directory that holds data/, under X.\n"
        "\n"
        "  --out FILE     the video (default demo.mp4: H.264 + AAC in MP4)\n"
        "  --fps N        frames per second, 1 to 240 (default 60)\n"
        "  --size WxH     output size (default 1920x1080); the 640x480 picture\n"
        "                 is scaled to fit and centred, aspect kept\n"
        "  --from T       first clock value to show (default 0)\n"
        "  --to T         show the clock up to, not including, T (default " + std::to_string(showend) + ",\n"
        "                 where the show ends)\n"
        "  --at T --png FILE\n"
        "                 render the show at clock value T into one PNG image\n"
        "                 (640x480 unless --size is given)\n"
        "  --help         this text\n"
        "\n"
        "T is in clock units (1000 per beat, about 1616.67 per second), or in\n"
        "seconds of the soundtrack with an s after it: --from 30s.\n";
    return text.c_str();
}

std::int32_t clockafter(double seconds)
{
    auto samples = static_cast<std::uint32_t>(seconds * sound::rate);
    return sound::clockunits(samples * 4, 0);
}

std::int32_t clockof(std::int64_t frame, int fps)
{
    auto samples = static_cast<std::uint32_t>(frame * sound::rate / fps);
    return sound::clockunits(samples * 4, 0);
}

std::int64_t firstframe(std::int32_t t, int fps)
{
    // The clock grows with the frame number, so search for the boundary.
    std::int64_t below = -1, atleast = 0;
    while (clockof(atleast, fps) < t) {
        below = atleast;
        atleast = atleast * 2 + 1;
    }
    while (atleast - below > 1) {
        std::int64_t mid = below + (atleast - below) / 2;
        (clockof(mid, fps) < t ? below : atleast) = mid;
    }
    return atleast;
}

void fitted(int width, int height, int& w, int& h)
{
    if (static_cast<long>(width) * 3 >= static_cast<long>(height) * 4) {
        h = height;
        w = static_cast<int>(static_cast<long>(height) * 4 / 3);
    } else {
        w = width;
        h = static_cast<int>(static_cast<long>(width) * 3 / 4);
    }
    w &= ~1;
    h &= ~1;
}

bool parseclock(const std::string& text, std::int32_t& t)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (text.back() == 's') {
        double seconds = std::strtod(start, &end);
        // Two hours of soundtrack is far past the show's end, and still
        // inside the sample count the clock conversion can hold.
        if (errno || end != start + text.size() - 1 || !(seconds <= 7200))
            return false;
        t = clockafter(seconds);
        return true;
    }
    long units = std::strtol(start, &end, 10);
    if (errno || *end || units > 100000000)
        return false;
    t = static_cast<std::int32_t>(units);
    return true;
}

static bool refuse(std::string& error, const std::string& why)
{
    error = why;
    return false;
}

static bool number(const char* text, long low, long high, int& value)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

static bool size(const std::string& text, int& width, int& height)
{
    size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    // 4:2:0 video needs even sizes; 7680x4320 is the largest H.264 level.
    return number(text.substr(0, x).c_str(), 16, 7680, width) &&
           number(text.substr(x + 1).c_str(), 16, 4320, height) && width % 2 == 0 &&
           height % 2 == 0;
}

bool parse(int argc, char** argv, options& o, std::string& error)
{
    enum { fps = 1, size_, out, from, to, at, png, help };
    static const option longopts[] = {
        {"fps", required_argument, nullptr, fps}, {"size", required_argument, nullptr, size_},
        {"out", required_argument, nullptr, out}, {"from", required_argument, nullptr, from},
        {"to", required_argument, nullptr, to},   {"at", required_argument, nullptr, at},
        {"png", required_argument, nullptr, png}, {"help", no_argument, nullptr, help},
        {nullptr, 0, nullptr, 0}};
    bool range = false, hasat = false;
    optind = 0;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "", longopts, nullptr)) != -1;) {
        std::string arg = optarg ? optarg : "";
        switch (c) {
        case fps:
            if (!number(optarg, 1, 240, o.fps))
                return refuse(error, "--fps wants a whole number from 1 to 240, not \"" + arg + "\"");
            break;
        case size_:
            if (!size(arg, o.width, o.height))
                return refuse(error, "--size wants even WxH from 16x16 to 7680x4320, not \"" + arg + "\"");
            o.sizegiven = true;
            break;
        case out:
            o.out = arg;
            break;
        case from:
        case to:
        case at:
            if (!parseclock(arg, c == from ? o.from : c == to ? o.to : o.at))
                return refuse(error, "not a clock value: \"" + arg + "\" (use units, or seconds as 30s)");
            range |= c != at;
            hasat |= c == at;
            break;
        case png:
            o.png = arg;
            break;
        case help:
            o.help = true;
            return true;
        default:
            return refuse(error, std::string("unknown option or missing value: ") + argv[optind - 1]);
        }
    }
    if (optind < argc)
        return refuse(error, std::string("unexpected argument: ") + argv[optind]);
    if (hasat != !o.png.empty())
        return refuse(error, "--at and --png go together");
    o.single = hasat;
    if (o.single && range)
        return refuse(error, "--at renders one frame; it takes no --from or --to");
    const std::string ends = "the show ends at clock value " + std::to_string(showend);
    if (o.to > showend)
        return refuse(error, "--to: " + ends);
    if (o.from >= o.to)
        return refuse(error, "--from must come before --to");
    if (o.single && o.at >= showend)
        return refuse(error, "--at: " + ends);
    return true;
}

}
