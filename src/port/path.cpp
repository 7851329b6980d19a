#include "port/path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "port/file.h"

namespace port {

namespace {

bool Exists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The entry of dir whose name equals component ignoring ASCII case; the
// smallest such name when several do, so the choice does not depend on the
// directory's order.
bool FindNoCase(const std::string& dir, std::string_view component, std::string* found) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool any = false;
  while (dirent* e = ::readdir(d)) {
    std::string_view name(e->d_name);
    if (EqualNoCase(name, component) && (!any || name < *found)) {
      *found = std::string(name);
      any = true;
    }
  }
  ::closedir(d);
  return any;
}

}  // namespace

std::string ResolvePath(std::string_view path) {
  std::string norm;
  norm.reserve(path.size());
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !norm.empty() && norm.back() == '/') continue;
    norm.push_back(c);
  }
  if (norm.empty() || Exists(norm)) return norm;

  bool absolute = norm[0] == '/';
  std::string out = absolute ? "/" : "";
  size_t pos = absolute ? 1 : 0;
  bool matching = true;
  while (pos <= norm.size()) {
    size_t end = norm.find('/', pos);
    if (end == std::string::npos) end = norm.size();
    std::string_view comp(norm.data() + pos, end - pos);
    pos = end + 1;
    if (comp.empty()) continue;
    std::string candidate =
        out.empty() || out.back() == '/' ? out + std::string(comp) : out + "/" + std::string(comp);
    if (matching && comp != "." && comp != ".." && !Exists(candidate)) {
      std::string found;
      if (FindNoCase(out.empty() ? "." : out, comp, &found)) {
        candidate = out.empty() || out.back() == '/' ? out + found : out + "/" + found;
      } else {
        matching = false;  // the rest cannot exist; keep it as written
      }
    }
    out = std::move(candidate);
  }
  if (!norm.empty() && norm.back() == '/' && (out.empty() || out.back() != '/')) out.push_back('/');
  return out;
}

namespace {

bool ReadBytes(std::string_view path, std::vector<uint8_t>* out, uint64_t maxBytes,
               const FileKind* kind) {
  out->clear();
  std::string resolved = ResolvePath(path);
  uint64_t size = 0;
  const int fd = resolved.empty() ? -1 : OpenRegularFile(resolved, &size);
  if (fd < 0) return false;
  if ((kind && !WithinFileLimit(resolved, size, *kind)) || size > maxBytes) {
    ::close(fd);
    return false;
  }
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  bool ok = true;
  while (got < out->size()) {
    const ssize_t n = ::read(fd, out->data() + got, out->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;  // an error, or the file shrank while we read it
      break;
    }
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (!ok) out->clear();
  return ok;
}

}  // namespace

bool ReadFileBytes(std::string_view path, std::vector<uint8_t>* out, uint64_t maxBytes) {
  return ReadBytes(path, out, maxBytes, nullptr);
}

bool ReadGameFile(std::string_view path, std::vector<uint8_t>* out, FileKind kind) {
  return ReadBytes(path, out, LimitOf(kind).maxBytes, &kind);
}

}  // namespace port
