// The real demorender binary with the real ffmpeg: a short capture checked
// with ffprobe and by its pixels and sound, single frames against the
// show's own frame, determinism, its failures byte for byte, and stopping
// it part way.
#include "media.h"
#include "showframe.h"
#include "sound/sound.h"
#include "support/runner.h"
#include "support/xwindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

// demorender with its standard error after its standard output, run from
// `dir` (the repository, where data/lyd.ogg is, unless a test says).
static std::vector<std::string> command(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", DEMORENDER};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

static outcome demorender(const std::vector<std::string>& args, const std::vector<std::string>& env,
                          const std::string& dir = SOURCE_DIR)
{
    return run(command(args), dir, env, 300);
}

static std::vector<std::string> entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

TEST(Demorender, ShortCaptureIsAVideoOfTheFramesWithTheirSound)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir d;
    std::string out = d.path + "/short.mp4";
    // 3 s to 5 s of the soundtrack at 10 frames per second: clock 4850 to
    // 8083, the tube's noise filling the picture, then the bag.
    outcome r = demorender({"--fps", "10", "--size", "400x240", "--from", "3s", "--to", "5s", "--out", out},
                           {x.env()});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("demorender: frame 20/20 (100.0%), "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("demorender: wrote " + out + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(entries(d.path), std::vector<std::string>{"short.mp4"});

    auto s = streams(out);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0]["codec_type"], "video");
    EXPECT_EQ(s[0]["codec_name"], "h264");
    EXPECT_EQ(s[0]["width"], "400");
    EXPECT_EQ(s[0]["height"], "240");
    EXPECT_EQ(s[0]["nb_frames"], "20");
    EXPECT_EQ(s[0]["r_frame_rate"], "10/1");
    EXPECT_NEAR(std::stod(s[0]["duration"]), 2.0, 0.001);
    EXPECT_EQ(s[1]["codec_type"], "audio");
    EXPECT_EQ(s[1]["codec_name"], "aac");
    EXPECT_EQ(s[1]["channels"], "2");
    EXPECT_EQ(s[1]["sample_rate"], "44100");
    EXPECT_NEAR(std::stod(s[1]["duration"]), 2.0, 0.05);

    // The 4:3 picture is 320x240 in the middle; 40 columns of black each
    // side (the scaler may blur 2 columns across the edge).
    std::string img = pixels(out, 0);
    ASSERT_EQ(img.size(), 400u * 240 * 3);
    pillarbox lit = lighted(img, 400, 240, 40, 2);
    EXPECT_EQ(lit.bars, 0);
    EXPECT_GT(lit.picture, 316 * 240 * 9 / 10);

    // Its sound is the soundtrack from 3 s: the loudness follows it with no lag.
    std::string cmd = "ffmpeg -v error -i " + shellword(out) + " -map 0:a -f s16le -ac 2 -ar 44100 -";
    std::string raw = run({"/bin/sh", "-c", cmd}, "/tmp", {}, 60).out;
    std::vector<short> heard(raw.size() / 2);
    std::memcpy(heard.data(), raw.data(), heard.size() * 2);
    std::vector<double> a = envelope(heard), b = envelope(soundtrack(3, 2));
    ASSERT_GT(a.size(), 190u);
    int best = 0;
    for (int lag = -30; lag <= 30; lag++)
        if (correlation(a, b, lag) > correlation(a, b, best))
            best = lag;
    EXPECT_LE(std::abs(best), 2) << "sound is " << best * 10 << " ms off";
    EXPECT_GT(correlation(a, b, best), 0.9);
}

TEST(Demorender, FrameAt1700IsTheTubeOpeningColour)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir d;
    outcome r = demorender({"--at", "1700", "--png", d.path + "/f.png"}, {x.env()});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "demorender: wrote " + d.path + "/f.png\n");
    std::string img = pixels(d.path + "/f.png");
    ASSERT_EQ(img.size(), 640u * 480 * 3);
    int off = 0;
    for (size_t i = 0; i < img.size(); i += 3) {
        int r8 = static_cast<unsigned char>(img[i]), g8 = static_cast<unsigned char>(img[i + 1]),
            b8 = static_cast<unsigned char>(img[i + 2]);
        off += std::abs(r8 - 77) > 3 || std::abs(g8 - 26) > 3 || b8 > 3;
    }
    EXPECT_EQ(off, 0) << "pixels not (0.3, 0.1, 0)";
}

TEST(Demorender, FrameInTheSpinIsTheShowsOwnFrameAndRendersIdentically)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir d;
    for (const char* name : {"/a.png", "/b.png"}) {
        outcome r = demorender({"--at", "90000", "--png", d.path + name}, {x.env()});
        ASSERT_EQ(r.status, 0) << r.out;
    }
    std::string png = readfile(d.path + "/a.png");
    EXPECT_FALSE(png.empty());
    EXPECT_EQ(png, readfile(d.path + "/b.png")) << "two renders of one frame differ";

    // The show's frame at 90000, drawn here after the tube has opened: the
    // noise picture turned 28 degrees. The image holds it upright.
    showframe::openshow();
    showframe::render(90000);
    std::string img = pixels(d.path + "/a.png");
    ASSERT_EQ(img.size(), 640u * 480 * 3);
    int differ = 0, colourful = 0;
    for (int y = 0; y < 480; y++)
        for (int xx = 0; xx < 640; xx++) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(&img[(y * 640 + xx) * 3]);
            rgb q = showframe::shown(xx, 479 - y);
            differ += !near(q, p[0], p[1], p[2]);
            colourful += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 40;
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(colourful, 640 * 480 / 3);
}

