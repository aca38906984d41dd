// The show in a page: the same start-up as the native program, run while
// the page loads, with the main loop handed to the browser, which calls one
// turn of it per animation frame once the viewer has clicked. `--at T`
// draws the single frame at clock value T and stops, as demorender --at
// does.
#include "demo/demo.h"
#include "display/window.h"
#include "sound/sound.h"
#include "web/audio.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emscripten.h>

// The browser owns the loop: each turn is demo::step, and the turn that
// ends the show prints the closing tag and ends the program as demo::run
// does. Turns before the click draw nothing. A click after which the page
// has no AudioContext is the sound device failing: the native message,
// status 1. The page may watch the frames: Module.onframe(clock) runs
// after each, while the finished picture is still in the canvas's buffer.
static void turn()
{
    int audio = webaudio::state();
    if (audio == 0)
        return;
    if (audio < 0) {
        emscripten_cancel_main_loop();
        std::puts(sound::failure);
        delete w;
        w = nullptr;
        std::exit(1);
    }
    bool done = demo::step();
    EM_ASM({ if (Module.onframe) Module.onframe($0); }, demo::time);
    if (!done)
        return;
    emscripten_cancel_main_loop();
    std::printf("zOT!");
    demo::quit();
}

// The first turn, which the page runs inside the click that starts the
// show: the opening frame is drawn at once, not at the next animation
// frame, which a browser going fullscreen or starting its sound output for
// the first time holds back by some 150 ms. Called from the page's click
// handler; does nothing when the click left the page without sound (the
// next turn says so).
extern "C" EMSCRIPTEN_KEEPALIVE void firstturn()
{
    if (webaudio::state() > 0)
        turn();
}

// The show's start-up minus sound, then the frame a viewer would see at t.
static void render(std::int32_t t)
{
    demo::blur = true;
    demo::loadpictures();
    demo::makeobjects();
    demo::frameat(t);
}

// A clock value: digits only.
static bool clockvalue(const char* text, std::int32_t& t)
{
    if (!*text || std::strspn(text, "0123456789") != std::strlen(text) || std::strlen(text) > 9)
        return false;
    t = static_cast<std::int32_t>(std::atol(text));
    return true;
}

int main(int argc, char** argv)
{
    std::int32_t at = 0;
    bool single = argc == 3 && std::strcmp(argv[1], "--at") == 0 && clockvalue(argv[2], at);
    gl::init(argc, argv);
    if (single) {
        render(at);
        return 0;
    }
    // Everything up to the first frame happens now, the soundtrack decoded
    // whole (web/sound.cpp lets the page draw its progress meanwhile); a
    // failure ends the program before the click with its native message.
    // Then the page asks for the click.
    demo::init();
    demo::done = false;
    EM_ASM({ Module.onready(); });
    emscripten_set_main_loop(turn, 0, 1);
}

// SDL's swap in a page does nothing: the browser shows the canvas when the
// turn returns. The GL layer's last batch is drawn here, so the frame is
// complete at the swap, as it is natively.
extern "C" void SDL_GL_SwapBuffers()
{
    glFlush();
}
