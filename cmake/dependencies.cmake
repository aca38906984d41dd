# The libraries the show links against, found once for the show's own build
# and for the benchmark programs built against its library. Sets
# SDL_INCLUDE and SHOW_LIBRARIES.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbis ogg)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(JPEG REQUIRED)
find_package(Threads REQUIRED)
# SDL 1.2: the classic headers; the library may be classic SDL or
# sdl12-compat, chosen at run time.
find_path(SDL_INCLUDE SDL/SDL.h REQUIRED)
find_library(SDL_LIBRARY NAMES SDL-1.2 libSDL-1.2.so.0 SDL REQUIRED)
find_library(GLU_LIBRARY GLU REQUIRED)

set(SHOW_LIBRARIES
  ${SDL_LIBRARY} OpenGL::GL ${GLU_LIBRARY} JPEG::JPEG PkgConfig::VORBIS
  PkgConfig::ALSA Threads::Threads m)
