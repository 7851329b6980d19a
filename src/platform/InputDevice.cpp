#include "platform/InputDevice.h"

#include <cstddef>

InputDevice::~InputDevice() { Release(); }

bool InputDevice::CreateDirectInput() {
  if (!directInput) directInput = port::StartInput();
  return directInput;
}

bool InputDevice::InitMouse(port::Window* window, void* instance) {
  // Opened for form's sake: the game never reads the mouse.
  if (!CreateDirectInput()) return false;
  mouse = true;
  return true;
}

bool InputDevice::InitKeyboard(port::Window* window, void* instance) {
  if (!CreateDirectInput()) return false;
  keyboard = true;
  return true;
}

bool InputDevice::InitJoysticks(port::Window* window, void* instance,
                                PadDeviceCallback deviceCallback, PadAxisCallback axisCallback) {
  if (!CreateDirectInput() || !deviceCallback || !axisCallback) {
    padsPresent = 0;
    return false;
  }
  const int attached = port::AttachedPadCount();
  for (int i = 0; i < attached; ++i) {
    PadDeviceInstance device;
    device.index = i;
    if (deviceCallback(&device, this) == kEnumStop) break;
  }
  if (pads.empty()) {
    padsPresent = 0;
    return false;
  }
  for (std::size_t p = 0; p < pads.size(); ++p) {
    const int axes = port::PadAxisCount(pads[p]);
    for (int a = 0; a < axes; ++a) {
      PadAxisInstance axis;
      axis.pad = static_cast<int>(p);
      axis.axis = a;
      if (axisCallback(&axis, this) == kEnumStop) break;
    }
  }
  port::WatchPads(&padWatch);
  padsPresent = 1;
  return true;
}

int InputDevice::OnEnumDevice(const PadDeviceInstance* device, void* context) {
  if (pads.size() >= kMaxPads) return kEnumStop;
  if (!device) return kEnumContinue;
  port::Pad* pad = port::OpenPad(device->index);
  if (!pad) return kEnumContinue;
  lastPadCaps.axes = port::PadAxisCount(pad);
  pads.push_back(pad);
  padStates.push_back(port::PadState{});
  return kEnumContinue;
}

int InputDevice::OnEnumAxis(const PadAxisInstance* axis, void* context) {
  // Every pad reads -1000..1000 already; there is no per-axis range to set.
  return kEnumContinue;
}

bool InputDevice::PollKeyboard() {
  // Without a keyboard the state stays zero: no key is ever down.
  if (!keyboard) return false;
  port::ReadKeyboardState(keyState);
  return true;
}

bool InputDevice::IsKeyDown(int code) const {
  if (code < 0 || code >= port::kKeyCount) return false;
  return (keyState[code] & 0x80) != 0;
}

bool InputDevice::PollJoysticks() {
  if (!padsPresent) return false;
  // A pad plugged back in serves its player again; an unplugged one reads as
  // released, and the others are still read, so nobody is left holding a
  // direction.
  port::RefreshPads(pads.data(), static_cast<int>(pads.size()), &padWatch);
  bool allRead = true;
  for (std::size_t p = 0; p < pads.size() && p < padStates.size(); ++p) {
    if (!port::ReadPad(pads[p], &padStates[p])) allRead = false;
  }
  return allRead;
}

int InputDevice::GetPadCount() const {
  if (!padsPresent) return 0;
  int attached = 0;
  for (const port::Pad* pad : pads) attached += port::IsPadAttached(pad) ? 1 : 0;
  return attached;
}

int InputDevice::GetPadSlotCount() const { return padsPresent ? static_cast<int>(pads.size()) : 0; }

bool InputDevice::IsPadPluggedIn(int pad) const {
  return pad >= 0 && pad < GetPadSlotCount() && port::IsPadAttached(pads[pad]);
}

bool InputDevice::IsPadDirection(int pad, int direction) const {
  if (!padsPresent || padStates.empty()) return false;
  if (pad < 0 || pad >= static_cast<int>(padStates.size())) return false;
  const port::PadState& s = padStates[pad];
  switch (direction) {
    case kPadUp:
      return s.y < -999;
    case kPadDown:
      return s.y >= 1000;
    case kPadLeft:
      return s.x < -999;
    case kPadRight:
      return s.x >= 1000;
    default:
      return false;
  }
}

bool InputDevice::IsPadButton(int pad, int button) const {
  if (!padsPresent || padStates.empty()) return false;
  if (pad < 0 || pad >= static_cast<int>(padStates.size())) return false;
  // Button numbers come from the option file unchecked.
  if (button < 0 || button >= port::kPadButtonCount) return false;
  return (padStates[pad].buttons[button] & 0x80) != 0;
}

void InputDevice::Release() {
  mouse = false;
  keyboard = false;
  for (port::Pad* pad : pads) port::ClosePad(pad);
  pads.clear();
  padStates.clear();
  if (directInput) {
    port::StopInput();
    directInput = false;
  }
}
