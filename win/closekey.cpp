// Alt-F4 on Windows. SDL 1.2 answers every system key message itself and
// never hands it to Windows' default handling, which is what turns Alt-F4
// into a close request: under SDL the key would do nothing. A message hook
// on the main thread (the one that runs the window's message loop) asks
// the window to close when Alt-F4 is taken from the queue; SDL turns the
// close into its quit event, which ends the show as the close box does.
// Installed before main by a static object's constructor, so the show's
// own code is the same on every platform.
#include <windows.h>

namespace {

HHOOK hook;

LRESULT CALLBACK watch(int code, WPARAM removed, LPARAM message)
{
    const MSG* m = reinterpret_cast<const MSG*>(message);
    // Bit 29 of a key message's lParam: Alt was held.
    if (code == HC_ACTION && removed == PM_REMOVE && m->message == WM_SYSKEYDOWN
        && m->wParam == VK_F4 && (m->lParam & (1 << 29)))
        PostMessageW(m->hwnd, WM_CLOSE, 0, 0);
    return CallNextHookEx(hook, code, removed, message);
}

struct closekey {
    closekey()
    {
        hook = SetWindowsHookExW(WH_GETMESSAGE, watch, nullptr, GetCurrentThreadId());
    }
} install;

}
