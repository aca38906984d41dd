// The capture program's parts that need no display: its command line, which
// frames and clock values a capture holds, the output's geometry, progress
// lines, and the encoder process behind the pipe.
#include "capture/encoder.h"
#include "capture/options.h"
#include "capture/progress.h"
#include "sound/sound.h"
#include "support/runner.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace capture;

static bool parsed(std::vector<std::string> args, options& o, std::string& why)
{
    args.insert(args.begin(), "demorender");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    o = options();
    why.clear();
    return parse(static_cast<int>(args.size()), argv.data(), o, why);
}

TEST(Capture, FramesReadTheClockTheShowReadsAtTheirMoment)
{
    // At 60 fps a frame lasts 735 samples; the show's clock after n such
    // steps of played sound is the frame's clock.
    for (std::int64_t n = 0; n < 6300; n++)
        ASSERT_EQ(clockof(n, 60), sound::clockunits(static_cast<std::uint32_t>(n * 2940), 0)) << n;
    // About n * 1616.67 / fps, truncated: the tube opens in frame 64.
    EXPECT_EQ(clockof(63, 60), 1697);
    EXPECT_EQ(clockof(64, 60), 1724);
    EXPECT_EQ(clockof(60, 60), 1616);
    EXPECT_EQ(clockof(3, 1), 4850);
    EXPECT_EQ(clockafter(30), 48500);
}

TEST(Capture, FirstFrameIsTheFirstToReachTheClockValue)
{
    for (int fps : {1, 7, 24, 60, 144, 240}) {
        for (std::int32_t t : {0, 1, 1616, 1617, 1700, 40000, 104000, 167999, 168000}) {
            std::int64_t n = firstframe(t, fps);
            EXPECT_GE(clockof(n, fps), t) << fps << " fps, t " << t;
            if (n > 0) {
                EXPECT_LT(clockof(n - 1, fps), t) << fps << " fps, t " << t;
            }
        }
    }
    // The whole show at 60 fps: frames 0 to 6235, the last at 167998.
    EXPECT_EQ(firstframe(showend, 60), 6236);
    EXPECT_EQ(clockof(6235, 60), 167998);
}

TEST(Capture, ClockValuesAreUnitsOrSeconds)
{
    std::int32_t t = -1;
    EXPECT_TRUE(parseclock("12000", t));
    EXPECT_EQ(t, 12000);
    EXPECT_TRUE(parseclock("0", t));
    EXPECT_EQ(t, 0);
    EXPECT_TRUE(parseclock("30s", t));
    EXPECT_EQ(t, 48500);
    EXPECT_TRUE(parseclock("2.5s", t));
    EXPECT_EQ(t, clockafter(2.5));
    for (const char* bad : {"", "-5", "12k", "s", "1e3", "0x10", "nans", "-1s", "3 s", "99999999999", "9000s"})
        EXPECT_FALSE(parseclock(bad, t)) << '"' << bad << '"';
}

TEST(Capture, CommandLineDefaultsAndRanges)
{
    options o;
    std::string why;
    ASSERT_TRUE(parsed({}, o, why)) << why;
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.width, 1920);
    EXPECT_EQ(o.height, 1080);
    EXPECT_EQ(o.out, "demo.mp4");
    EXPECT_EQ(o.from, 0);
    EXPECT_EQ(o.to, showend);
    EXPECT_FALSE(o.single);

    ASSERT_TRUE(parsed({"--fps", "25", "--size", "1280x720", "--out", "a.mkv", "--from", "30s", "--to", "100000"}, o, why)) << why;
    EXPECT_EQ(o.fps, 25);
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.height, 720);
    EXPECT_TRUE(o.sizegiven);
    EXPECT_EQ(o.out, "a.mkv");
    EXPECT_EQ(o.from, 48500);
    EXPECT_EQ(o.to, 100000);

    ASSERT_TRUE(parsed({"--at=1700", "--png=f.png"}, o, why)) << why;
    EXPECT_TRUE(o.single);
    EXPECT_EQ(o.at, 1700);
    EXPECT_EQ(o.png, "f.png");
    EXPECT_FALSE(o.sizegiven);

    ASSERT_TRUE(parsed({"--help"}, o, why));
    EXPECT_TRUE(o.help);
}

TEST(Capture, CommandLineMistakesAreRefusedWithTheirReason)
{
    struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--fps", "0"}, "--fps wants a whole number from 1 to 240, not \"0\""},
        {{"--fps", "241"}, "--fps wants a whole number from 1 to 240, not \"241\""},
        {{"--fps", "6o"}, "--fps wants a whole number from 1 to 240, not \"6o\""},
        {{"--size", "1921x1080"}, "--size wants even WxH from 16x16 to 7680x4320, not \"1921x1080\""},
        {{"--size", "1920*1080"}, "--size wants even WxH from 16x16 to 7680x4320, not \"1920*1080\""},
        {{"--size", "8x8"}, "--size wants even WxH from 16x16 to 7680x4320, not \"8x8\""},
        {{"--from", "soon"}, "not a clock value: \"soon\" (use units, or seconds as 30s)"},
        {{"--to", "170000"}, "--to: the show ends at clock value 168000"},
        {{"--from", "5000", "--to", "5000"}, "--from must come before --to"},
        {{"--at", "100"}, "--at and --png go together"},
        {{"--png", "a.png"}, "--at and --png go together"},
        {{"--at", "100", "--png", "a.png", "--from", "50"}, "--at renders one frame; it takes no --from or --to"},
        {{"--at", "168000", "--png", "a.png"}, "--at: the show ends at clock value 168000"},
        {{"--fps"}, "unknown option or missing value: --fps"},
        {{"--speed", "2"}, "unknown option or missing value: --speed"},
        {{"out.mp4"}, "unexpected argument: out.mp4"},
    };
    for (auto& c : cases) {
        options o;
        std::string why;
        EXPECT_FALSE(parsed(c.args, o, why)) << c.args[0];
        EXPECT_EQ(why, c.reason);
    }
}

