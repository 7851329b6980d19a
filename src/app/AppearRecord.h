#pragma once
// The placements of a placement file (an .arg file under AppearData): what
// stands on a field when a stage area, a boss fight or a battle begins. The
// application holds the records of the last file read
// (Application::LoadAppearData) and turns them into actors
// (Application::SpawnAppearData).
#include <cstdint>
#include <vector>

#include "actors/EnemyClasses.h"  // AppearKind

// One placement. In the file the heading comes before the kind.
struct AppearRecord {
  float x = 0.0f;
  float y = 0.0f;  // height
  float z = 0.0f;
  int32_t kind = kAppearZako1;  // an AppearKind
  float param = 0.0f;           // the players' heading in degrees; enemies face a random way
};

// The most records one file gives; a larger count reads this many.
constexpr int32_t kMaxAppearRecords = 1000;
// A coordinate or heading beyond this is no place on any field: a record
// holding one is damaged and dropped.
constexpr float kAppearFarthest = 1.0e6f;

// Reads a placement file into *records, replacing what they held: none when
// the file cannot be read; a record holding a value beyond kAppearFarthest
// (or not a number) is left out, so is one the file ends inside; at most
// kMaxAppearRecords are read. False when the file cannot be opened.
bool ReadAppearRecords(const char* path, std::vector<AppearRecord>* records);
