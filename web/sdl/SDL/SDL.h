/* Emscripten's SDL, plus the one SDL 1.2 call its headers leave out.
 *
 * Its JavaScript SDL implements SDL_GetKeyState (the keyboard state
 * array, indexed by key code: Escape is 27) without declaring it. This
 * folder comes first on the web build's include path.
 */
#ifndef WEB_SDL_SDL_H
#define WEB_SDL_SDL_H

#include_next <SDL/SDL.h>

#ifdef __cplusplus
extern "C" {
#endif

Uint8* SDL_GetKeyState(int* numkeys);

#ifdef __cplusplus
}
#endif

#endif
