// A launcher as some menus and frontends are: it starts a program with a
// command line that is its path, unquoted, and no standard output (as a
// double-click gives none). For the Wine stage:
//
//   launcher.exe PATH      starts PATH with PATH, unquoted, as its command
//                          line, waits for it and ends with its status
//
// The program is named as the application too. Without it Windows would
// take the command line's words as far as they name a program; Wine does
// so as well, but then quotes the command line it hands over, which
// Windows does not: the command line would no longer be unquoted.
//
// Before the program runs its first instruction, the launcher copies
// itself to where the command line's first word points when a space in
// PATH splits it ("C:\my show\x.exe" -> "C:\my.exe"): a program that runs
// itself again from the same command line starts that copy instead. A
// copy (any name but launcher.exe) leaves a file "decoy-ran" beside itself
// and ends with status 9.
// Built by tests/stages/75-wine.sh with mingw-w64 (-municode).
#include <string>
#include <windows.h>

static std::wstring ownpath()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n < MAX_PATH ? n : 0);
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring self = ownpath();
    std::wstring name = self.substr(self.rfind(L'\\') + 1);
    if (_wcsicmp(name.c_str(), L"launcher.exe") != 0 || argc != 2) {
        std::wstring marker = self.substr(0, self.rfind(L'\\') + 1) + L"decoy-ran";
        CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return 9;
    }
    std::wstring command = argv[1];
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION run = {};
    if (!CreateProcessW(argv[1], &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &start, &run))
        return 100;
    std::wstring path = argv[1];
    std::size_t space = path.find(L' ');
    if (space != std::wstring::npos)
        CopyFileW(self.c_str(), (path.substr(0, space) + L".exe").c_str(), FALSE);
    ResumeThread(run.hThread);
    WaitForSingleObject(run.hProcess, INFINITE);
    DWORD status = 101;
    GetExitCodeProcess(run.hProcess, &status);
    return static_cast<int>(status);
}
