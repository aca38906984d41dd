// X-side helpers for the real-binary tests: a second X server, the Escape
// key held down, and the window manager's close request.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// An Xvfb of its own (640x480x24) with extra arguments; stopped when the
// object goes.
class xserver {
public:
    explicit xserver(const std::vector<std::string>& args);
    ~xserver();
    bool ok() const { return !display.empty(); }
    std::string display;    // ":N"

private:
    pid_t pid = -1;
};

// Escape is held on $DISPLAY while the object lives.
class holdescape {
public:
    holdescape();
    ~holdescape();
};

// Sends WM_DELETE_WINDOW to the top-level window whose class is `name`.
bool closewindow(const std::string& name);
