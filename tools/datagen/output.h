#pragma once
// The generator's only way to the disk: every file goes through Output, which
// keeps it inside the output folder and names the file in every failure.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

// A failure that ends the run; the message names the file concerned.
struct GenError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// True when rel is a plain relative path below the output folder: not empty,
// not absolute, '/' separators only, and no empty, "." or ".." component.
bool IsSafeRelativePath(std::string_view rel, std::string* why = nullptr);

class Output {
 public:
  explicit Output(std::filesystem::path root);

  void Write(std::string_view rel, const std::vector<uint8_t>& bytes);
  void Write(std::string_view rel, std::string_view bytes);
  // Copies a file from outside into the folder.
  void Copy(const std::filesystem::path& from, std::string_view rel);

  bool Has(std::string_view rel) const;
  const std::vector<std::string>& Written() const { return written_; }
  uint64_t BytesWritten() const { return bytes_; }
  const std::filesystem::path& Root() const { return root_; }

 private:
  std::filesystem::path Resolve(std::string_view rel);

  std::filesystem::path root_;
  std::vector<std::string> written_;
  uint64_t bytes_ = 0;
};

}  // namespace datagen
