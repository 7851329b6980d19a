// Keyboard and joysticks on SDL2.
#include "port/input.h"

#include <SDL.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace port {
namespace {

struct ScanCodePair {
  uint8_t scanCode;
  SDL_Scancode sdl;
};

// Classic PC scan codes (0x80 set for the E0-prefixed keys) to the USB key
// positions SDL reports. Positions, not characters: "Z" is the key left of X.
constexpr ScanCodePair kScanCodes[] = {
    {0x01, SDL_SCANCODE_ESCAPE},
    {0x02, SDL_SCANCODE_1},
    {0x03, SDL_SCANCODE_2},
    {0x04, SDL_SCANCODE_3},
    {0x05, SDL_SCANCODE_4},
    {0x06, SDL_SCANCODE_5},
    {0x07, SDL_SCANCODE_6},
    {0x08, SDL_SCANCODE_7},
    {0x09, SDL_SCANCODE_8},
    {0x0A, SDL_SCANCODE_9},
    {0x0B, SDL_SCANCODE_0},
    {0x0C, SDL_SCANCODE_MINUS},
    {0x0D, SDL_SCANCODE_EQUALS},
    {0x0E, SDL_SCANCODE_BACKSPACE},
    {0x0F, SDL_SCANCODE_TAB},
    {0x10, SDL_SCANCODE_Q},
    {0x11, SDL_SCANCODE_W},
    {0x12, SDL_SCANCODE_E},
    {0x13, SDL_SCANCODE_R},
    {0x14, SDL_SCANCODE_T},
    {0x15, SDL_SCANCODE_Y},
    {0x16, SDL_SCANCODE_U},
    {0x17, SDL_SCANCODE_I},
    {0x18, SDL_SCANCODE_O},
    {0x19, SDL_SCANCODE_P},
    {0x1A, SDL_SCANCODE_LEFTBRACKET},
    {0x1B, SDL_SCANCODE_RIGHTBRACKET},
    {0x1C, SDL_SCANCODE_RETURN},
    {0x1D, SDL_SCANCODE_LCTRL},
    {0x1E, SDL_SCANCODE_A},
    {0x1F, SDL_SCANCODE_S},
    {0x20, SDL_SCANCODE_D},
    {0x21, SDL_SCANCODE_F},
    {0x22, SDL_SCANCODE_G},
    {0x23, SDL_SCANCODE_H},
    {0x24, SDL_SCANCODE_J},
    {0x25, SDL_SCANCODE_K},
    {0x26, SDL_SCANCODE_L},
    {0x27, SDL_SCANCODE_SEMICOLON},
    {0x28, SDL_SCANCODE_APOSTROPHE},
    {0x29, SDL_SCANCODE_GRAVE},
    {0x2A, SDL_SCANCODE_LSHIFT},
    {0x2B, SDL_SCANCODE_BACKSLASH},
    {0x2C, SDL_SCANCODE_Z},
    {0x2D, SDL_SCANCODE_X},
    {0x2E, SDL_SCANCODE_C},
    {0x2F, SDL_SCANCODE_V},
    {0x30, SDL_SCANCODE_B},
    {0x31, SDL_SCANCODE_N},
    {0x32, SDL_SCANCODE_M},
    {0x33, SDL_SCANCODE_COMMA},
    {0x34, SDL_SCANCODE_PERIOD},
    {0x35, SDL_SCANCODE_SLASH},
    {0x36, SDL_SCANCODE_RSHIFT},
    {0x37, SDL_SCANCODE_KP_MULTIPLY},
    {0x38, SDL_SCANCODE_LALT},
    {0x39, SDL_SCANCODE_SPACE},
    {0x3A, SDL_SCANCODE_CAPSLOCK},
    {0x3B, SDL_SCANCODE_F1},
    {0x3C, SDL_SCANCODE_F2},
    {0x3D, SDL_SCANCODE_F3},
    {0x3E, SDL_SCANCODE_F4},
    {0x3F, SDL_SCANCODE_F5},
    {0x40, SDL_SCANCODE_F6},
    {0x41, SDL_SCANCODE_F7},
    {0x42, SDL_SCANCODE_F8},
    {0x43, SDL_SCANCODE_F9},
    {0x44, SDL_SCANCODE_F10},
    {0x45, SDL_SCANCODE_NUMLOCKCLEAR},
    {0x46, SDL_SCANCODE_SCROLLLOCK},
    {0x47, SDL_SCANCODE_KP_7},
    {0x48, SDL_SCANCODE_KP_8},
    {0x49, SDL_SCANCODE_KP_9},
    {0x4A, SDL_SCANCODE_KP_MINUS},
    {0x4B, SDL_SCANCODE_KP_4},
    {0x4C, SDL_SCANCODE_KP_5},
    {0x4D, SDL_SCANCODE_KP_6},
    {0x4E, SDL_SCANCODE_KP_PLUS},
    {0x4F, SDL_SCANCODE_KP_1},
    {0x50, SDL_SCANCODE_KP_2},
    {0x51, SDL_SCANCODE_KP_3},
    {0x52, SDL_SCANCODE_KP_0},
    {0x53, SDL_SCANCODE_KP_PERIOD},
    {0x56, SDL_SCANCODE_NONUSBACKSLASH},
    {0x57, SDL_SCANCODE_F11},
    {0x58, SDL_SCANCODE_F12},
    {0x64, SDL_SCANCODE_F13},
    {0x65, SDL_SCANCODE_F14},
    {0x66, SDL_SCANCODE_F15},
    {0x70, SDL_SCANCODE_INTERNATIONAL2},
    {0x73, SDL_SCANCODE_INTERNATIONAL1},
    {0x79, SDL_SCANCODE_INTERNATIONAL4},
    {0x7B, SDL_SCANCODE_INTERNATIONAL5},
    {0x7D, SDL_SCANCODE_INTERNATIONAL3},
    {0x8D, SDL_SCANCODE_KP_EQUALS},
    {0x90, SDL_SCANCODE_AUDIOPREV},
    {0x99, SDL_SCANCODE_AUDIONEXT},
    {0x9C, SDL_SCANCODE_KP_ENTER},
    {0x9D, SDL_SCANCODE_RCTRL},
    {0xA0, SDL_SCANCODE_AUDIOMUTE},
    {0xA1, SDL_SCANCODE_CALCULATOR},
    {0xA2, SDL_SCANCODE_AUDIOPLAY},
    {0xA4, SDL_SCANCODE_AUDIOSTOP},
    {0xAE, SDL_SCANCODE_VOLUMEDOWN},
    {0xB0, SDL_SCANCODE_VOLUMEUP},
    {0xB2, SDL_SCANCODE_AC_HOME},
    {0xB3, SDL_SCANCODE_KP_COMMA},
    {0xB5, SDL_SCANCODE_KP_DIVIDE},
    {0xB7, SDL_SCANCODE_PRINTSCREEN},
    {0xB8, SDL_SCANCODE_RALT},
    {0xC5, SDL_SCANCODE_PAUSE},
    {0xC7, SDL_SCANCODE_HOME},
    {0xC8, SDL_SCANCODE_UP},
    {0xC9, SDL_SCANCODE_PAGEUP},
    {0xCB, SDL_SCANCODE_LEFT},
    {0xCD, SDL_SCANCODE_RIGHT},
    {0xCF, SDL_SCANCODE_END},
    {0xD0, SDL_SCANCODE_DOWN},
    {0xD1, SDL_SCANCODE_PAGEDOWN},
    {0xD2, SDL_SCANCODE_INSERT},
    {0xD3, SDL_SCANCODE_DELETE},
    {0xDB, SDL_SCANCODE_LGUI},
    {0xDC, SDL_SCANCODE_RGUI},
    {0xDD, SDL_SCANCODE_APPLICATION},
    {0xDE, SDL_SCANCODE_POWER},
    {0xDF, SDL_SCANCODE_SLEEP},
    {0xE5, SDL_SCANCODE_AC_SEARCH},
    {0xE6, SDL_SCANCODE_AC_BOOKMARKS},
    {0xE7, SDL_SCANCODE_AC_REFRESH},
    {0xE8, SDL_SCANCODE_AC_STOP},
    {0xE9, SDL_SCANCODE_AC_FORWARD},
    {0xEA, SDL_SCANCODE_AC_BACK},
    {0xEB, SDL_SCANCODE_COMPUTER},
    {0xEC, SDL_SCANCODE_MAIL},
    {0xED, SDL_SCANCODE_MEDIASELECT},
};

std::array<SDL_Scancode, kKeyCount> BuildScanCodeTable() {
  std::array<SDL_Scancode, kKeyCount> table{};
  table.fill(SDL_SCANCODE_UNKNOWN);
  for (const ScanCodePair& p : kScanCodes) table[p.scanCode] = p.sdl;
  return table;
}

const std::array<SDL_Scancode, kKeyCount>& ScanCodeTable() {
  static const std::array<SDL_Scancode, kKeyCount> table = BuildScanCodeTable();
  return table;
}

std::array<uint8_t, kKeyCount> g_testKeys{};

// The device paths tests gave their virtual joysticks, by instance; SDL gives
// them none.
std::map<SDL_JoystickID, std::string> g_virtualPaths;

SDL_Joystick* OpenedVirtualPad(int index) {
  if (index < 0 || index >= SDL_NumJoysticks()) return nullptr;
  return SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
}

}  // namespace

