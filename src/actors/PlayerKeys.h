#pragma once
// The keys and pad directions the players steer with: keyboard scan codes
// (the classic PC numbering the input device reads) and pad direction numbers.
namespace keys {

constexpr int kZ = 0x2C;  // attack
constexpr int kX = 0x2D;  // shift: side step and lock-on
constexpr int kC = 0x2E;  // jump
constexpr int kUp = 0xC8;
constexpr int kDown = 0xD0;
constexpr int kLeft = 0xCB;
constexpr int kRight = 0xCD;

constexpr int kPadUp = 0;
constexpr int kPadDown = 1;
constexpr int kPadLeft = 2;
constexpr int kPadRight = 3;

}  // namespace keys
