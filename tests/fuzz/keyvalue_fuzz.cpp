// Feeds arbitrary bytes to the key=value reader and the placement reader,
// then writes what they read, reads that back and writes it again: the two
// written files must be the same bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppearRecord.h"
#include "world/KvFile.h"

// The game defines the open file among its globals.
std::FILE* g_kvFile = nullptr;

namespace {

std::string Folder() {
  static const std::string folder = [] {
    // Memory-backed where there is one: every save is synced to disk.
    char shm[] = "/dev/shm/kvfuzz.XXXXXX";
    if (const char* made = ::mkdtemp(shm)) return std::string(made);
    char tmp[] = "/tmp/kvfuzz.XXXXXX";
    const char* made = ::mkdtemp(tmp);
    return std::string(made ? made : "/tmp");
  }();
  return folder;
}

std::string Slurp(const std::string& path) {
  std::string s;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

void Put(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

std::vector<int32_t> ReadInts(const std::string& path) {
  std::vector<int32_t> values;
  if (!OpenKvFile(path.c_str(), "r+t")) return values;
  int32_t v = 0;
  while (values.size() < 100000 && ReadKvInt(&v)) values.push_back(v);
  CloseKvFile();
  return values;
}

void WriteInts(const std::string& path, const std::vector<int32_t>& values) {
  if (!OpenKvFile(path.c_str(), "w+t")) __builtin_trap();
  for (int32_t v : values) WriteKvInt("\x92\x6c", v);
  if (!CloseKvFile()) __builtin_trap();
}

// Placement records as key=value lines, in the order the reader takes them.
void WriteRecords(const std::string& path, const std::vector<AppearRecord>& records) {
  if (!OpenKvFile(path.c_str(), "w+b")) __builtin_trap();
  WriteKvInt("count", static_cast<int32_t>(records.size()));
  for (const AppearRecord& r : records) {
    std::fprintf(g_kvFile, "x=%.9g\ny=%.9g\nz=%.9g\nangle=%.9g\n", r.x, r.y, r.z, r.param);
    WriteKvInt("kind", r.kind);
  }
  if (!CloseKvFile()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = Folder();
  const std::string in = dir + "/in", a = dir + "/a", b = dir + "/b";
  Put(in, data, size);

  WriteInts(a, ReadInts(in));
  WriteInts(b, ReadInts(a));
  if (Slurp(a) != Slurp(b)) __builtin_trap();

  std::vector<AppearRecord> records;
  if (ReadAppearRecords(in.c_str(), &records)) {
    WriteRecords(a, records);
    std::vector<AppearRecord> again;
    if (!ReadAppearRecords(a.c_str(), &again) || again.size() != records.size()) __builtin_trap();
    WriteRecords(b, again);
    if (Slurp(a) != Slurp(b)) __builtin_trap();
  }
  return 0;
}
