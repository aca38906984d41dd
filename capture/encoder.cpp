#include "capture/encoder.h"

#include "sound/sound.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace capture {

static std::string text(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string filters(int width, int height, bool video)
{
    std::string chain = "vflip";
    if (width != framewidth || height != frameheight || video) {
        int w, h;
        fitted(width, height, w, h);
        chain += ",scale=" + std::to_string(w) + ":" + std::to_string(h) + ":flags=lanczos";
        if (video)
            chain += ":out_color_matrix=bt709:out_range=tv,format=yuv420p";
        chain += ",pad=" + std::to_string(width) + ":" + std::to_string(height) + ":" +
                 std::to_string((width - w) / 2) + ":" + std::to_string((height - h) / 2) + ":black";
    }
    return chain;
}

// ffmpeg quiet but for its errors, reading the raw frames on standard input.
static std::vector<std::string> rawframes(const std::string& ffmpeg, int fps)
{
    return {ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error",
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
            std::to_string(framewidth) + "x" + std::to_string(frameheight),
            "-framerate", std::to_string(fps), "-i", "pipe:0"};
}

std::vector<std::string> videocommand(const std::string& ffmpeg, const options& o, std::int64_t frames,
                                      double audiostart, const std::string& path)
{
    std::vector<std::string> a = rawframes(ffmpeg, o.fps);
    // The soundtrack is cut to the frames' span, so both streams end together.
    std::vector<std::string> rest = {
        "-ss", text("%.6f", audiostart), "-t", text("%.6f", static_cast<double>(frames) / o.fps),
        "-i", sound::soundtrack, "-map", "0:v", "-map", "1:a",
        "-vf", filters(o.width, o.height, true),
        // H.264 High at 8 Mbit/s on average (demoparty rules ask for 6 or
        // more at 1080p), a key frame every two seconds.
        "-c:v", "libx264", "-preset", "medium", "-profile:v", "high",
        "-b:v", "8M", "-maxrate", "12M", "-bufsize", "16M", "-g", std::to_string(2 * o.fps),
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
        "-c:a", "aac", "-b:a", "192k",
        "-movflags", "+faststart", "-y", path};
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
}

std::vector<std::string> imagecommand(const std::string& ffmpeg, const options& o, const std::string& path)
{
    std::vector<std::string> a = rawframes(ffmpeg, 1);
    int width = o.sizegiven ? o.width : framewidth;
    int height = o.sizegiven ? o.height : frameheight;
    std::vector<std::string> rest = {"-vf", filters(width, height, false), "-frames:v", "1",
                                     "-c:v", "png", "-update", "1", "-y", path};
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
}

std::string partialpath(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + ".partial." + base;
}

std::string findprogram(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        std::string full = dir + "/" + program;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0)
            return full;
        start = end + 1;
    }
    return "";
}

bool encoder::start(const std::vector<std::string>& argv)
{
    int ends[2];
    if (argv.empty() || argv[0].empty() || pipe2(ends, O_CLOEXEC) != 0)
        return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(ends[0], 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(ends[0]);
    if (pid < 0) {
        close(ends[1]);
        return false;
    }
    fd = ends[1];
    return true;
}

bool encoder::write(const unsigned char* frame)
{
    for (std::size_t done = 0; done < framebytes;) {
        ssize_t n = ::write(fd, frame + done, framebytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int encoder::reap()
{
    int status = 0;
    pid_t done;
    do
        done = waitpid(pid, &status, 0);
    while (done < 0 && errno == EINTR);
    pid = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int encoder::finish()
{
    close(fd);
    fd = -1;
    return reap();
}

void encoder::stop()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    if (pid > 0) {
        kill(pid, SIGTERM);
        reap();
    }
}

encoder::~encoder()
{
    stop();
}

}
