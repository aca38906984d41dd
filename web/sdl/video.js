// Emscripten's SDL makes the screen surface even when the page gets no
// WebGL context, and the first GL call then throws. Here a GL screen
// without a context is refused: SDL_SetVideoMode returns NULL and the show
// says "Eeek, kunne ikke sette 640x480", as it does natively when the GL
// mode is refused.
mergeInto(LibraryManager.library, {
  webvideo__deps: ['$SDL'],
  webvideo__postset: '_webvideo();',
  webvideo: function () {
    var make = SDL.makeSurface;
    SDL.makeSurface = function (width, height, flags) {
      var surface = make.apply(SDL, arguments);
      return (flags & 0x04000000) && !Module.ctx ? 0 : surface;   // SDL_OPENGL
    };
  },
});
