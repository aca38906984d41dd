/* Linked into every program of the ASan stage (tests/stages/20-asan.sh),
 * never into the show itself: a dlclose that unloads nothing.
 *
 * SDL_Quit closes the GL library, which closes Mesa's driver. Blocks that
 * the driver still holds then outlive the code that knows them, and when
 * LeakSanitizer walks the heap at exit their allocation stacks point into
 * an address range that is no longer mapped, or that another library has
 * taken since: "<unknown module>", which no suppression can name, and
 * which appears or not depending on what the machine's driver does.
 * With every library kept until the process ends, such a block is either
 * still reachable from the library's globals or reported with the
 * library's own name, which lsan.supp can list.
 *
 * A definition in the executable comes first in the global symbol lookup,
 * so the dlclose calls of every shared library (libSDL, libGL, libGLX_mesa,
 * ALSA's plugins) reach this one, ahead of libc's and of ASan's own. The
 * handle stays valid: the loader never learns that it was closed. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
