// A stand-in for <windows.h> with only what win/sound.cpp uses, so that
// file builds natively for tests/winsound_test.cpp. Kernel objects are
// real on Linux (tests/win/fakewin.cpp): events on a mutex, threads,
// pipes; the waveOut side (mmsystem.h) is the test's own recording fake.
// Types keep Windows' widths (LLP64: DWORD is 32 bits).
#pragma once

#include <cstdint>

#define WINAPI
#define FALSE 0
#define TRUE 1
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u

typedef int BOOL;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::uint32_t UINT;
typedef unsigned long long ULONGLONG;
typedef std::uintptr_t DWORD_PTR;
typedef void* HANDLE;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(void*);
typedef void* HMODULE;
typedef void (*FARPROC)();

// Events: manual or automatic reset, as Windows has them.
HANDLE CreateEventW(void* security, BOOL manualreset, BOOL initialstate, const wchar_t* name);
BOOL SetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
// A detached thread; the handle it returns is only closed.
HANDLE CreateThread(void* security, std::size_t stack, LPTHREAD_START_ROUTINE body, void* argument,
                    DWORD flags, DWORD* id);
void Sleep(DWORD milliseconds);
// 100 ns units of a monotonic clock.
BOOL QueryUnbiasedInterruptTime(ULONGLONG* time);
// Bytes waiting in a pipe (the handle is a descriptor, see io.h); only
// the count is answered.
BOOL PeekNamedPipe(HANDLE pipe, void* buffer, DWORD size, DWORD* read, DWORD* available,
                   DWORD* leftinmessage);

// Modules: none is loaded here, so the program never finds Wine's ntdll.
HMODULE GetModuleHandleW(const wchar_t* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