// A pad stands for one device for the whole run. Unplugged, it lets go of
// its joystick and keeps what identifies the device: SDL's GUID (bus, maker,
// model) and the device's path where the driver gives one (a virtual
// joystick has only the one its test gave it).
class Pad {
 public:
  SDL_Joystick* joystick = nullptr;  // null while unplugged
  SDL_JoystickID instance = -1;
  SDL_JoystickGUID guid{};
  std::string path;
  SDL_JoystickID refused = -1;  // a device that failed to open for this pad
};

namespace {

bool SameGuid(const SDL_JoystickGUID& a, const SDL_JoystickGUID& b) {
  return std::memcmp(a.data, b.data, sizeof a.data) == 0;
}

std::string PathOf(int index) {
  if (const char* path = SDL_JoystickPathForIndex(index)) return path;
  const auto given = g_virtualPaths.find(SDL_JoystickGetDeviceInstanceID(index));
  return given == g_virtualPaths.end() ? "" : given->second;
}

// Opens device index into the pad and records who it is.
bool Take(Pad* pad, int index) {
  SDL_Joystick* j = SDL_JoystickOpen(index);
  if (!j) return false;
  pad->joystick = j;
  pad->instance = SDL_JoystickInstanceID(j);
  pad->guid = SDL_JoystickGetGUID(j);
  pad->path = PathOf(index);
  return true;
}

bool HeldByAny(Pad* const* pads, int count, SDL_JoystickID instance) {
  for (int p = 0; p < count; ++p)
    if (pads[p] && pads[p]->joystick && pads[p]->instance == instance) return true;
  return false;
}

bool Refused(Pad* const* pads, int count, SDL_JoystickID instance) {
  for (int p = 0; p < count; ++p)
    if (pads[p] && pads[p]->refused == instance) return true;
  return false;
}

// Device index of an attached device no pad holds that can be the pad's own:
// the same GUID, and the same path too when samePath is set; the first in
// enumeration order. -1 when there is none.
int FindReturning(Pad* const* pads, int count, const Pad* pad, bool samePath) {
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id < 0 || id == pad->refused || HeldByAny(pads, count, id)) continue;
    if (!SameGuid(SDL_JoystickGetDeviceGUID(i), pad->guid)) continue;
    if (samePath && PathOf(i) != pad->path) continue;
    return i;
  }
  return -1;
}

}  // namespace

