#include "world/KvFile.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "port/file.h"

namespace {

// Longest value read: fgets into 50 bytes.
constexpr int kValueBufferSize = 50;

struct PendingWrite {
  bool failed = false;
  bool crlf = false;
  port::ReplacementFile file;
};
PendingWrite g_write;

bool ModeHas(const char* mode, char c) { return std::strchr(mode, c) != nullptr; }

// Reads the value after the next '='; false at end of file.
bool NextValue(char (&buf)[kValueBufferSize]) {
  if (!g_kvFile) return false;
  int ch;
  do {
    ch = std::fgetc(g_kvFile);
  } while (ch != EOF && ch != '=');
  if (ch == EOF) return false;
  return std::fgets(buf, kValueBufferSize, g_kvFile) != nullptr;
}

int32_t ToInt(const char* s) {
  const long v = std::strtol(s, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

float ToFloat(const char* s) {
  // Plain decimal notation only: hex, "inf" and "nan" convert to 0 like any
  // other text that is not a number.
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  char clean[kValueBufferSize];
  size_t n = 0;
  while (s[n] && n + 1 < sizeof clean && (std::strchr("0123456789+-.eE", s[n]) != nullptr))
    clean[n] = s[n], ++n;
  clean[n] = '\0';
  const double d = std::strtod(clean, nullptr);
  if (std::isnan(d)) return 0.0f;
  if (std::fabs(d) > FLT_MAX) return d > 0 ? HUGE_VALF : -HUGE_VALF;
  return static_cast<float>(d);
}

}  // namespace

bool OpenKvFile(const char* path, const char* mode) {
  if (g_kvFile) CloseKvFile();
  if (!path || !mode) return false;

  if (mode[0] == 'w') {
    // Write beside the real file and rename on close, so a crash or a full
    // disk never leaves a short save file.
    if (!g_write.file.Open(path)) return false;
    g_write.failed = false;
    g_write.crlf = !ModeHas(mode, 'b');
    g_kvFile = g_write.file.Stream();
    return true;
  }
  if (mode[0] != 'r') return false;

  // A pipe, folder or device in the file's place reads as a missing file; so
  // does a file too large for what these files hold, which would otherwise be
  // scanned to its end for an '=' it may not have.
  g_kvFile = port::OpenRegularFileStream(path, port::FileKind::KeyValue);
  return g_kvFile != nullptr;
}

bool CloseKvFile() {
  if (!g_kvFile) return false;
  std::FILE* f = g_kvFile;
  g_kvFile = nullptr;
  if (g_write.file.IsOpen()) return g_write.file.Commit(!g_write.failed);
  return std::fclose(f) == 0;
}

void WriteKvInt(const char* key, int32_t value) {
  if (!g_kvFile || !key) return;
  const char* end = g_write.crlf ? "\r\n" : "\n";
  if (std::fprintf(g_kvFile, "%s=%d%s", key, static_cast<int>(value), end) < 0)
    g_write.failed = true;
}

bool ReadKvInt(int32_t* out) {
  char buf[kValueBufferSize];
  if (!out || !NextValue(buf)) return false;
  *out = ToInt(buf);
  return true;
}

bool ReadKvFloat(float* out) {
  char buf[kValueBufferSize];
  if (!out || !NextValue(buf)) return false;
  *out = ToFloat(buf);
  return true;
}
