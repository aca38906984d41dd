// The Windows sound device: waveOut, fed from a pipe.
//
// The music thread writes to demo::dsp as on Linux: here that stream is the
// write end of an anonymous pipe (binary, unbuffered), so its fwrite calls
// stay as they are and block while the pipe is full. A feeding thread reads
// the other end and keeps a few waveOut buffers queued. What was written
// and not yet played is demo::written minus the device's playback position.
//
// Failures: a buffer the device will not prepare or queue is offered again
// every sound::retry ms; refused for sound::giveup ms, or queued and not
// played for `stuck` ms, the device is lost (sound::lose), and the feeding
// thread leaves it and only drains the pipe from then on. A held buffer is
// the only sign of some lost outputs: Wine's waveOut, its audio server
// killed, neither fails a call nor returns buffers. A position that falls
// back to near 0 (Windows moving the stream to another output restarts the
// count; a count that wraps) is carried on from where it was; one that
// falls back a little is the count jittering.
//
// Waits are timed by the unbiased interrupt time, which stands still while
// the machine sleeps: a suspended machine does not make a buffer look
// stuck. Its resolution is the system timer's (15.6 ms by default), so the
// last, short buffer of the soundtrack goes out 20 to 36 ms after the pipe
// ran dry, well inside the 200 ms still queued.
#include "sound/sound.h"

#include "demo/demo.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <windows.h>
#include <mmsystem.h>

namespace sound {

enum {
    buffers = 4,
    bufferbytes = 8820,     // 50 ms each: 200 ms queued in all
    pipebytes = 16384,
    patience = 20,          // ms the pipe stays empty before a short buffer goes out
    stuck = 2000,           // ms a queued buffer may take: ten times the whole queue
};

static HWAVEOUT out;
static HANDLE finished;             // set by waveOut as each buffer is played
static HANDLE stopped;              // set by the feeding thread once it leaves the device
static int readend;                 // C library descriptor of the pipe's read end
static WAVEHDR headers[buffers];
static char data[buffers][bufferbytes];
static std::atomic<bool> closing;
// Main thread only (queued): the device's last answer and what it had
// counted before its count last restarted, both in bytes.
static std::uint32_t lastanswer;
static std::uint32_t carried;

// A buffer's flags. The device sets WHDR_DONE from a thread of its own
// and then signals `finished`: read atomically, and what it did with the
// buffer is seen once the flag is.
static DWORD flags(const WAVEHDR& h)
{
    return __atomic_load_n(&h.dwFlags, __ATOMIC_ACQUIRE);
}

// Milliseconds of the machine being awake.
static ULONGLONG now()
{
    ULONGLONG t = 0;
    QueryUnbiasedInterruptTime(&t);
    return t / 10000;
}

// Reads into `to` until it has `most` bytes, or at least `least` and the
// pipe has stayed empty for `patience` ms. Never blocks in a read, so the
// thread always sees `closing`. Returns the count; -1 when the process is
// ending or the pipe has failed.
static int readsome(char* to, int least, int most, int patience)
{
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readend));
    int got = 0;
    for (ULONGLONG idle = now(); got < most;) {
        DWORD waiting = 0;
        if (closing.load() || !PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return -1;
        if (waiting == 0) {
            if (got >= least && now() - idle >= static_cast<ULONGLONG>(patience))
                break;
            Sleep(1);
            continue;
        }
        unsigned want = static_cast<unsigned>(most - got);
        int n = _read(readend, to + got, waiting < want ? waiting : want);
        if (n <= 0)
            return -1;
        got += n;
        idle = now();
    }
    return got;
}

// Feeding thread. True once the device has played `h` (or never had it);
// false when the process is ending, or after `stuck` ms.
static bool played(const WAVEHDR& h)
{
    ULONGLONG since = now();
    while ((flags(h) & WHDR_PREPARED) && !(flags(h) & WHDR_DONE)) {
        if (closing.load() || now() - since >= static_cast<ULONGLONG>(stuck))
            return false;
        WaitForSingleObject(finished, 50);
    }
    return true;
}

// Feeding thread. Prepares and queues `h`, offering it again every `retry`
// ms while the device refuses. False when it refused for `giveup` ms or
// the process is ending; `h` is left unprepared then.
static bool queue(WAVEHDR& h)
{
    for (ULONGLONG first = now();;) {
        if (waveOutPrepareHeader(out, &h, sizeof h) == MMSYSERR_NOERROR) {
            if (waveOutWrite(out, &h, sizeof h) == MMSYSERR_NOERROR)
                return true;
            waveOutUnprepareHeader(out, &h, sizeof h);
        }
        if (closing.load() || now() - first >= static_cast<ULONGLONG>(giveup))
            return false;
        Sleep(retry);
    }
}