bool StartInput() {
  // Pads are read while the window is in the background too.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

void StopInput() {
  if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  // The last stop: the virtual joysticks went with the subsystem.
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) g_virtualPaths.clear();
}

int ScanCodeToSdlScancode(int scanCode) {
  if (scanCode < 0 || scanCode >= kKeyCount) return SDL_SCANCODE_UNKNOWN;
  return ScanCodeTable()[scanCode];
}

void ReadKeyboardState(uint8_t state[kKeyCount]) {
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  const auto& table = ScanCodeTable();
  for (int i = 0; i < kKeyCount; ++i) {
    const int sdl = table[i];
    const bool down =
        (sdl != SDL_SCANCODE_UNKNOWN && keys && sdl < count && keys[sdl]) || g_testKeys[i];
    state[i] = down ? 0x80 : 0;
  }
}

void SetTestKey(int scanCode, bool down) {
  if (scanCode >= 0 && scanCode < kKeyCount) g_testKeys[scanCode] = down ? 1 : 0;
}

void ClearTestKeys() { g_testKeys.fill(0); }

int AttachedPadCount() {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return 0;
  const int n = SDL_NumJoysticks();
  return n < 0 ? 0 : n;
}

Pad* OpenPad(int index) {
  Pad* pad = new Pad;
  if (!Take(pad, index)) {
    delete pad;
    return nullptr;
  }
  return pad;
}

void ClosePad(Pad* pad) {
  if (!pad) return;
  // Once the subsystem is shut down SDL has closed and freed its joysticks.
  if (pad->joystick && SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickClose(pad->joystick);
  delete pad;
}

int PadAxisCount(const Pad* pad) {
  if (!pad || !pad->joystick) return 0;
  const int n = SDL_JoystickNumAxes(pad->joystick);
  return n < 0 ? 0 : n;
}

bool IsPadAttached(const Pad* pad) {
  return pad && pad->joystick && SDL_WasInit(SDL_INIT_JOYSTICK) &&
         SDL_JoystickGetAttached(pad->joystick);
}

void WatchPads(PadWatch* watch) {
  if (!watch || !SDL_WasInit(SDL_INIT_JOYSTICK)) return;
  // SDL numbers devices in the order they arrive and never reuses a number.
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id > watch->newestSeen) watch->newestSeen = id;
  }
}

