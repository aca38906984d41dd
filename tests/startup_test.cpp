// The real demoplayer binary: start-up failures, byte for byte, and the
// two ways a viewer ends the show.
#include "sound/sound.h"
#include "support/oggmaker.h"
#include "support/runner.h"
#include "support/xwindow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

// A working directory for one run of the show, and the probe's log of it.
struct showdir {
    tempdir dir;
    std::string log = dir.path + "/probe.log";
    showdir() { mkdir((dir.path + "/data").c_str(), 0755); }
    void soundtrack(const std::vector<unsigned char>& bytes) { writefile(dir.path + "/" + sound::soundtrack, bytes); }
    std::vector<std::string> env(std::vector<std::string> more = {}) const
    {
        more.push_back("LD_PRELOAD=" PROBE);
        more.push_back("PROBE_LOG=" + log);
        return more;
    }
    outcome run(std::vector<std::string> more = {}, double seconds = 120) const
    {
        return ::run({DEMOPLAYER}, dir.path, env(more), seconds);
    }
    std::string events() const { return readfile(log); }
};

TEST(Startup, MissingSoundtrackAfterTheWindowAndBeforeTheDevice)
{
    showdir show;
    outcome r = show.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "fuck, fikk ikke \xE5pnet ikke data/lyd.ogg.\n");
    EXPECT_EQ(countlines(show.events(), "video"), 1) << "the window comes first";
    EXPECT_EQ(countlines(show.events(), "pcm"), 0) << "no sound device is opened";
    EXPECT_EQ(countlines(show.events(), "quit"), 1) << "the display is given back";
    EXPECT_FALSE(exists("/dev/dsp"));
}

TEST(Startup, SoundtrackThatIsNotOggVorbis)
{
    const std::string message = "fuck, problemer med vorbisfile \\: \n";
    showdir empty;
    empty.soundtrack({});
    outcome r = empty.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, message);

    showdir text;
    const std::string words = "this is not a soundtrack\n";
    text.soundtrack(std::vector<unsigned char>(words.begin(), words.end()));
    r = text.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, message);

    showdir directory;
    mkdir((directory.dir.path + "/" + sound::soundtrack).c_str(), 0755);
    r = directory.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, message);
    EXPECT_EQ(countlines(directory.events(), "pcm"), 0);
    EXPECT_EQ(countlines(directory.events(), "quit"), 1) << "the display is given back";
}

TEST(Startup, NoSoundDevice)
{
    showdir show;
    show.soundtrack(makeogg(1));
    // No /dev/dsp on this machine, and ALSA's default finds no server.
    outcome r = show.run({"PULSE_SERVER=unix:/nonexistent/native"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "bleh. lyden fucka. \\: \n");
    EXPECT_EQ(countlines(show.events(), "pcm"), 1);
    EXPECT_EQ(countlines(show.events(), "quit"), 1) << "the display is given back";
    EXPECT_FALSE(exists("/dev/dsp")) << "opening the device must not create it";
}

// A music thread that cannot start would leave the clock at 0 and the show
// on black without a word: it is a sound failure.
TEST(Startup, MusicThreadThatCannotStartIsASoundFailure)
{
    showdir show;
    show.soundtrack(makeogg(1));
    outcome r = show.run({"PROBE_NOTHREAD=1"}, 60);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "bleh. lyden fucka. \\: \n");
    EXPECT_EQ(countlines(show.events(), "nothread"), 1);
    EXPECT_EQ(countlines(show.events(), "swap"), 0);
    EXPECT_EQ(countlines(show.events(), "quit"), 1) << "the display is given back";
}

// Classic SDL 1.2 is asked for X11 when no driver is named; sdl12-compat
// (the compat stage) is left to choose; a driver the user names is kept.
TEST(Startup, VideoDriverIsADesktopOneUnlessNamed)
{
    showdir unset;
    outcome r = unset.run({"-SDL_VIDEODRIVER"}, 60);
    EXPECT_EQ(r.status, 1);
    std::string log = unset.events();
    bool compat = log.find("sdl12-compat") != std::string::npos;
    EXPECT_EQ(countlines(log, compat ? "driver wayland,x11" : "driver x11"), 1) << log;

    showdir named;
    r = named.run({"SDL_VIDEODRIVER=dummy"}, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(countlines(named.events(), "driver dummy"), 1) << named.events();
}

TEST(Startup, NoDisplay)
{
    showdir show;
    show.soundtrack(makeogg(1));
    outcome r = show.run({"DISPLAY=:987"}, 60);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 1);
    const std::string prefix = "eeek, kunne ikke inite sdl: ";
    ASSERT_GT(r.out.size(), prefix.size() + 1) << r.out;
    EXPECT_EQ(r.out.substr(0, prefix.size()), prefix);
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(countlines(show.events(), "video"), 0);
}

TEST(Startup, DisplayWithoutOpenGL)
{
    xserver nogl({"-extension", "GLX"});
    ASSERT_TRUE(nogl.ok());
    showdir show;
    show.soundtrack(makeogg(1));
    outcome r = show.run({nogl.env()}, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Eeek, kunne ikke sette 640x480");
}

TEST(Ending, EscapeHeldFromTheStartShowsExactlyOneFrame)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    showdir show;
    show.soundtrack(makeogg(3));
    holdescape held(x.display);
    outcome r = show.run({x.env()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");
    EXPECT_EQ(countlines(show.events(), "swap"), 1);
}

TEST(Ending, WindowCloseEndsTheShow)
{
    xserver x({});
    ASSERT_TRUE(x.ok());
    showdir show;
    show.soundtrack(makeogg(20));
    child c({DEMOPLAYER}, show.dir.path, show.env({x.env()}));
    // Let it run some frames first.
    for (int i = 0; i < 3000 && countlines(show.events(), "swap") < 10; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GE(countlines(show.events(), "swap"), 10);
    ASSERT_TRUE(closewindow(x.display, "demoplayer"));
    outcome r = c.wait(60);
    EXPECT_FALSE(r.timedout);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zOT!");
}
