#pragma once
// Keyboard and joysticks. Keys are addressed by the classic PC scan codes
// (the DIK_ numbering: Escape 0x01, Z 0x2C, up 0xC8, ...), which name physical
// key positions, so the game's keys sit in the same place on every layout.
// Joystick axes read -1000..1000 and buttons 0..127, bit 7 = down.
#include <cstdint>

namespace port {

constexpr int kKeyCount = 256;
constexpr int kPadButtonCount = 128;
constexpr int32_t kPadAxisMax = 1000;

// The keys the game reads, by scan code.
constexpr int kKeyEscape = 0x01;
constexpr int kKeyZ = 0x2C;
constexpr int kKeyX = 0x2D;
constexpr int kKeyC = 0x2E;
constexpr int kKeyF1 = 0x3B;
constexpr int kKeyF12 = 0x58;
constexpr int kKeyUp = 0xC8;
constexpr int kKeyLeft = 0xCB;
constexpr int kKeyRight = 0xCD;
constexpr int kKeyDown = 0xD0;

// Starts and stops the input subsystem; reference counted, so every
// successful StartInput needs one StopInput.
bool StartInput();
void StopInput();

// Fills state[0..255] by scan code, 0x80 for a key held down. Reads what the
// last event pump saw; keys forced by SetTestKey are added.
void ReadKeyboardState(uint8_t state[kKeyCount]);

// The SDL scancode of a scan code, 0 when the key has none.
int ScanCodeToSdlScancode(int scanCode);

// Test seam: forces a key down (or releases the force) on top of the real state.
void SetTestKey(int scanCode, bool down);
void ClearTestKeys();

// Joysticks.
class Pad;

struct PadState {
  int32_t x = 0;  // axis 0, -1000 left .. 1000 right
  int32_t y = 0;  // axis 1, -1000 up .. 1000 down
  uint8_t buttons[kPadButtonCount] = {};
};

// Joysticks attached now, in enumeration order.
int AttachedPadCount();
// Opens attached joystick number index; null on failure. The pad remembers
// which device it is, so that it can take that device up again after it was
// unplugged (RefreshPads).
Pad* OpenPad(int index);
void ClosePad(Pad* pad);
int PadAxisCount(const Pad* pad);
// Whether the pad's device is plugged in (and taken up) now.
bool IsPadAttached(const Pad* pad);

// What the owner of a set of pads remembers between two refreshes.
struct PadWatch {
  int32_t newestSeen = -1;  // the newest device already looked at
};
// Marks the devices attached now as seen: called once the start's pads are
// open, so that only a device plugged in later is reported.
void WatchPads(PadWatch* watch);
// Reads the joysticks anew. A pad whose device was unplugged lets it go; a
// device plugged back in is taken up again by the pad it was before. A device
// that was never one of the pads stays unused, said once on standard error.
void RefreshPads(Pad* const* pads, int count, PadWatch* watch);
// Reads the pad's current state as of the last RefreshPads. False, with a
// zero state, when the pad's device is unplugged.
bool ReadPad(Pad* pad, PadState* state);

// Scales a raw axis value (-32768..32767) to -1000..1000; both ends reach
// +-1000 exactly.
int32_t ScalePadAxis(int raw);

// Test seam: virtual joysticks. Attach returns the new joystick's index for
// OpenPad, or -1; pads of different models tell themselves apart as real
// ones do, pads of one model by the device path given here (as a real
// device's, read from the driver), else only by their order. The setters act
// on the next ReadPad of an opened pad.
int AttachVirtualPad(int axes, int buttons, int model = 0, const char* path = nullptr);
bool DetachVirtualPad(int index);
bool SetVirtualPadAxis(int index, int axis, int16_t value);
bool SetVirtualPadButton(int index, int button, bool down);

}  // namespace port
