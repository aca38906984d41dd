# The show's own sources, one list for every platform: the timeline, the
# frame, the window, the decoder and clock, JPEG decoding and textures, the
# drawing pieces and the scene base. Each build adds its platform's sound
# device (sound/device.cpp with OSS and ALSA natively, web/ and win/ theirs),
# the tube scene (an object module of its own natively) and its entry point.
# Included after pictures.cmake, whose PICTURES_SOURCE it holds.
get_filename_component(SHOW_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(SHOW_SOURCES
  ${SHOW_ROOT}/demo/demo.cpp
  ${SHOW_ROOT}/demo/frame.cpp
  ${SHOW_ROOT}/demo/timeline.cpp
  ${SHOW_ROOT}/display/window.cpp
  ${SHOW_ROOT}/sound/music.cpp
  ${SHOW_ROOT}/sound/clock.cpp
  ${SHOW_ROOT}/sound/lost.cpp
  ${SHOW_ROOT}/image/jpeg.cpp
  ${SHOW_ROOT}/image/texture.cpp
  ${PICTURES_SOURCE}
  ${SHOW_ROOT}/fx/draw.cpp
  ${SHOW_ROOT}/fx/light.cpp
  ${SHOW_ROOT}/fx/radialblur.cpp
  ${SHOW_ROOT}/scenes/scene.cpp)
