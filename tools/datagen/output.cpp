#include "datagen/output.h"

#include <algorithm>
#include <fstream>

namespace datagen {

namespace fs = std::filesystem;

bool IsSafeRelativePath(std::string_view rel, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (rel.empty()) return fail("empty path");
  if (rel.front() == '/') return fail("absolute path");
  if (rel.find('\\') != std::string_view::npos) return fail("backslash in path");
  if (rel.find(':') != std::string_view::npos) return fail("drive or stream separator in path");
  if (rel.find('\0') != std::string_view::npos) return fail("NUL in path");
  size_t start = 0;
  while (start <= rel.size()) {
    size_t end = rel.find('/', start);
    if (end == std::string_view::npos) end = rel.size();
    std::string_view part = rel.substr(start, end - start);
    if (part.empty()) return fail("empty path component");
    if (part == ".") return fail("'.' path component");
    if (part == "..") return fail("'..' path component escapes the output folder");
    start = end + 1;
  }
  return true;
}

Output::Output(fs::path root) {
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec) throw GenError("cannot create output folder " + root.string() + ": " + ec.message());
  root_ = fs::canonical(root, ec);
  if (ec) throw GenError("cannot resolve output folder " + root.string() + ": " + ec.message());
}

fs::path Output::Resolve(std::string_view rel) {
  std::string why;
  if (!IsSafeRelativePath(rel, &why))
    throw GenError("refusing to write \"" + std::string(rel) + "\": " + why);
  fs::path full = root_ / fs::path(std::string(rel));
  std::error_code ec;
  fs::create_directories(full.parent_path(), ec);
  if (ec) throw GenError("cannot create folder for " + full.string() + ": " + ec.message());
  // A symbolic link inside the folder must not lead out of it either.
  fs::path parent = fs::canonical(full.parent_path(), ec);
  if (ec) throw GenError("cannot resolve folder of " + full.string() + ": " + ec.message());
  auto [r, p] = std::mismatch(root_.begin(), root_.end(), parent.begin(), parent.end());
  if (r != root_.end())
    throw GenError("refusing to write \"" + std::string(rel) + "\": it resolves outside " +
                   root_.string());
  return parent / full.filename();
}

void Output::Write(std::string_view rel, std::string_view bytes) {
  fs::path full = Resolve(rel);
  if (fs::is_symlink(full)) fs::remove(full);
  std::ofstream f(full, std::ios::binary | std::ios::trunc);
  if (!f) throw GenError("cannot open " + full.string() + " for writing");
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  f.close();
  if (!f) throw GenError("cannot write " + full.string());
  if (!Has(rel)) written_.emplace_back(rel);
  bytes_ += bytes.size();
}

void Output::Write(std::string_view rel, const std::vector<uint8_t>& bytes) {
  Write(rel, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Output::Copy(const fs::path& from, std::string_view rel) {
  std::ifstream f(from, std::ios::binary);
  if (!f) throw GenError("cannot read " + from.string());
  std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Write(rel, data);
}

bool Output::Has(std::string_view rel) const {
  return std::find(written_.begin(), written_.end(), rel) != written_.end();
}

}  // namespace datagen
