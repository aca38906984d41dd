// The start-up and memory floor: the show's window with nothing in it.
// Opens the same 640x480 fullscreen OpenGL mode through SDL 1.2 with the
// same attributes, then clears and presents frames until SDL reports a
// quit (window closed or SIGTERM).
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>

int main()
{
    setenv("SDL_VIDEODRIVER", "x11", 0);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::printf("floor: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
    if (!SDL_SetVideoMode(640, 480, 0, SDL_OPENGL | SDL_FULLSCREEN)) {
        std::printf("floor: no 640x480 GL mode\n");
        return 1;
    }
    SDL_ShowCursor(0);
    for (bool done = false; !done;) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapBuffers();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT)
                done = true;
    }
    SDL_Quit();
    return 0;
}
