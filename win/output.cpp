// Standard output of the Windows program, which has no console window.
//
// The show writes its messages to standard output, and tests read them
// there: in binary mode, so "\n" stays one byte as on Linux. A viewer who
// double-clicked the program has no standard output at all, so a start-up
// failure would vanish with it. Then the program runs itself once more
// with its output going into a pipe, waits for that run to end, shows what
// it wrote in a message box when it failed (or its status, when it ended
// without a word: a crash), and ends with its status. The second run is
// this very file (the module's own path), whatever the command line's
// first word would name: a launcher may pass a path with spaces unquoted.
// It may take the foreground, which the first run was given, so the show
// opens in front. This runs before main (a static object's constructor):
// the show's own code is the same on every platform.
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace {

bool hasoutput()
{
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// The show's messages are ISO-8859-1, whose bytes are the first 256 code
// points: widened one by one they read the same in any Windows code page.
void showfailure(const std::string& text)
{
    std::wstring wide(text.begin(), text.end());
    for (wchar_t& c : wide)
        c = static_cast<unsigned char>(c);
    MessageBoxW(nullptr, wide.c_str(), L"demoplayer", MB_OK | MB_ICONERROR);
}

// The program's own path; empty when it does not fit in 32767 characters,
// the longest path Windows has. The buffer doubles from MAX_PATH, the last
// try being the first size past that many (33280 characters).
std::wstring ownpath()
{
    for (DWORD size = MAX_PATH; size / 2 <= 32767; size *= 2) {
        std::wstring path(size, L'\0');
        DWORD n = GetModuleFileNameW(nullptr, &path[0], size);
        if (n == 0)
            return L"";
        if (n < size) {
            path.resize(n);
            return path;
        }
    }
    return L"";
}

// Returns only when this process is to run the show itself: when the
// second run could not be started.
void runwithoutput()
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readend, writeend;
    if (!CreatePipe(&readend, &writeend, &inherit, 0))
        return;
    SetHandleInformation(readend, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = writeend;
    start.hStdError = writeend;
    PROCESS_INFORMATION run = {};
    std::wstring self = ownpath();
    std::wstring command = GetCommandLineW();
    if (self.empty()
        || !CreateProcessW(self.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                           nullptr, nullptr, &start, &run)) {
        CloseHandle(readend);
        CloseHandle(writeend);
        return;
    }
    CloseHandle(writeend);
    // Granted before the second run can open its window.
    AllowSetForegroundWindow(run.dwProcessId);
    ResumeThread(run.hThread);
    CloseHandle(run.hThread);
    // Read while the second run lives, then what it left in the pipe. The
    // pipe's end is not awaited: a process the second run started may hold
    // its write end after it has ended (Wine starts its desktop process
    // from the first window it opens, with that run's standard handles).
    std::string text;
    char buffer[512];
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(run.hProcess, 10) == WAIT_OBJECT_0;
        DWORD waiting = 0, n = 0;
        while (PeekNamedPipe(readend, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0
               && ReadFile(readend, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
    }
    DWORD status = 1;
    GetExitCodeProcess(run.hProcess, &status);
    if (status != 0 && text.empty()) {
        char said[80];
        std::snprintf(said, sizeof said, "demoplayer ended without a message (status 0x%08lX).",
                      static_cast<unsigned long>(status));
        text = said;
    }
    if (status != 0)
        showfailure(text);
    ExitProcess(status);
}

struct output {
    output()
    {
        if (!hasoutput())
            runwithoutput();
        _setmode(_fileno(stdout), _O_BINARY);
    }
} setup;

}
