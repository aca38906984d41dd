// Short Ogg Vorbis files made by the tests themselves.
#pragma once

#include "sound/sound.h"

#include <string>
#include <vector>

// A tone of `seconds` at `rate` Hz with `channels` channels, encoded with
// libvorbisenc. The stream serial number is `serial`.
std::vector<unsigned char> makeogg(double seconds, int rate = sound::rate, int channels = 2, int serial = 1);

void writefile(const std::string& path, const std::vector<unsigned char>& bytes);

// The PCM bytes libvorbisfile decodes from `path` as 16-bit samples:
// frames x channels x 2.
long decodedbytes(const std::string& path);
