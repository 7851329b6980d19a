// Makes the objects the system libraries make for the game (a surface of
// rendered text, a loaded music) and loses one of them, so a sanitizer run
// shows whether LeakSanitizer still reports it with the suppressions of
// tools/lsan.supp on. "none" frees both: then nothing may be reported.
//   pomelvane_lsan_probe none|text|music FONT SOUNDFONT
// Exits 77 when the objects cannot be made here (no font, no sound font).
#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstring>

namespace {

// A Standard MIDI File: one note.
constexpr unsigned char kMidi[] = {
    'M', 'T',  'h', 'd', 0,  0,    0,  6,  0, 0,    0,    1, 0, 96,  // format 0, one track
    'M', 'T',  'r', 'k', 0,  0,    0,  12,                           // the track
    0,   0x90, 60,  64,  96, 0x80, 60, 64, 0, 0xFF, 0x2F, 0,         // note on, off, end
};

// Makes both objects and frees those `mode` does not lose; 77 when they
// cannot be made.
__attribute__((noinline)) int MakeAndLose(const char* mode, TTF_Font* font) {
  SDL_Surface* text = TTF_RenderUTF8_Blended(font, "Pomelvane", SDL_Color{255, 255, 255, 255});
  Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(kMidi, sizeof kMidi), MUS_MID, 1);
  if (!text || !music) {
    std::fprintf(stderr, "lsan probe: cannot make the %s: %s\n", text ? "music" : "text",
                 SDL_GetError());
    return 77;
  }
  if (std::strcmp(mode, "text") != 0) SDL_FreeSurface(text);
  if (std::strcmp(mode, "music") != 0) Mix_FreeMusic(music);
  return 0;
}

// Clears the stack below the caller, where the lost pointers may still
// stand and would count as references at the exit check.
__attribute__((noinline)) void ClearStack() {
  volatile char bytes[256 * 1024];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "none") != 0 && std::strcmp(argv[1], "text") != 0 &&
                    std::strcmp(argv[1], "music") != 0)) {
    std::fprintf(stderr, "usage: %s none|text|music FONT SOUNDFONT\n", argv[0]);
    return 2;
  }
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || TTF_Init() != 0 ||
      Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
    std::fprintf(stderr, "lsan probe: no audio or fonts: %s\n", SDL_GetError());
    return 77;
  }
  Mix_SetSoundFonts(argv[3]);
  TTF_Font* font = TTF_OpenFont(argv[2], 24);
  if (!font) {
    std::fprintf(stderr, "lsan probe: cannot open %s\n", argv[2]);
    return 77;
  }
  const int status = MakeAndLose(argv[1], font);
  ClearStack();
  TTF_CloseFont(font);
  TTF_Quit();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_Quit();
  return status;
}
