#pragma once
// Keyboard and joysticks (up to four pads), polled by whoever reads them.
#include <cstdint>
#include <vector>

#include "port/input.h"

namespace port {
class Window;
}

// Answers of the enumeration callbacks.
constexpr int kEnumStop = 0;
constexpr int kEnumContinue = 1;

// One attached joystick, as the device enumeration reports it.
struct PadDeviceInstance {
  int index = 0;  // enumeration order
};

// One axis of the pad being set up.
struct PadAxisInstance {
  int pad = 0;
  int axis = 0;
};

using PadDeviceCallback = int (*)(const PadDeviceInstance* device, void* context);
using PadAxisCallback = int (*)(const PadAxisInstance* axis, void* context);

// What was read of the pad enumerated last.
struct PadCaps {
  int axes = 0;
};

constexpr int kMaxPads = 4;

// The directions IsPadDirection reads.
constexpr int kPadUp = 0;
constexpr int kPadDown = 1;
constexpr int kPadLeft = 2;
constexpr int kPadRight = 3;

class InputDevice {
 public:
  InputDevice() = default;
  ~InputDevice();
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  bool InitMouse(port::Window* window, void* instance = nullptr);
  bool InitKeyboard(port::Window* window, void* instance = nullptr);
  bool InitJoysticks(port::Window* window, void* instance, PadDeviceCallback deviceCallback,
                     PadAxisCallback axisCallback);
  int OnEnumDevice(const PadDeviceInstance* device, void* context);
  int OnEnumAxis(const PadAxisInstance* axis, void* context);

  bool PollKeyboard();
  bool IsKeyDown(int code) const;
  bool PollJoysticks();
  // direction: kPadUp, kPadDown, kPadLeft or kPadRight; only a full deflection counts.
  bool IsPadDirection(int pad, int direction) const;
  bool IsPadButton(int pad, int button) const;
  // Pads opened by the enumeration whose device is plugged in; 0 without
  // pads. An unplugged pad keeps its number and reads as released; plugged
  // back in, it counts again from the next PollJoysticks.
  int GetPadCount() const;
  // Pads opened by the enumeration, plugged in or not: the numbers players
  // are given their pads by, so a pad taken out never hands its player's
  // pad to another.
  int GetPadSlotCount() const;
  // Whether pad number `pad` (of those opened) is plugged in now; false for
  // a number no pad has.
  bool IsPadPluggedIn(int pad) const;
  void Release();

  bool directInput = false;  // the input subsystem is started
  bool mouse = false;
  uint8_t keyState[port::kKeyCount] = {};
  bool keyboard = false;
  std::vector<port::Pad*> pads;
  PadCaps lastPadCaps;
  std::vector<port::PadState> padStates;
  uint8_t padsPresent = 0;
  port::PadWatch padWatch;

 private:
  bool CreateDirectInput();
};

extern InputDevice g_input;
