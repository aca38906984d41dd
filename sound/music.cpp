// The music thread: decode the soundtrack and feed the device.
#include "sound/sound.h"

#include "demo/demo.h"

#include <chrono>
#include <thread>

namespace sound {

// A read error repeats on every call without end; a gap in the stream is
// reported once and decoding goes on. This many failures in a row with
// nothing decoded between them means the stream is finished for us.
enum { maxfailures = 64 };

// Music thread only. demo::written advances after each write returns, by
// what the stream took: never bytes it has not been handed. A device that
// takes whole stereo frames only (ALSA) leaves the odd half frame at the
// end of a mono stream unplayed, and uncounted: never retried.
//
// A write that fails is tried again every `retry` ms with what the device
// has not taken, until it goes through or the writes have failed for
// `giveup` ms in a row: then the device is lost (lose()) and the thread
// ends. A failed write shows as the stream's error flag with a short
// count, 0 when nothing was taken (a cookie stream's write returns 0 on
// error, sound/alsa.cpp). The writing
// stays in this one function: the page's build pauses inside fwrite and
// names every function that can be on the stack then (web/pausable.txt).
void* play(void*)
{
    using clock = std::chrono::steady_clock;
    demo::written.store(0, std::memory_order_relaxed);
    char buffer[4096];
    int section;
    int failures = 0;
    bool failing = false;
    clock::time_point firstfailure;
    for (bool end = false; !end;) {
        long n = ov_read(&demo::music, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n == 0) {
            end = true;
        } else if (n < 0) {
            end = ++failures == maxfailures;
        } else {
            failures = 0;
            const char* data = buffer;
            size_t size = static_cast<size_t>(n);
            while (size > 0 && !end) {
                size_t taken = std::fwrite(data, 1, size, demo::dsp);
                bool failed = std::ferror(demo::dsp);
                if (failed)
                    std::clearerr(demo::dsp);
                demo::written.fetch_add(static_cast<std::uint32_t>(taken), std::memory_order_relaxed);
                data += taken;
                size -= taken;
                if (!failed && taken > 0) {
                    failing = false;
                    continue;
                }
                // Less than a frame that a device taking whole frames only
                // has left (the end of a mono stream): it never will.
                if (size < framebytes)
                    break;
                clock::time_point now = clock::now();
                if (!failing) {
                    failing = true;
                    firstfailure = now;
                }
                if (now - firstfailure >= std::chrono::milliseconds(giveup)) {
                    lose();
                    end = true;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(retry));
                }
            }
        }
    }
    return nullptr;
}

}
