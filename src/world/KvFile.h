#pragma once
// Key=value text files (save files, placement files). The reader never
// compares keys: it skips to the next '=' and converts what follows, so the
// order of the lines is the format. One file is open at a time.
#include <cstdint>
#include <cstdio>

// The open key=value file, or null.
extern std::FILE* g_kvFile;

// Modes as the game passes them: "r..." reads (opened read-only, so a
// read-only install still reads; anything but a regular file, or a file over
// the key=value limit of port/file.h, reads as missing), "w..." writes to a temporary file that
// CloseKvFile puts in place (through a symbolic link, keeping the old file's permissions); without
// 'b' lines end in CR LF. Other modes fail. Opening while a file is open closes that one first.
bool OpenKvFile(const char* path, const char* mode);
// Closes the open file. For a written file, true only when every line reached
// the disk and the file replaced the old one (folder synced); when writing
// failed the old file stays.
bool CloseKvFile();
// One line "key=value"; key bytes are written as they are (Shift-JIS keys).
void WriteKvInt(const char* key, int32_t value);
// The next value as by atoi / atof. At end of file, or with no file open, the
// out value keeps what it held and the result is false.
bool ReadKvInt(int32_t* out);
bool ReadKvFloat(float* out);
