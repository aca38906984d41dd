// A scripted waveOut for the tests of the Windows sound device, built
// natively against the fake Windows headers in tests/win/fake/: it records
// what it is given and answers as each case sets it.
#pragma once

#include <mmsystem.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

// The scripted device. Its player thread plays the first queued buffer
// every 2 ms (faster than real time), as long as it is not stalled.
// Made once and never destroyed: its threads outlive the exit handlers.
struct devicestate {
    std::mutex lock;
    std::deque<WAVEHDR*> queue;
    std::map<WAVEHDR*, std::string> copies;     // each buffer as it was queued
    std::string sound;                          // every byte played, in order
    // The count restarts at 0 right after the first reading past `dropat`
    // bytes: from then on it counts from where that reading was.
    std::uint32_t dropat = 0;
    std::uint32_t countfrom = 0;
    std::uint32_t lastreading = 0;
    // Every other reading falls `jitter` bytes below the one before it.
    std::uint32_t jitter = 0, lastreported = 0;
    int readings = 0;
    UINT answers = TIME_BYTES;                  // the one unit the driver counts in
    bool stalled = false;
    // Writes are refused for `refusefor` once `refuseafter` bytes went in.
    std::size_t refuseafter = ~std::size_t(0);
    std::chrono::steady_clock::duration refusefor = std::chrono::steady_clock::duration::max();
    std::chrono::steady_clock::time_point refusefrom = std::chrono::steady_clock::time_point::max();
    std::size_t queuedbytes = 0;
    int writes = 0, refusals = 0, oddbuffers = 0, overwritten = 0, closes = 0;
    HANDLE event = nullptr;
};
extern devicestate& device;