TEST(Demorender, PngAtAChosenSizeIsPillarboxed)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir d;
    outcome r = demorender({"--at", "5000", "--size", "800x480", "--png", d.path + "/w.png"}, {x.env()});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string img = pixels(d.path + "/w.png");
    ASSERT_EQ(img.size(), 800u * 480 * 3);
    // The 640x480 picture unscaled between two 80-column bars.
    pillarbox lit = lighted(img, 800, 480, 80, 0);
    EXPECT_EQ(lit.bars, 0);
    EXPECT_GT(lit.picture, 640 * 480 * 9 / 10);
}

TEST(Demorender, FailuresSayWhatIsWrongAndLeaveNothing)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    tempdir d, empty, nosound;
    mkdir((nosound.path + "/data").c_str(), 0755);
    std::ofstream(nosound.path + "/" + sound::soundtrack) << "not a soundtrack\n";
    std::string out = d.path + "/v.mp4";
    struct {
        std::vector<std::string> args, env;
        std::string dir;
        int status;
        std::string message;
    } cases[] = {
        {{"--out", out}, {x.env(), "PATH=" + empty.path}, SOURCE_DIR, 1,
         "demorender: ffmpeg is not on the PATH; it encodes the video. Install it with: sudo apt-get install ffmpeg\n"},
        {{"--out", "/nonexistent/dir/v.mp4"}, {x.env()}, SOURCE_DIR, 1,
         "demorender: cannot write /nonexistent/dir/v.mp4: No such file or directory\n"},
        {{"--out", d.path}, {x.env()}, SOURCE_DIR, 1, "demorender: cannot write " + d.path + ": Is a directory\n"},
        {{"--out", out}, {x.env()}, empty.path, 1,
         "demorender: cannot open the soundtrack data/lyd.ogg: No such file or directory (run demorender where data/ is)\n"},
        {{"--out", out}, {x.env()}, nosound.path, 1,
         "demorender: the soundtrack data/lyd.ogg is not an Ogg Vorbis file\n"},
        {{"--fps", "0"}, {x.env()}, SOURCE_DIR, 2,
         "demorender: --fps wants a whole number from 1 to 240, not \"0\"\nTry 'demorender --help'.\n"},
    };
    for (auto& c : cases) {
        outcome r = demorender(c.args, c.env, c.dir);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_EQ(r.out, c.message);
    }
    // Without a display; SDL's own reason goes in the brackets.
    outcome r = demorender({"--out", out}, {"-DISPLAY"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("demorender: no display to render in (", 0), 0u) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 37), "); run it under X, or under xvfb-run\n") << r.out;
    EXPECT_TRUE(entries(d.path).empty());
}

// The process still running with `path` in its command line: its pid, or "".
static std::string running(const std::string& path)
{
    for (const std::string& pid : entries("/proc")) {
        std::string cmdline = readfile("/proc/" + pid + "/cmdline");
        if (cmdline.find(path) != std::string::npos)
            return pid;
    }
    return "";
}

// The signals a process or thread blocks, from its /proc status.
static unsigned long long blocked(const std::string& dir)
{
    std::string status = readfile(dir + "/status");
    std::size_t at = status.find("SigBlk:");
    return at == std::string::npos ? ~0ull : std::stoull(status.substr(at + 7), nullptr, 16);
}

TEST(Demorender, InterruptedCaptureStopsFfmpegAndLeavesNoFile)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    for (int how : {SIGINT, SIGTERM, 0}) {
        tempdir d;
        std::string out = d.path + "/show.mp4", partial = d.path + "/.partial.show.mp4";
        child c(command({"--out", out}), SOURCE_DIR, {x.env()});
        // The file alone does not say ffmpeg runs: demorender's own check
        // that it can write there makes and removes it first.
        std::string encoder;
        for (int i = 0; i < 600 && (!exists(partial) || (encoder = running(partial)).empty()); i++)
            usleep(50000);
        ASSERT_NE(encoder, "") << "ffmpeg never started writing";
        usleep(500000);
        // The stop signals are blocked, to be taken between frames rather
        // than run a handler in the middle of a GL call; ffmpeg blocks none.
        const unsigned long long stops = 1ull << (SIGINT - 1) | 1ull << (SIGTERM - 1) | 1ull << (SIGHUP - 1);
        EXPECT_EQ(blocked("/proc/" + std::to_string(c.pid)) & stops, stops) << "demorender";
        EXPECT_EQ(blocked("/proc/" + encoder) & stops, 0u) << "ffmpeg";
        if (how)
            kill(c.pid, how);
        else
            ASSERT_TRUE(closewindow(x.display, "demorender"));
        outcome r = c.wait(60);
        EXPECT_EQ(r.status, 128 + (how ? how : SIGINT)) << r.out;
        EXPECT_NE(r.out.find("demorender: interrupted; " + out + " not written\n"), std::string::npos) << r.out;
        EXPECT_TRUE(entries(d.path).empty());
        EXPECT_EQ(running(partial), "") << "ffmpeg still runs";
    }
}
