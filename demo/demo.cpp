// Start-up, main loop and end of the show.
#include "demo/demo.h"

#include "display/window.h"
#include "fx/light.h"
#include "fx/radialblur.h"
#include "image/pictures.h"
#include "image/texture.h"
#include "scenes/gyrotube.h"
#include "sound/sound.h"

#include <SDL/SDL.h>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <unistd.h>

std::int32_t demo::time;
bool demo::blur;
bool demo::done;
scene* demo::scenes[4];
light* demo::lamp;
radialblur* demo::blurrer;
texture* demo::hamstertex;
texture* demo::bagtex;
texture* demo::noisetex;
texture* demo::bottletex;
texture* demo::snapshottex;
texture* demo::glowtex;
OggVorbis_File demo::music;
FILE* demo::musicfile;
FILE* demo::dsp;
std::atomic<std::uint32_t> demo::written;
std::int32_t (*demo::clock)() = sound::time;

// Start-up messages end with a newline from puts; the text is ISO-8859-1.
// The window is already open: closing it shuts SDL down, which gives the
// viewer's desktop its own video mode back before the process ends.
[[noreturn]] static void fail(const char* message)
{
    std::puts(message);
    delete w;
    w = nullptr;
    std::exit(1);
}

void demo::loadpictures()
{
    hamstertex = new texture(hamsterjpg, hamsterjpglen, true);
    bagtex = new texture(bagjpg, bagjpglen, true);
    noisetex = new texture(noisejpg, noisejpglen, true);
    bottletex = new texture(bottlejpg, bottlejpglen, true);
    snapshottex = new texture(snapshotjpg, snapshotjpglen, true);
    glowtex = new texture(glowjpg, glowjpglen, true);
}

void demo::makeobjects()
{
    scenes[0] = new gyrotube;
    blurrer = new radialblur;
    lamp = new light(0, 0, 2);
}

void demo::init()
{
    blur = true;
    // Every picture is decoded and mip-mapped before the music is opened.
    loadpictures();

    // Binary: in text mode Windows' C library would turn CR LF byte pairs
    // of the stream into LF and end it at the first 0x1A.
    musicfile = std::fopen(sound::soundtrack, "rb");
    if (!musicfile)
        fail((std::string("fuck, fikk ikke \xE5pnet ikke ") + sound::soundtrack + ".").c_str());
    if (ov_open(musicfile, &music, nullptr, 0) != 0)
        fail("fuck, problemer med vorbisfile \\: ");
    if (!sound::opendsp())
        fail(sound::failure);

    // The music thread is never joined (detached): it ends with the
    // soundtrack, a lost device or the process. Without it the clock would
    // stay at 0 and the show on black: no music is a sound failure.
    pthread_t thread;
    if (pthread_create(&thread, nullptr, sound::play, nullptr) != 0)
        fail(sound::failure);
    pthread_detach(thread);

    makeobjects();
    usleep(1000);
    time = 0;
    sound::resetclock();
}

// A sound device lost during the show (sound::lost, set by the thread that
// feeds it) ends the show as a start-up failure does, before its clock,
// which no longer moves, could hold the picture.
bool demo::step()
{
    if (sound::lost())
        fail(sound::failure);
    frame();
    SDL_Event event;
    while (SDL_PollEvent(&event))
        if (event.type == SDL_QUIT)
            done = true;
    if (SDL_GetKeyState(nullptr)[SDLK_ESCAPE])
        done = true;
    return done;
}

void demo::run()
{
    done = false;
    do
        step();
    while (!done);
    std::printf("zOT!");
    quit();
}

void demo::quit()
{
    if (w) {
        delete w;
        w = nullptr;
    }
    for (scene* s : scenes)
        delete s;
    std::exit(0);
}