// Which device plugged back in is which pad: a device is a pad's own when
// SDL gives it the pad's GUID. Among several pads of one GUID, a device on
// the pad's old path goes back to that pad first; the rest go back in order,
// the first device in SDL's enumeration to the lowest pad. Two pads of one
// model without paths can thus swap places when plugged back the other way
// round; nothing SDL gives tells them apart.
void RefreshPads(Pad* const* pads, int count, PadWatch* watch) {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return;
  SDL_JoystickUpdate();
  bool vacant = false;
  for (int p = 0; p < count; ++p) {
    Pad* pad = pads[p];
    if (!pad) continue;
    if (pad->joystick && !SDL_JoystickGetAttached(pad->joystick)) {
      SDL_JoystickClose(pad->joystick);
      pad->joystick = nullptr;
      pad->instance = -1;
    }
    vacant = vacant || !pad->joystick;
  }
  for (int pass = 0; vacant && pass < 2; ++pass) {
    const bool samePath = pass == 0;
    for (int p = 0; p < count; ++p) {
      Pad* pad = pads[p];
      if (!pad || pad->joystick || (samePath && pad->path.empty())) continue;
      const int index = FindReturning(pads, count, pad, samePath);
      if (index < 0) continue;
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
      if (Take(pad, index)) continue;
      // Not tried again: a device that fails once would fail every frame.
      pad->refused = id;
      const char* name = SDL_JoystickNameForIndex(index);
      std::fprintf(stderr, "joystick \"%s\" plugged back in not used: %s\n", name ? name : "",
                   SDL_GetError());
    }
  }
  if (!watch) return;
  const int n = SDL_NumJoysticks();
  SDL_JoystickID newest = watch->newestSeen;
  for (int i = 0; i < n; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id <= watch->newestSeen) continue;
    if (id > newest) newest = id;
    if (HeldByAny(pads, count, id) || Refused(pads, count, id)) continue;
    const char* name = SDL_JoystickNameForIndex(i);
    std::fprintf(stderr, "joystick \"%s\" plugged in after the start not used\n", name ? name : "");
  }
  watch->newestSeen = newest;
}

int32_t ScalePadAxis(int raw) {
  long v = std::lround(raw * 1000.0 / 32767.0);
  if (v > kPadAxisMax) v = kPadAxisMax;
  if (v < -kPadAxisMax) v = -kPadAxisMax;
  return static_cast<int32_t>(v);
}

bool ReadPad(Pad* pad, PadState* state) {
  *state = PadState{};
  if (!IsPadAttached(pad)) return false;
  const int axes = SDL_JoystickNumAxes(pad->joystick);
  if (axes > 0) state->x = ScalePadAxis(SDL_JoystickGetAxis(pad->joystick, 0));
  if (axes > 1) state->y = ScalePadAxis(SDL_JoystickGetAxis(pad->joystick, 1));
  int buttons = SDL_JoystickNumButtons(pad->joystick);
  if (buttons > kPadButtonCount) buttons = kPadButtonCount;
  for (int b = 0; b < buttons; ++b) {
    state->buttons[b] = SDL_JoystickGetButton(pad->joystick, b) ? 0x80 : 0;
  }
  return true;
}

int AttachVirtualPad(int axes, int buttons, int model, const char* path) {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return -1;
  // The model is the product number; SDL builds the GUID of maker and
  // product only when both are set.
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = static_cast<Uint16>(axes);
  desc.nbuttons = static_cast<Uint16>(buttons);
  desc.vendor_id = static_cast<Uint16>(model ? 1 : 0);
  desc.product_id = static_cast<Uint16>(model);
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  if (index >= 0 && path && *path) g_virtualPaths[SDL_JoystickGetDeviceInstanceID(index)] = path;
  return index;
}

bool DetachVirtualPad(int index) {
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  if (SDL_JoystickDetachVirtual(index) != 0) return false;
  g_virtualPaths.erase(id);
  return true;
}

bool SetVirtualPadAxis(int index, int axis, int16_t value) {
  SDL_Joystick* j = OpenedVirtualPad(index);
  return j && SDL_JoystickSetVirtualAxis(j, axis, value) == 0;
}

bool SetVirtualPadButton(int index, int button, bool down) {
  SDL_Joystick* j = OpenedVirtualPad(index);
  return j && SDL_JoystickSetVirtualButton(j, button, down ? 1 : 0) == 0;
}

}  // namespace port
