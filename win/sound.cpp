// The Windows sound device: waveOut, fed from a pipe.
//
// The music thread writes to demo::dsp as on Linux: here that stream is the
// write end of an anonymous pipe (binary, unbuffered), so its fwrite calls
// stay as they are and block while the pipe is full. A feeding thread reads
// the other end and keeps a few waveOut buffers queued. What was written
// and not yet played is demo::written minus the device's playback position,
// which counts every byte since the device was opened.
#include "sound/sound.h"

#include "demo/demo.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <windows.h>
#include <mmsystem.h>

namespace sound {

enum {
    framebytes = 4,         // 16-bit stereo
    buffers = 4,
    bufferbytes = 8820,     // 50 ms each: 200 ms queued in all
    pipebytes = 16384,
    patience = 20,          // ms
};

static HWAVEOUT out;
static HANDLE finished;             // set by waveOut as each buffer is played
static HANDLE stopped;              // set by the feeding thread once it leaves the device
static int readend;                 // C library descriptor of the pipe's read end
static WAVEHDR headers[buffers];
static char data[buffers][bufferbytes];
static std::atomic<bool> closing;
// The last position the device reported, in bytes: what queued() falls
// back on when a query fails.
static std::atomic<std::uint32_t> played;

// Reads into `to` until it has `most` bytes, or at least `least` and the
// pipe has stayed empty for `patience` ms. Never blocks in a read, so the
// thread always sees `closing`. Returns the count; -1 when the process is
// ending or the pipe has failed.
static int readsome(char* to, int least, int most, int patience)
{
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readend));
    int got = 0;
    for (int idle = 0; got < most;) {
        DWORD waiting = 0;
        if (closing.load() || !PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return -1;
        if (waiting == 0) {
            if (got >= least && idle >= patience)
                break;
            Sleep(1);
            idle++;
            continue;
        }
        unsigned want = static_cast<unsigned>(most - got);
        int n = _read(readend, to + got, waiting < want ? waiting : want);
        if (n <= 0)
            return -1;
        got += n;
        idle = 0;
    }
    return got;
}

// Feeding thread. Each buffer is filled whole: the music thread decodes
// far faster than the device plays, so the pipe is never empty for long
// but at the end of the soundtrack, whose last part goes out once the pipe
// has stayed empty for `patience` ms. A buffer holds whole stereo frames:
// a frame the pipe split is completed before it is queued.
//
// When the process ends (onexit), the thread stops touching the device,
// says so, and from then on only drains the pipe: a music thread blocked
// in fwrite, holding its stream's lock, returns and does not hold up the
// C library's exit.
static DWORD WINAPI feed(void*)
{
    for (int i = 0;; i = (i + 1) % buffers) {
        WAVEHDR& h = headers[i];
        while ((h.dwFlags & WHDR_PREPARED) && !(h.dwFlags & WHDR_DONE) && !closing.load())
            WaitForSingleObject(finished, 50);
        int n = closing.load() ? -1 : readsome(data[i], framebytes, bufferbytes, patience);
        if (n > 0 && n % framebytes) {
            int rest = readsome(data[i] + n, framebytes - n % framebytes, framebytes - n % framebytes, 0);
            n = rest < 0 ? -1 : n + rest;
        }
        if (n < 0)
            break;
        if (h.dwFlags & WHDR_PREPARED)
            waveOutUnprepareHeader(out, &h, sizeof h);
        h = WAVEHDR();
        h.lpData = data[i];
        h.dwBufferLength = static_cast<DWORD>(n);
        waveOutPrepareHeader(out, &h, sizeof h);
        waveOutWrite(out, &h, sizeof h);
    }
    SetEvent(stopped);
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readend));
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return 0;
        if (waiting == 0)
            Sleep(1);
        else if (_read(readend, data[0], bufferbytes) <= 0)
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
    std::atexit(onexit);
    demo::dsp = stream;
    return true;
}

// The position in bytes. A driver that counts in samples is converted at
// four bytes a frame; one that can tell neither keeps the last position,
// never 0 queued, which would let the clock run ahead of the sound.
std::uint32_t queued()
{
    std::uint32_t written = demo::written.load(std::memory_order_relaxed);
    MMTIME t = {};
    t.wType = TIME_BYTES;
    if (waveOutGetPosition(out, &t, sizeof t) == MMSYSERR_NOERROR) {
        if (t.wType == TIME_BYTES)
            played.store(t.u.cb);
        else if (t.wType == TIME_SAMPLES)
            played.store(t.u.sample * framebytes);
    }
    std::uint32_t p = played.load();
    return written > p ? written - p : 0;
}

}
