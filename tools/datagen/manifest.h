#pragma once
// Every data path the game reads, with what the data set must put there.
// The generator writes each entry; the tests check the run folder and the
// game's sources against this table.
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

enum class DataKind {
  SkinnedModel,  // frame tree, skinned mesh and its own stop set
  Animation,     // exactly one AnimationSet
  StaticMesh,
  FieldMesh,  // ground, round or collision mesh of a field
  Texture,
  Sound,
  Music,
  Placement,
  Effect,
};

struct ManifestEntry {
  std::string path;
  DataKind kind;
};

// How a character moves in one animation file.
enum class Motion {
  Idle,
  Walk,
  Run,
  SideWalk,
  Attack,
  AttackLeft,
  AttackBoth,
  Throw,
  Spin,
  Damage,
  Jump,
  TimeUp,
  Fall,
  Cheer,
  Dizzy,
  Pose,
  Pause,
  Levy,
  Roar,  // the bosses' entrance: Levy's arms, standing on the ground
  StepRight,
  StepLeft,
  JumpDash,
  Blow,
  Stomp,
  Cast,
  AttackHold,
  DamageHold,
  SpinHold,
};

struct AnimFile {
  std::string name;  // file name inside the character's folder
  int length;        // last key time, in frames
  Motion motion;
};

// A character's folder and its files in track order; files[0] is "stop.X",
// the model itself, whose own set is track 0.
struct CharacterFiles {
  std::string folder;  // "Xfile/zako2/"
  std::vector<AnimFile> files;
  // Further animation files in the folder that are not tracks of the
  // character's own class (the select pose, the stage-only time-up).
  std::vector<AnimFile> extras;
};

// The eighteen frames every skeleton carries, in the order the actors look
// them up (lower body then upper body).
const std::vector<std::string>& BodyFrameNames();

const std::vector<CharacterFiles>& Characters();

// A rectangle of a texture that the game draws on its own (left, top,
// right, bottom; right and bottom exclusive).
struct UiRect {
  int id;  // sprite id, or -1 for rectangles the scenes draw directly
  int left, top, right, bottom;
  const char* label;  // what the picture says (UTF-8)
};

struct UiSheet {
  std::string path;
  int width, height;
  std::vector<UiRect> rects;
};

const std::vector<UiSheet>& UiSheets();

const std::vector<ManifestEntry>& Manifest();

bool InManifest(std::string_view path);

// Whether a data path written in the game's code names something the data
// set holds: a plain path must be an entry; a folder ("Xfile/player/") must
// hold an entry; printf conversions (%d, %s, %02d) match any run of
// characters of an entry.
bool ManifestCovers(std::string_view codePath);

}  // namespace datagen
