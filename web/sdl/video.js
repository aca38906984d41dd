// Emscripten's SDL makes the screen surface even when the page gets no
// WebGL context, and the first GL call then throws. Here a GL screen
// without a context is refused: SDL_SetVideoMode returns NULL and the show
// says "Eeek, kunne ikke sette 640x480", as it does natively when the GL
// mode is refused. The GL screen's WebGL context has no alpha channel
// whatever the program asks: the GL layer leaves out draws that would
// change only alpha (web/gl/batch.cpp), and a canvas with alpha would let
// the page show through where the show leaves alpha below 1.
mergeInto(LibraryManager.library, {
  webvideo__deps: ['$SDL'],
  webvideo__postset: '_webvideo();',
  webvideo: function () {
    var make = SDL.makeSurface;
    SDL.makeSurface = function (width, height, flags) {
      SDL.glAttributes[3] = 0;   // SDL_GL_ALPHA_SIZE: the context's alpha
      var surface = make.apply(SDL, arguments);
      return (flags & 0x04000000) && !Module.ctx ? 0 : surface;   // SDL_OPENGL
    };
  },
});
