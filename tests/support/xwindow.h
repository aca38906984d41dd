// X-side helpers for the real-binary tests: a second X server, the Escape
// key held down, and the window manager's close request.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// An Xvfb of its own (640x480x24) with extra arguments; stopped when the
// object goes. Tests that hold keys or look at the screen use their own,
// so that tests running beside them cannot disturb them.
class xserver {
public:
    explicit xserver(const std::vector<std::string>& args);
    ~xserver();
    bool ok() const { return !display.empty(); }
    std::string display;    // ":N"
    std::string env() const { return "DISPLAY=" + display; }

private:
    pid_t pid = -1;
};

// Escape is held on `display` while the object lives.
class holdescape {
public:
    explicit holdescape(const std::string& display);
    ~holdescape();

private:
    std::string display;
};

class child;
struct outcome;
// Holds Escape on `display` until `show` ends, at most `seconds`.
outcome escapeend(child& show, const std::string& display, double seconds = 10);

// Sends WM_DELETE_WINDOW to the top-level window whose class is `name`.
bool closewindow(const std::string& display, const std::string& name);

// What the screen of `display` shows now, in summary.
struct screenshot {
    int pixels = 0;
    int nonblack = 0;   // any channel above 24
    int colourful = 0;  // channels differing by more than 40
    bool ok() const { return pixels > 0; }
};
screenshot grabscreen(const std::string& display);
