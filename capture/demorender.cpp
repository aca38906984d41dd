// demorender: the show rendered frame by frame at a fixed rate and encoded
// by ffmpeg with its soundtrack into a video; or one frame into a PNG.
//
// Exit status: 0 done, 1 the capture could not be made, 2 a bad command
// line, 128 + the signal when interrupted (SIGINT, SIGTERM, SIGHUP, or the
// window closed, which counts as SIGINT). An interrupted or failed capture
// leaves nothing at the output path.
#include "capture/encoder.h"
#include "capture/options.h"
#include "capture/progress.h"
#include "demo/demo.h"
#include "display/window.h"
#include "sound/sound.h"

#include <SDL/SDL.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace capture;

// The signals that interrupt a capture. They are blocked from the start,
// in the threads the GL driver starts too, and stay pending until the main
// thread takes them between frames: no handler ever breaks into a GL call
// or a wait. (With a handler, qemu's user-mode emulation, which runs the
// 32-bit tests, hung about one interrupted capture in twenty.)
static sigset_t stopsignals;
static int stopsignal;      // the first one taken, or SIGINT for the window closed

static void takesignals()
{
    static const timespec now = {};
    int signal = sigtimedwait(&stopsignals, nullptr, &now);
    if (signal > 0 && !stopsignal)
        stopsignal = signal;
}

[[noreturn]] static void fail(const std::string& message)
{
    std::fprintf(stderr, "demorender: %s\n", message.c_str());
    std::exit(1);
}

// The frame the show presented last, read back at its swap.
static unsigned char frame[framebytes];

static void keepframe()
{
    gl::readframe(frame);
}

static void checksoundtrack()
{
    FILE* file = std::fopen(sound::soundtrack, "rb");
    if (!file)
        fail(std::string("cannot open the soundtrack ") + sound::soundtrack + ": " + std::strerror(errno) +
             " (run demorender where data/ is)");
    OggVorbis_File music;
    if (ov_open(file, &music, nullptr, 0) != 0) {
        std::fclose(file);
        fail(std::string("the soundtrack ") + sound::soundtrack + " is not an Ogg Vorbis file");
    }
    ov_clear(&music);
}

// Fails unless a file can be made beside `path`; leaves nothing behind.
static void checkwritable(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        fail("cannot write " + path + ": " + std::strerror(EISDIR));
    std::string partial = partialpath(path);
    int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST)
        fd = open(partial.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0)
        fail("cannot write " + path + ": " + std::strerror(errno));
    close(fd);
    unlink(partial.c_str());
}

// The show's own window and start-up, minus sound; demo::frameat sets the
// clock of each frame.
static void openshow()
{
    gl::choosedriver();
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        fail(std::string("no display to render in (") + SDL_GetError() +
             "); run it under X, or under xvfb-run");
    int argc = 0;
    gl::init(argc, nullptr);
    demo::blur = true;
    demo::loadpictures();
    demo::makeobjects();
    gl::presenting = keepframe;
}

static void watchwindow()
{
    SDL_Event event;
    while (SDL_PollEvent(&event))
        if (event.type == SDL_QUIT)
            stopsignal = SIGINT;
}

int main(int argc, char** argv)
{
    options o;
    std::string why;
    if (!parse(argc, argv, o, why)) {
        std::fprintf(stderr, "demorender: %s\nTry 'demorender --help'.\n", why.c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(usage(), stdout);
        return 0;
    }
    std::string program = findprogram("ffmpeg");
    if (program.empty())
        fail("ffmpeg is not on the PATH; it encodes the video. "
             "Install it with: sudo apt-get install ffmpeg");
    if (!o.single)
        checksoundtrack();
    const std::string& target = o.single ? o.png : o.out;
    checkwritable(target);

    sigemptyset(&stopsignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopsignals, s);
    pthread_sigmask(SIG_BLOCK, &stopsignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    openshow();

    std::int64_t first = o.single ? 0 : firstframe(o.from, o.fps);
    std::int64_t end = o.single ? 1 : firstframe(o.to, o.fps);
    // The soundtrack starts at the first frame's moment, in whole samples
    // as the frame's clock counts them.
    double audiostart = static_cast<double>(first * sound::rate / o.fps) / sound::rate;
    std::string partial = partialpath(target);
    encoder ffmpeg;
    if (!ffmpeg.start(o.single ? imagecommand(program, o, partial)
                               : videocommand(program, o, end - first, audiostart, partial)))
        fail("cannot start ffmpeg");

    progress shown(end - first);
    std::int64_t n = first;
    for (; n < end; n++) {
        takesignals();
        if (stopsignal)
            break;
        demo::frameat(o.single ? o.at : clockof(n, o.fps));
        if (!ffmpeg.write(frame))
            break;
        watchwindow();
        if (!o.single)
            shown.update(n + 1 - first);
    }
    int status = stopsignal ? -1 : ffmpeg.finish();
    takesignals();
    if (stopsignal) {
        ffmpeg.stop();
        unlink(partial.c_str());
        std::fprintf(stderr, "%sdemorender: interrupted; %s not written\n", isatty(2) ? "\n" : "",
                     target.c_str());
        return 128 + stopsignal;
    }
    if (n < end || status != 0) {
        unlink(partial.c_str());
        fail("ffmpeg failed (exit status " + std::to_string(status) + "); " + target + " not written");
    }
    if (std::rename(partial.c_str(), target.c_str()) != 0)
        fail("cannot write " + target + ": " + std::strerror(errno));
    if (!o.single)
        shown.finish(n - first);
    std::fprintf(stderr, "demorender: wrote %s\n", target.c_str());
    delete w;
    return 0;
}
