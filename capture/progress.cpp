#include "capture/progress.h"

#include <cstdio>
#include <unistd.h>

namespace capture {

std::string progressline(std::int64_t done, std::int64_t total, double seconds)
{
    double rate = seconds > 0 ? done / seconds : 0;
    char left[32] = "--:--";
    if (rate > 0) {
        auto s = static_cast<long>((total - done) / rate + 0.5);
        if (s >= 3600)
            std::snprintf(left, sizeof left, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
        else
            std::snprintf(left, sizeof left, "%ld:%02ld", s / 60, s % 60);
    }
    char line[128];
    std::snprintf(line, sizeof line, "frame %lld/%lld (%.1f%%), %.1f frames/s, %s left",
                  static_cast<long long>(done), static_cast<long long>(total),
                  total > 0 ? 100.0 * done / total : 100.0, rate, left);
    return line;
}

progress::progress(std::int64_t total)
    : total(total), terminal(isatty(2)), begun(std::chrono::steady_clock::now()), shown(begun)
{
}

double progress::elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
}

void progress::update(std::int64_t done)
{
    auto now = std::chrono::steady_clock::now();
    if (now - shown < std::chrono::milliseconds(terminal ? 250 : 5000))
        return;
    shown = now;
    std::fprintf(stderr, terminal ? "\rdemorender: %s\x1b[K" : "demorender: %s\n",
                 progressline(done, total, elapsed()).c_str());
}

void progress::finish(std::int64_t done)
{
    std::fprintf(stderr, terminal ? "\rdemorender: %s\x1b[K\n" : "demorender: %s\n",
                 progressline(done, total, elapsed()).c_str());
}

}
