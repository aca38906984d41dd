// Threads in the page. Without cross-origin isolation a page has no shared
// memory, so no second thread: a thread body runs to its end inside
// pthread_create. The show's one thread, the music decoder, ends with the
// soundtrack; the sound device (web/sound.cpp) keeps what it wrote, and
// gives the page turns of its own while it decodes, so the page is not
// frozen meanwhile.
#include <pthread.h>

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t*, void* (*body)(void*),
                              void* argument)
{
    *thread = 0;
    body(argument);
    return 0;
}
