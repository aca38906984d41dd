#include "scriptedwaveout.h"

#include <thread>

using namespace std::chrono;

devicestate& device = *new devicestate;

static void checkunchanged(WAVEHDR* h)
{
    if (device.copies[h] != std::string(h->lpData, h->dwBufferLength))
        device.overwritten++;
}

static void player()
{
    for (;;) {
        std::this_thread::sleep_for(milliseconds(2));
        std::lock_guard<std::mutex> hold(device.lock);
        if (device.stalled || device.queue.empty())
            continue;
        WAVEHDR* h = device.queue.front();
        device.queue.pop_front();
        checkunchanged(h);
        device.sound.append(h->lpData, h->dwBufferLength);
        __atomic_fetch_or(&h->dwFlags, WHDR_DONE, __ATOMIC_RELEASE);
        SetEvent(device.event);
    }
}

MMRESULT waveOutOpen(HWAVEOUT* out, UINT, const WAVEFORMATEX*, DWORD_PTR callback, DWORD_PTR, DWORD)
{
    *out = reinterpret_cast<HWAVEOUT>(1);
    device.event = reinterpret_cast<HANDLE>(callback);
    std::thread(player).detach();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT, WAVEHDR* h, UINT)
{
    h->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT, WAVEHDR* h, UINT)
{
    h->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT, WAVEHDR* h, UINT)
{
    std::lock_guard<std::mutex> hold(device.lock);
    auto now = steady_clock::now();
    if (device.queuedbytes >= device.refuseafter && device.refusefrom == steady_clock::time_point::max())
        device.refusefrom = now;
    if (now >= device.refusefrom && now - device.refusefrom < device.refusefor) {
        device.refusals++;
        return MMSYSERR_NODRIVER;
    }
    device.writes++;
    device.oddbuffers += h->dwBufferLength % 4 != 0;
    device.queuedbytes += h->dwBufferLength;
    device.copies[h] = std::string(h->lpData, h->dwBufferLength);
    device.queue.push_back(h);
    return MMSYSERR_NOERROR;
}

// A device takes a while to stop: buffers it holds are still its own.
MMRESULT waveOutReset(HWAVEOUT)
{
    std::this_thread::sleep_for(milliseconds(100));
    std::lock_guard<std::mutex> hold(device.lock);
    for (WAVEHDR* h : device.queue) {
        checkunchanged(h);
        __atomic_fetch_or(&h->dwFlags, WHDR_DONE, __ATOMIC_RELEASE);
    }
    device.queue.clear();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT)
{
    std::lock_guard<std::mutex> hold(device.lock);
    device.closes++;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetPosition(HWAVEOUT, MMTIME* t, UINT)
{
    std::lock_guard<std::mutex> hold(device.lock);
    std::uint32_t now = static_cast<std::uint32_t>(device.sound.size());
    if (device.dropat && now >= device.dropat && !device.countfrom)
        device.countfrom = device.lastreading;
    device.lastreading = now;
    std::uint32_t bytes = now - device.countfrom;
    if (device.jitter && device.readings++ % 2 && device.lastreported >= device.jitter)
        bytes = device.lastreported - device.jitter;
    device.lastreported = bytes;
    t->wType = device.answers;
    if (device.answers == TIME_MS)
        t->u.ms = static_cast<DWORD>(bytes * 10ull / 1764);
    else
        t->u.cb = bytes;
    return MMSYSERR_NOERROR;
}
