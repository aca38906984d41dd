// The kernel side of the fake Windows in tests/win/fake/ on Linux: events
// as a flag under a mutex, threads as detached std::threads, descriptors
// as the C library's pipe ends are. Enough for win/sound.cpp and no more.
#include <io.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

struct event {
    std::mutex lock;
    std::condition_variable changed;
    bool manual;
    bool set;
};

}

HANDLE CreateEventW(void*, BOOL manualreset, BOOL initialstate, const wchar_t*)
{
    event* e = new event;
    e->manual = manualreset;
    e->set = initialstate;
    return e;
}

BOOL SetEvent(HANDLE handle)
{
    event* e = static_cast<event*>(handle);
    std::lock_guard<std::mutex> hold(e->lock);
    e->set = true;
    e->changed.notify_all();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    event* e = static_cast<event*>(handle);
    std::unique_lock<std::mutex> hold(e->lock);
    auto isset = [e] { return e->set; };
    if (milliseconds == INFINITE)
        e->changed.wait(hold, isset);
    else if (!e->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), isset))
        return WAIT_TIMEOUT;
    if (!e->manual)
        e->set = false;
    return WAIT_OBJECT_0;
}

// Events live as long as the process: a thread may still wait on one.
BOOL CloseHandle(HANDLE)
{
    return TRUE;
}

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE body, void* argument, DWORD, DWORD*)
{
    std::thread(body, argument).detach();
    return reinterpret_cast<HANDLE>(1);
}

// Windows' default timer ticks 64 times a second: a sleep lasts whole
// ticks, never less than one (Sleep(1) takes 15.6 ms).
void Sleep(DWORD milliseconds)
{
    const std::chrono::microseconds tick(15625);
    auto ticks = (std::chrono::microseconds(std::chrono::milliseconds(milliseconds)) + tick
                  - std::chrono::microseconds(1)) / tick;
    std::this_thread::sleep_for(tick * (ticks > 0 ? ticks : 1));
}

BOOL QueryUnbiasedInterruptTime(ULONGLONG* time)
{
    auto t = std::chrono::steady_clock::now().time_since_epoch();
    *time = static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::nanoseconds>(t).count() / 100);
    return TRUE;
}

// Set, the process looks like Wine's: ntdll exports wine_get_version.
bool fakeunderwine;

static int ntdll;

HMODULE GetModuleHandleW(const wchar_t* name)
{
    return name && std::wcscmp(name, L"ntdll.dll") == 0 ? reinterpret_cast<HMODULE>(&ntdll) : nullptr;
}

static void winegetversion() {}

FARPROC GetProcAddress(HMODULE module, const char* name)
{
    return fakeunderwine && module == reinterpret_cast<HMODULE>(&ntdll) && std::strcmp(name, "wine_get_version") == 0
        ? winegetversion : nullptr;
}

BOOL PeekNamedPipe(HANDLE pipe, void*, DWORD, DWORD*, DWORD* available, DWORD*)
{
    int n = 0;
    if (ioctl(static_cast<int>(reinterpret_cast<std::intptr_t>(pipe)), FIONREAD, &n) != 0)
        return FALSE;
    *available = static_cast<DWORD>(n);
    return TRUE;
}

std::intptr_t _get_osfhandle(int fd)
{
    return fd;
}

int _read(int fd, void* buffer, unsigned count)
{
    return static_cast<int>(read(fd, buffer, count));
}

// The size is the pipe's capacity, as on Windows (Linux rounds it up to
// whole pages).
int _pipe(int ends[2], unsigned size, int)
{
    if (pipe(ends) != 0)
        return -1;
    fcntl(ends[1], F_SETPIPE_SZ, static_cast<int>(size));
    return 0;
}

int _close(int fd)
{
    return close(fd);
}

FILE* _fdopen(int fd, const char* mode)
{
    return fdopen(fd, mode);
}
