// The show's shared state and its spine: start-up, main loop, frame, end.
//
// `demo` has only static members and is never instantiated. Everything is
// created once by init() and lives until the process ends. Two threads
// touch it: the main thread (all of it) and the music thread, which meets
// the main thread only at `written`, at the `dsp` stream and at the lost
// device's flag (sound::lost, sound/sound.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vorbis/vorbisfile.h>

class scene;
class light;
class radialblur;
class texture;

class demo {
public:
    static std::int32_t time;   // show clock, clock units (1000 per beat)
    static bool blur;           // the blur pass runs while set
    static bool done;           // the main loop ends after this frame
    static scene* scenes[4];    // slot 0: the tube scene; 1-3 stay null
    static light* lamp;
    static radialblur* blurrer;
    static texture* hamstertex;
    static texture* bagtex;
    static texture* noisetex;
    static texture* bottletex;
    static texture* snapshottex;
    static texture* glowtex;
    static OggVorbis_File music;    // the open soundtrack; music thread only
    static FILE* musicfile;
    static FILE* dsp;               // the sound device, as a stdio stream
    // PCM bytes handed to `dsp`. Written only by the music thread, read by
    // the main thread once per frame; no ordering with other data needed.
    static std::atomic<std::uint32_t> written;

    // Where frame() reads the clock. sound::time in the show; tests and
    // tools point it at a clock of their own to render any moment.
    static std::int32_t (*clock)();

    static void init();         // start-up; every failure ends the process
    // The two parts of start-up that need only a GL context, for tools and
    // tests that render without sound: the six textures; then the tube
    // scene in slot 0, the blur object and the light.
    static void loadpictures();
    static void makeobjects();
    // One turn of the main loop: a frame, then the window's events and the
    // Escape key. Returns `done`: true once the show is to end. A sound
    // device lost meanwhile ends the process instead, with the sound
    // message and status 1, as start-up failures do. run() calls
    // it until then; a browser, which owns the loop, calls it once per
    // animation frame.
    static bool step();
    [[noreturn]] static void run();
    [[noreturn]] static void quit();
    static void frame();        // one frame; main thread

    // The frame a viewer whose clock went through every earlier value
    // would see at clock value t, for renderers that pick their moments (a
    // video, a still, a test). The show's one memory of earlier frames is
    // the blur pass, which the tube scene ends in the first frame at or
    // after gyrotube::opens: while it is still on and t is past the
    // opening, the opening frame is drawn and presented first, unseen, then
    // the frame at t. Clock values must not go back from call to call (a
    // frame before the opening drawn after it has no blur pass). Needs
    // loadpictures() and makeobjects(); demo::clock reads t during the call
    // and is as it was afterwards. Main thread.
    static void frameat(std::int32_t t);
};
