#include "xwindow.h"

#include "runner.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

// Starts are serialised across processes with a lock of ours, held until
// the server answers, so two tests never race for one display number.
class startlock {
public:
    startlock() : fd(open("/tmp/showtest-xvfb.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666))
    {
        if (fd >= 0)
            flock(fd, LOCK_EX);
    }
    ~startlock()
    {
        if (fd >= 0)
            close(fd);
    }

private:
    int fd;
};

static bool taken(int n)
{
    std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    return access(lock.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0;
}

// Display numbers from 100 up, skipping any with a lock file or a socket
// (a server killed hard leaves its socket behind, and a new server on that
// number would fail to listen).
xserver::xserver(const std::vector<std::string>& args)
{
    startlock serialised;
    for (int n = 100; n < 200 && display.empty(); n++) {
        if (taken(n))
            continue;
        std::string name = ":" + std::to_string(n);
        pid = fork();
        if (pid == 0) {
            std::vector<std::string> all = {"Xvfb", name, "-screen", "0", "640x480x24",
                                            "-nolisten", "tcp", "-noreset"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            freopen("/dev/null", "w", stderr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        // Up to 30 s: a loaded machine can be slow to bring a server up.
        for (int i = 0; i < 600; i++) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            if (Display* d = XOpenDisplay(name.c_str())) {
                XCloseDisplay(d);
                display = name;
                break;
            }
            usleep(50000);
        }
    }
}

xserver::~xserver()
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

static void escape(const std::string& display, bool down)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return;
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Escape), down, 0);
    XSync(d, False);
    XCloseDisplay(d);
}

holdescape::holdescape(const std::string& display) : display(display)
{
    escape(display, true);
}

holdescape::~holdescape()
{
    escape(display, false);
}

outcome escapeend(child& show, const std::string& display, double seconds)
{
    holdescape escape(display);
    return show.wait(seconds);
}

static Window find(Display* d, Window top, const std::string& name)
{
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, top, &root, &parent, &children, &n))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; i++) {
        XClassHint hint;
        if (XGetClassHint(d, children[i], &hint)) {
            if (name == hint.res_name || name == hint.res_class)
                found = children[i];
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (!found)
            found = find(d, children[i], name);
    }
    if (children)
        XFree(children);
    return found;
}

bool closewindow(const std::string& display, const std::string& name)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return false;
    Window target = find(d, DefaultRootWindow(d), name);
    if (target) {
        XEvent e = {};
        e.xclient.type = ClientMessage;
        e.xclient.window = target;
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, target, False, NoEventMask, &e);
        XSync(d, False);
    }
    XCloseDisplay(d);
    return target != 0;
}

screenshot grabscreen(const std::string& display)
{
    screenshot s;
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return s;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* image = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (image) {
        for (int y = 0; y < a.height; y++)
            for (int x = 0; x < a.width; x++) {
                unsigned long p = XGetPixel(image, x, y);
                int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                int hi = std::max(r, std::max(g, b)), lo = std::min(r, std::min(g, b));
                s.pixels++;
                s.nonblack += hi > 24;
                s.colourful += hi - lo > 40;
            }
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return s;
}
