#pragma once
// Data paths as the game writes them ("Xfile\\Player\\stop.X") mapped onto the
// file system: '\\' becomes '/', repeated separators collapse, and each
// component that does not exist as written is matched case-insensitively
// against its directory.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "port/file.h"

namespace port {

// The existing path the data path names, or the normalised path when no
// file matches (so creating a file still goes where the path says).
std::string ResolvePath(std::string_view path);

// Reads a whole file through ResolvePath. False when it is no regular file
// (a pipe, folder or device answers at once, as a missing file does), cannot
// be read, or is larger than maxBytes.
bool ReadFileBytes(std::string_view path, std::vector<uint8_t>* out,
                   uint64_t maxBytes = uint64_t{1} << 30);

// The same with the limit of a kind of game file (kFileLimits); a file over it
// is refused with one line on standard error.
bool ReadGameFile(std::string_view path, std::vector<uint8_t>* out, FileKind kind);

}  // namespace port
