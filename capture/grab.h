// The picture the show presents, read back at the moment it is presented.
//
// A program that links grab.cpp takes SDL_GL_SwapBuffers for itself: each
// of the show's swaps first reads the back buffer (after the swap its
// contents are undefined), then hands on to SDL. Main thread only.
#pragma once

namespace capture {

// The last presented frame: 640x480 RGB, three bytes a pixel, rows from
// the bottom up. All zero before the first swap.
const unsigned char* presented();

}