TEST(Capture, PictureFitsTheOutputCentredAndEven)
{
    int w, h;
    struct {
        int width, height, w, h;
    } cases[] = {{1920, 1080, 1440, 1080}, {1280, 720, 960, 720}, {640, 480, 640, 480},
                 {800, 800, 800, 600}, {1366, 768, 1024, 768}, {100, 50, 66, 50}, {16, 100, 16, 12}};
    for (auto& c : cases) {
        fitted(c.width, c.height, w, h);
        EXPECT_EQ(w, c.w) << c.width << "x" << c.height;
        EXPECT_EQ(h, c.h) << c.width << "x" << c.height;
    }
    EXPECT_EQ(filters(1920, 1080, true),
              "vflip,scale=1440:1080:flags=lanczos:out_color_matrix=bt709:out_range=tv,"
              "format=yuv420p,pad=1920:1080:240:0:black");
    EXPECT_EQ(filters(640, 480, false), "vflip");
    EXPECT_EQ(filters(800, 800, false), "vflip,scale=800:600:flags=lanczos,pad=800:800:0:100:black");
}

TEST(Capture, ProgressLines)
{
    EXPECT_EQ(progressline(0, 100, 0), "frame 0/100 (0.0%), 0.0 frames/s, --:-- left");
    EXPECT_EQ(progressline(50, 200, 2), "frame 50/200 (25.0%), 25.0 frames/s, 0:06 left");
    EXPECT_EQ(progressline(1, 10000, 1), "frame 1/10000 (0.0%), 1.0 frames/s, 2:46:39 left");
    EXPECT_EQ(progressline(6236, 6236, 311.8), "frame 6236/6236 (100.0%), 20.0 frames/s, 0:00 left");
}

TEST(Capture, PartialFilesAreHiddenBesideTheOutputAndKeepTheExtension)
{
    EXPECT_EQ(partialpath("demo.mp4"), ".partial.demo.mp4");
    EXPECT_EQ(partialpath("out/v/demo.mkv"), "out/v/.partial.demo.mkv");
    EXPECT_EQ(partialpath("/f.png"), "/.partial.f.png");
}

TEST(Capture, ProgramsAreFoundOnlyAsExecutableFilesOnThePath)
{
    tempdir a, b;
    auto make = [](const std::string& path, mode_t mode) {
        std::ofstream(path) << "#!/bin/sh\n";
        chmod(path.c_str(), mode);
    };
    make(a.path + "/plain", 0644);
    make(b.path + "/plain", 0755);
    make(b.path + "/tool", 0755);
    mkdir((a.path + "/tool").c_str(), 0755);
    const char* saved = std::getenv("PATH");
    std::string old = saved ? saved : "";
    setenv("PATH", (a.path + ":" + b.path).c_str(), 1);
    EXPECT_EQ(findprogram("plain"), b.path + "/plain");
    EXPECT_EQ(findprogram("tool"), b.path + "/tool");
    EXPECT_EQ(findprogram("absent"), "");
    setenv("PATH", a.path.c_str(), 1);
    EXPECT_EQ(findprogram("plain"), "");
    setenv("PATH", old.c_str(), 1);
}

TEST(Capture, EncoderPipesWholeFramesAndReportsHowItEnded)
{
    std::signal(SIGPIPE, SIG_IGN);
    tempdir d;
    std::vector<unsigned char> frame(framebytes, 7);
    {
        encoder e;
        ASSERT_TRUE(e.start({"/bin/sh", "-c", "wc -c > " + d.path + "/count"}));
        for (int i = 0; i < 3; i++)
            ASSERT_TRUE(e.write(frame.data()));
        EXPECT_EQ(e.finish(), 0);
        EXPECT_EQ(std::atol(readfile(d.path + "/count").c_str()), 3L * 640 * 480 * 3);
    }
    {
        encoder e;
        ASSERT_TRUE(e.start({"/bin/sh", "-c", "exit 3"}));
        bool refused = false;
        for (int i = 0; i < 100 && !refused; i++)
            refused = !e.write(frame.data());
        EXPECT_TRUE(refused) << "writes went on after the encoder had gone";
        EXPECT_EQ(e.finish(), 3);
    }
    {
        // An encoder that never reads is still stopped and reaped.
        encoder e;
        ASSERT_TRUE(e.start({"/bin/sh", "-c", "echo $$ > " + d.path + "/pid; exec sleep 60"}));
        while (readfile(d.path + "/pid").empty())
            usleep(10000);
        pid_t pid = std::atoi(readfile(d.path + "/pid").c_str());
        e.stop();
        EXPECT_NE(kill(pid, 0), 0) << "the encoder outlived stop()";
    }
    encoder missing;
    EXPECT_FALSE(missing.start({""}));
}
