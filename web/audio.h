// The page's side of the sound device (web/sound.cpp), for the main loop.
#pragma once

namespace webaudio {

// Whether the viewer has clicked yet and the page could make its
// AudioContext then: 0 before the click, 1 with a context, -1 without.
int state();

}
