#pragma once
// Reader of DirectX .X files (text and binary, 32- or 64-bit floats, and the
// MSZIP-compressed variants of both). Data objects are typed by their
// templates: those declared in the file, else the standard ones built in.
// Everything is validated against the input: a malformed or truncated file is
// refused with a message and a position.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "port/math.h"

namespace port::x {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8] = {};
  bool operator==(const Guid& o) const = default;
  bool IsNull() const { return *this == Guid{}; }
  // "3D82AB46-62DA-11CF-AB39-0020AF71E433" (upper case, no braces).
  std::string ToString() const;
  // Accepts the same form, optionally inside <> or {}.
  static bool Parse(std::string_view text, Guid* out);
};

// The standard templates' identities.
namespace guids {
extern const Guid kHeader, kFrame, kFrameTransformMatrix, kMesh, kMeshNormals, kMeshTextureCoords,
    kMeshMaterialList, kMaterial, kTextureFilename, kMeshVertexColors, kXSkinMeshHeader,
    kSkinWeights, kVertexDuplicationIndices, kAnimationSet, kAnimation, kAnimationKey,
    kAnimationOptions, kAnimTicksPerSecond;
}

enum class ValueType : uint8_t { Word, Dword, Float, Double, Char, UChar, SWord, SDword, String };

// One scalar of an object's data. Doubles are kept as floats; a string's
// bits index the object's string table.
struct Value {
  ValueType type = ValueType::Dword;
  uint32_t bits = 0;
};

struct Error {
  std::string message;
  size_t offset = 0;  // byte offset into the (decompressed) file
  uint32_t line = 0;  // 1-based line of a text file, 0 for binary
  std::string ToString() const;
};

// A template declaration.
struct TemplateMember {
  ValueType primitive = ValueType::Dword;  // when typeName is empty
  std::string typeName;                    // a nested template, inlined
  std::string name;
  // Array dimensions, outermost first: a constant, or the name of an earlier
  // member of the same template holding the count.
  struct Dim {
    uint32_t constant = 0;
    std::string member;
  };
  std::vector<Dim> dims;
};
struct Template {
  std::string name;
  Guid guid;
  std::vector<TemplateMember> members;
  enum class Restriction : uint8_t { Closed, Open, Restricted } restriction = Restriction::Closed;
  std::vector<std::string> allowedChildren;  // Restricted: template names
};

class Object;
struct Template;
const std::vector<Template>& StandardTemplates();

struct Child {
  enum class Kind : uint8_t { Object, Reference };
  Kind kind = Kind::Object;
  // Object: the child itself. Reference: the named target, null when the file
  // has no object of that name (the name is kept).
  const Object* object = nullptr;
  std::string name;  // Reference: the name written
  Guid guid;         // Reference: the GUID written, if any
  // The child's object, following a resolved reference.
  const Object* Target() const { return object; }
  bool IsReference() const { return kind == Kind::Reference; }
};

// Reads an object's data sequentially. Every read checks the type and the
// bounds; a failed read returns false, leaves the output untouched and marks
// the reader failed (later reads fail too).
class DataReader {
 public:
  explicit DataReader(const Object& object);
  bool ReadDword(uint32_t* out);                 // any integer member
  bool ReadDwords(uint32_t* out, size_t count);  // count integer members
  bool ReadWord(uint16_t* out);                  // an integer member that fits 16 bits
  bool ReadFloat(float* out);                    // FLOAT or DOUBLE
  bool ReadFloats(float* out, size_t count);
  bool ReadString(std::string* out);
  // The next values up to the first that is not an integer, in place, their
  // number in *count; nothing is read. Null once the reader has failed.
  const uint32_t* PeekDwords(size_t* count);
  bool ReadMatrix(Matrix* out);  // 16 floats, row by row
  bool Skip(size_t count);
  size_t Remaining() const;
  bool Ok() const { return ok_; }

 private:
  // The type of the next value, or false past the end (marking the reader failed).
  bool NextType(ValueType* type);
  // Whether the next count values are all of a type that passes the test.
  template <typename Test>
  bool NextAre(size_t count, Test test);
  const Object* object_;
  size_t pos_ = 0;
  size_t run_ = 0;  // the run holding pos_, or one before it
  bool ok_ = true;
};

class Object {
 public:
  const std::string& TemplateName() const { return templateName_; }
  const Guid& TemplateGuid() const { return templateGuid_; }
  bool Is(const Guid& g) const { return templateGuid_ == g; }
  const std::string& Name() const { return name_; }  // empty when none
  const Guid& InstanceGuid() const { return instanceGuid_; }
  // Every value in file order (built on each call: for tests and tools).
  std::vector<Value> Values() const;
  size_t ValueCount() const { return bits_.size(); }
  const std::vector<std::string>& Strings() const { return strings_; }
  const std::vector<Child>& Children() const { return children_; }
  DataReader Data() const { return DataReader(*this); }
  size_t Offset() const { return offset_; }  // where the object starts in the file

 private:
  friend class Parser;
  friend class DataReader;
  // The values appended to bits_ since the last call are of this type.
  void NoteType(ValueType type) {
    if (runs_.empty() || runs_.back().type != type) runs_.push_back(Run{0, type});
    runs_.back().end = bits_.size();
  }
  std::string templateName_;
  Guid templateGuid_;
  std::string name_;
  Guid instanceGuid_;
  // The values' bits in file order, and their types as runs: each run of
  // one type ends before index `end`, where the next begins.
  std::vector<uint32_t> bits_;
  struct Run {
    size_t end;
    ValueType type;
  };
  std::vector<Run> runs_;
  std::vector<std::string> strings_;
  std::vector<Child> children_;
  size_t offset_ = 0;
};

struct Limits {
  uint32_t maxObjectDepth = 64;    // nested data objects
  uint32_t maxTemplateDepth = 32;  // nested template members
  size_t maxDecompressedBytes = size_t{256} << 20;
};

class File {
 public:
  // Path through the data path resolver. Null and *error on failure.
  static std::unique_ptr<File> Load(std::string_view path, Error* error, const Limits& limits = {});
  static std::unique_ptr<File> LoadMemory(const void* data, size_t size, Error* error,
                                          const Limits& limits = {});
  ~File();

  // The top-level data objects in file order.
  const std::vector<const Object*>& Objects() const { return top_; }
  // Templates declared in the file, in order.
  const std::vector<Template>& DeclaredTemplates() const { return declared_; }
  // A template known to this file: declared in it, else a standard one.
  const Template* FindTemplate(std::string_view name) const;
  // The first object of that name anywhere in the file, in file order.
  const Object* FindObject(std::string_view name) const;
  bool IsBinary() const { return binary_; }
  bool IsCompressed() const { return compressed_; }
  uint32_t FloatBits() const { return floatBits_; }

 private:
  friend class Parser;
  friend const std::vector<Template>& StandardTemplates();
  File();
  std::vector<std::unique_ptr<Object>> all_;  // every object, file order
  std::vector<const Object*> top_;
  std::vector<Template> declared_;
  bool binary_ = false, compressed_ = false;
  uint32_t floatBits_ = 32;
};

// The standard templates our reader knows without a declaration.
const std::vector<Template>& StandardTemplates();
const Template* FindStandardTemplate(std::string_view name);

}  // namespace port::x