// Feeding thread. Each buffer is filled whole: the music thread decodes
// far faster than the device plays, so the pipe is never empty for long
// but at the end of the soundtrack, whose last part goes out once the pipe
// has stayed empty for `patience` ms. A buffer holds whole stereo frames:
// the start of a frame the pipe split waits in `odd` and begins the next
// buffer. Half a frame at the very end of the stream is never completed
// and never played, as natively (sound/music.cpp).
//
// When the process ends (onexit) or the device is lost, the thread stops
// touching the device, says so, and from then on only drains the pipe,
// into a buffer of its own: a music thread blocked in fwrite, holding its
// stream's lock, returns and does not hold up the C library's exit.
static DWORD WINAPI feed(void*)
{
    char odd[framebytes];
    int oddbytes = 0;
    for (int i = 0;; i = (i + 1) % buffers) {
        WAVEHDR& h = headers[i];
        if (!played(h)) {
            if (!closing.load())
                lose();
            break;
        }
        std::memcpy(data[i], odd, oddbytes);
        int n = readsome(data[i] + oddbytes, framebytes - oddbytes, bufferbytes - oddbytes, patience);
        if (n < 0)
            break;
        n += oddbytes;
        oddbytes = n % framebytes;
        n -= oddbytes;
        std::memcpy(odd, data[i] + n, oddbytes);
        if (h.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(out, &h, sizeof h);
        h = WAVEHDR();
        h.lpData = data[i];
        h.dwBufferLength = static_cast<DWORD>(n);
        if (!queue(h)) {
            if (!closing.load())
                lose();
            break;
        }
    }
    SetEvent(stopped);
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readend));
    char spill[bufferbytes];
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return 0;
        if (waiting == 0)
            Sleep(1);
        else if (_read(readend, spill, sizeof spill) <= 0)
            return 0;
    }
}

// Runs in exit(): the device is stopped and closed before the process
// ends, so that no audio thread of the system is still busy with it.
static void onexit()
{
    closing.store(true);
    SetEvent(finished);
    if (WaitForSingleObject(stopped, 1000) != WAIT_OBJECT_0)
        return;
    waveOutReset(out);
    for (WAVEHDR& h : headers)
        if (h.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(out, &h, sizeof h);
    waveOutClose(out);
}

// Wine's waveOut counts sound as played once the audio server has taken
// it, ahead of what the server's output has played by the server's own
// latency. Under Wine (its ntdll exports wine_get_version) the position is
// held back by that latency; Windows' own drivers count what the output
// played. 100 ms is PulseAudio's under Wine 8.0 on the machine of
// docs/measured.md; to measure it again, run the Wine stage's live A/V rig
// (docs/sync.md): its figure is show - mpv in ms, and a figure of -F (the
// picture early) asks for F ms more here, +F for F ms less.
enum { serverlatency = 100 };       // ms
static std::uint32_t heldback;      // bytes; set once by opendsp

static bool underwine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Asks for exactly 16-bit stereo at 44100 Hz. Windows may convert the
// stream for the hardware behind it; the position still counts the bytes
// of this stream, so the clock keeps its rate. A refused device, or any
// later step that fails, leaves nothing open behind it.
bool opendsp()
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = framebytes;
    format.nAvgBytesPerSec = bytespersecond;
    finished = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool opened = finished && stopped
        && waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(finished), 0,
                       CALLBACK_EVENT) == MMSYSERR_NOERROR;
    int ends[2] = {-1, -1};
    FILE* stream = nullptr;
    HANDLE feeder = nullptr;
    // Unbuffered: every piece reaches the pipe in the fwrite that
    // demo::written then counts.
    if (opened && _pipe(ends, pipebytes, _O_BINARY) == 0 && (stream = _fdopen(ends[1], "wb"))
        && setvbuf(stream, nullptr, _IONBF, 0) == 0) {
        readend = ends[0];
        feeder = CreateThread(nullptr, 0, feed, nullptr, 0, nullptr);
    }
    if (!feeder) {
        if (stream)
            std::fclose(stream);
        else if (ends[1] >= 0)
            _close(ends[1]);
        if (ends[0] >= 0)
            _close(ends[0]);
        if (opened)
            waveOutClose(out);
        for (HANDLE e : {finished, stopped})
            if (e)
                CloseHandle(e);
        return false;
    }
    CloseHandle(feeder);
    heldback = underwine() ? rate * serverlatency / 1000 * framebytes : 0;
    std::atexit(onexit);
    demo::dsp = stream;
    return true;
}

// Main thread. The position in bytes: a driver that counts in samples is
// converted at four bytes a frame, one that counts in milliseconds at
// 44.1 frames each (whole frames). A count that falls below half its last
// answer restarted and goes on from what was counted before it; a smaller
// fall is the count jittering back (some USB and Bluetooth outputs), and
// the last answer stands until the count passes it. With a reading every
// frame, only a restart in the first frames is taken for a jitter, and
// then trails by those frames. A failed query keeps the last position,
// never 0 queued, which would let the clock run ahead of the sound; a
// position past what was written counts as nothing queued.
std::uint32_t queued()
{
    std::uint32_t written = demo::written.load(std::memory_order_relaxed);
    MMTIME t = {};
    t.wType = TIME_BYTES;
    if (waveOutGetPosition(out, &t, sizeof t) == MMSYSERR_NOERROR) {
        bool known = true;
        std::uint32_t answer = 0;
        if (t.wType == TIME_BYTES)
            answer = t.u.cb;
        else if (t.wType == TIME_SAMPLES)
            answer = t.u.sample * framebytes;
        else if (t.wType == TIME_MS)
            answer = static_cast<std::uint32_t>(static_cast<ULONGLONG>(t.u.ms) * rate / 1000) * framebytes;
        else
            known = false;
        if (known && answer < lastanswer / 2) {
            carried += lastanswer;
            lastanswer = answer;
        } else if (known && answer > lastanswer) {
            lastanswer = answer;
        }
    }
    std::uint32_t p = carried + lastanswer;
    p = p > heldback ? p - heldback : 0;
    return written > p ? written - p : 0;
}

}
