// A stand-in for <mmsystem.h> with the waveOut calls win/sound.cpp makes
// (see windows.h here). The calls are defined by the test that links it
// (tests/winsound_test.cpp), which records them and answers as scripted.
#pragma once

#include <windows.h>

typedef UINT MMRESULT;
typedef struct waveout* HWAVEOUT;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_NODRIVER 6
#define WAVE_MAPPER 0xFFFFFFFFu
#define WAVE_FORMAT_PCM 1
#define CALLBACK_EVENT 0x00050000u
#define WHDR_DONE 0x1u
#define WHDR_PREPARED 0x2u
#define TIME_MS 0x1u
#define TIME_SAMPLES 0x2u
#define TIME_BYTES 0x4u

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
    } u;
};

MMRESULT waveOutOpen(HWAVEOUT* out, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT out, WAVEHDR* header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT out, WAVEHDR* header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT out, WAVEHDR* header, UINT size);
MMRESULT waveOutReset(HWAVEOUT out);
MMRESULT waveOutClose(HWAVEOUT out);
MMRESULT waveOutGetPosition(HWAVEOUT out, MMTIME* time, UINT size);
