#include "port/xfile.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "port/path.h"
#include "port/xfile_lexer.h"

namespace port::x {

using detail::Lexer;
using detail::ParseError;
using detail::Tok;
using detail::Token;
using detail::TokName;

namespace {

// The standard templates, declared in the file syntax and read at start-up
// with the same parser as a file's own declarations.
constexpr char kStandardTemplateText[] = R"(xof 0303txt 0032
template Header { <3D82AB43-62DA-11CF-AB39-0020AF71E433> WORD major; WORD minor; DWORD flags; }
template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }
template Coords2d { <F6F23F44-7686-11CF-8F52-0040333594A3> FLOAT u; FLOAT v; }
template Matrix4x4 { <F6F23F45-7686-11CF-8F52-0040333594A3> array FLOAT matrix[16]; }
template ColorRGBA { <35FF44E0-6C7C-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha; }
template ColorRGB { <D3E16E81-7835-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; }
template IndexedColor { <1630B820-7842-11CF-8F52-0040333594A3> DWORD index; ColorRGBA indexColor; }
template TextureFilename { <A42790E1-7810-11CF-8F52-0040333594A3> STRING filename; }
template Material { <3D82AB4D-62DA-11CF-AB39-0020AF71E433>
  ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; ColorRGB emissiveColor; [...] }
template MeshFace { <3D82AB5F-62DA-11CF-AB39-0020AF71E433>
  DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices]; }
template MeshTextureCoords { <F6F23F40-7686-11CF-8F52-0040333594A3>
  DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords]; }
template MeshMaterialList { <F6F23F42-7686-11CF-8F52-0040333594A3>
  DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes];
  [Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>] }
template MeshNormals { <F6F23F43-7686-11CF-8F52-0040333594A3>
  DWORD nNormals; array Vector normals[nNormals]; DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals]; }
template MeshVertexColors { <1630B821-7842-11CF-8F52-0040333594A3>
  DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors]; }
template Mesh { <3D82AB44-62DA-11CF-AB39-0020AF71E433>
  DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; array MeshFace faces[nFaces]; [...] }
template FrameTransformMatrix { <F6F23F41-7686-11CF-8F52-0040333594A3> Matrix4x4 frameMatrix; }
template Frame { <3D82AB46-62DA-11CF-AB39-0020AF71E433> [...] }
template FloatKeys { <10DD46A9-775B-11CF-8F52-0040333594A3> DWORD nValues; array FLOAT values[nValues]; }
template TimedFloatKeys { <F406B180-7B3B-11CF-8F52-0040333594A3> DWORD time; FloatKeys tfkeys; }
template AnimationKey { <10DD46A8-775B-11CF-8F52-0040333594A3>
  DWORD keyType; DWORD nKeys; array TimedFloatKeys keys[nKeys]; }
template AnimationOptions { <E2BF56C0-840F-11CF-8F52-0040333594A3> DWORD openclosed; DWORD positionquality; }
template Animation { <3D82AB4F-62DA-11CF-AB39-0020AF71E433> [...] }
template AnimationSet { <3D82AB50-62DA-11CF-AB39-0020AF71E433> [Animation <3D82AB4F-62DA-11CF-AB39-0020AF71E433>] }
template AnimTicksPerSecond { <9E415A43-7BA6-4A73-8743-B73D47E88476> DWORD AnimTicksPerSecond; }
template XSkinMeshHeader { <3CF169CE-FF7C-44AB-93C0-F78F62D172E2>
  WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace; WORD nBones; }
template SkinWeights { <6F0D123B-BAD2-4167-A0D0-80224F25FABB>
  STRING transformNodeName; DWORD nWeights; array DWORD vertexIndices[nWeights];
  array FLOAT weights[nWeights]; Matrix4x4 matrixOffset; }
template VertexDuplicationIndices { <B8D65549-D7C9-4995-89CF-53A9A8B031E3>
  DWORD nIndices; DWORD nOriginalVertices; array DWORD indices[nIndices]; }
)";

Guid MustParse(const char* text) {
  Guid g;
  Guid::Parse(text, &g);
  return g;
}

bool PrimitiveFromName(std::string_view n, ValueType* out) {
  static const std::pair<std::string_view, ValueType> kTable[] = {
      {"WORD", ValueType::Word},     {"DWORD", ValueType::Dword},  {"FLOAT", ValueType::Float},
      {"DOUBLE", ValueType::Double}, {"CHAR", ValueType::Char},    {"UCHAR", ValueType::UChar},
      {"BYTE", ValueType::UChar},    {"SWORD", ValueType::SWord},  {"SDWORD", ValueType::SDword},
      {"STRING", ValueType::String}, {"LPSTR", ValueType::String}, {"CSTRING", ValueType::String},
      {"UNICODE", ValueType::String}};
  for (auto& [name, type] : kTable) {
    if (n == name) {
      *out = type;
      return true;
    }
  }
  return false;
}

bool IsIntegerType(ValueType t) {
  return t != ValueType::Float && t != ValueType::Double && t != ValueType::String;
}

// Decompresses the MSZIP body of a "tzip"/"bzip" file: a total size, then
// blocks of (uncompressed size, compressed size, "CK", deflate data), each
// block using the previous output as its dictionary.
bool Inflate(const uint8_t* data, size_t size, size_t maxOut, std::vector<uint8_t>* out,
             std::string* message, size_t* where) {
  size_t pos = 16;
  *where = pos;
  if (size - pos < 4) {
    *message = "truncated compressed size";
    return false;
  }
  uint32_t total;
  std::memcpy(&total, data + pos, 4);
  pos += 4;
  if (total > maxOut + 16) {
    *message = "compressed file too large";
    return false;
  }
  out->assign(data, data + 16);
  while (pos < size) {
    *where = pos;
    if (size - pos < 4) {
      *message = "truncated compressed block header";
      return false;
    }
    uint16_t rawSize, packedSize;
    std::memcpy(&rawSize, data + pos, 2);
    std::memcpy(&packedSize, data + pos + 2, 2);
    pos += 4;
    if (packedSize < 2 || packedSize > size - pos || data[pos] != 'C' || data[pos + 1] != 'K') {
      *message = "malformed compressed block";
      return false;
    }
    if (out->size() - 16 + rawSize > total) {
      *message = "compressed data larger than announced";
      return false;
    }
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
      *message = "inflate failed";
      return false;
    }
    size_t have = out->size() - 16;
    if (have > 0) {
      size_t dict = std::min<size_t>(have, 32768);
      inflateSetDictionary(&zs, out->data() + out->size() - dict, static_cast<uInt>(dict));
    }
    size_t before = out->size();
    out->resize(before + rawSize);
    zs.next_in = const_cast<Bytef*>(data + pos + 2);
    zs.avail_in = packedSize - 2u;
    zs.next_out = out->data() + before;
    zs.avail_out = rawSize;
    int rc = inflate(&zs, Z_FINISH);
    size_t produced = rawSize - zs.avail_out;
    inflateEnd(&zs);
    if ((rc != Z_STREAM_END && rc != Z_OK && rc != Z_BUF_ERROR) || produced != rawSize) {
      *message = "corrupt compressed block";
      return false;
    }
    pos += packedSize;
  }
  size_t got = out->size() - 16;
  if (got != total && got + 16 != total) {
    *message = "compressed data shorter than announced";
    *where = size;
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string Guid::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1, data2,
                data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6],
                data4[7]);
  return buf;
}

bool Guid::Parse(std::string_view text, Guid* out) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.size() >= 2 && ((text.front() == '<' && text.back() == '>') ||
                           (text.front() == '{' && text.back() == '}'))) {
    text = text.substr(1, text.size() - 2);
  }
  if (text.size() != 36) return false;
  uint8_t bytes[16];
  size_t k = 0;
  for (size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return false;
      ++i;
      continue;
    }
    auto hex = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    int hi = hex(text[i]), lo = hex(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[k++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  Guid g;
  g.data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
            bytes[3];
  g.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(g.data4, bytes + 8, 8);
  *out = g;
  return true;
}

namespace guids {
const Guid kHeader = MustParse("3D82AB43-62DA-11CF-AB39-0020AF71E433");
const Guid kFrame = MustParse("3D82AB46-62DA-11CF-AB39-0020AF71E433");
const Guid kFrameTransformMatrix = MustParse("F6F23F41-7686-11CF-8F52-0040333594A3");
const Guid kMesh = MustParse("3D82AB44-62DA-11CF-AB39-0020AF71E433");
const Guid kMeshNormals = MustParse("F6F23F43-7686-11CF-8F52-0040333594A3");
const Guid kMeshTextureCoords = MustParse("F6F23F40-7686-11CF-8F52-0040333594A3");
const Guid kMeshMaterialList = MustParse("F6F23F42-7686-11CF-8F52-0040333594A3");
const Guid kMaterial = MustParse("3D82AB4D-62DA-11CF-AB39-0020AF71E433");
const Guid kTextureFilename = MustParse("A42790E1-7810-11CF-8F52-0040333594A3");
const Guid kMeshVertexColors = MustParse("1630B821-7842-11CF-8F52-0040333594A3");
const Guid kXSkinMeshHeader = MustParse("3CF169CE-FF7C-44AB-93C0-F78F62D172E2");
const Guid kSkinWeights = MustParse("6F0D123B-BAD2-4167-A0D0-80224F25FABB");
const Guid kVertexDuplicationIndices = MustParse("B8D65549-D7C9-4995-89CF-53A9A8B031E3");
const Guid kAnimationSet = MustParse("3D82AB50-62DA-11CF-AB39-0020AF71E433");
const Guid kAnimation = MustParse("3D82AB4F-62DA-11CF-AB39-0020AF71E433");
const Guid kAnimationKey = MustParse("10DD46A8-775B-11CF-8F52-0040333594A3");
const Guid kAnimationOptions = MustParse("E2BF56C0-840F-11CF-8F52-0040333594A3");
const Guid kAnimTicksPerSecond = MustParse("9E415A43-7BA6-4A73-8743-B73D47E88476");
}  // namespace guids

std::string Error::ToString() const {
  std::string s = message;
  if (line) {
    s += " (line " + std::to_string(line) + ")";
  } else {
    s += " (byte " + std::to_string(offset) + ")";
  }
  return s;
}

// ---------------------------------------------------------------------------

DataReader::DataReader(const Object& object) : object_(&object) {}

bool DataReader::NextType(ValueType* type) {
  if (!ok_ || pos_ >= object_->bits_.size()) return ok_ = false;
  while (object_->runs_[run_].end <= pos_) ++run_;
  *type = object_->runs_[run_].type;
  return true;
}

template <typename Test>
bool DataReader::NextAre(size_t count, Test test) {
  if (!ok_ || count > Remaining()) return false;
  if (count == 0) return true;
  const auto& runs = object_->runs_;
  while (runs[run_].end <= pos_) ++run_;
  for (size_t r = run_;; ++r) {
    if (!test(runs[r].type)) return false;
    if (runs[r].end >= pos_ + count) return true;
  }
}

bool DataReader::ReadDword(uint32_t* out) {
  ValueType t;
  if (!NextType(&t) || !IsIntegerType(t)) return ok_ = false;
  *out = object_->bits_[pos_++];
  return true;
}

bool DataReader::ReadDwords(uint32_t* out, size_t count) {
  if (!NextAre(count, IsIntegerType)) return ok_ = false;
  if (count > 0) std::memcpy(out, object_->bits_.data() + pos_, count * 4);
  pos_ += count;
  return true;
}

bool DataReader::ReadWord(uint16_t* out) {
  ValueType t;
  if (!NextType(&t) || !IsIntegerType(t) || object_->bits_[pos_] > 0xFFFF) return ok_ = false;
  *out = static_cast<uint16_t>(object_->bits_[pos_++]);
  return true;
}

bool DataReader::ReadFloat(float* out) {
  ValueType t;
  if (!NextType(&t) || (t != ValueType::Float && t != ValueType::Double)) return ok_ = false;
  *out = std::bit_cast<float>(object_->bits_[pos_++]);
  return true;
}

bool DataReader::ReadFloats(float* out, size_t count) {
  if (!NextAre(count, [](ValueType t) { return t == ValueType::Float || t == ValueType::Double; }))
    return ok_ = false;
  if (count > 0) std::memcpy(out, object_->bits_.data() + pos_, count * 4);
  pos_ += count;
  return true;
}

const uint32_t* DataReader::PeekDwords(size_t* count) {
  *count = 0;
  if (!ok_) return nullptr;
  const uint32_t* at = object_->bits_.data() + pos_;
  if (pos_ >= object_->bits_.size()) return at;
  const auto& runs = object_->runs_;
  while (runs[run_].end <= pos_) ++run_;
  size_t r = run_;
  while (r < runs.size() && IsIntegerType(runs[r].type)) ++r;
  if (r > run_) *count = runs[r - 1].end - pos_;
  return at;
}

bool DataReader::ReadString(std::string* out) {
  ValueType t;
  if (!NextType(&t) || t != ValueType::String || object_->bits_[pos_] >= object_->strings_.size())
    return ok_ = false;
  *out = object_->strings_[object_->bits_[pos_++]];
  return true;
}

bool DataReader::ReadMatrix(Matrix* out) {
  float f[16];
  if (!ReadFloats(f, 16)) return false;
  std::memcpy(out->m, f, sizeof f);
  return true;
}

bool DataReader::Skip(size_t count) {
  if (!ok_ || count > Remaining()) return ok_ = false;
  pos_ += count;
  return true;
}

size_t DataReader::Remaining() const { return object_->bits_.size() - pos_; }

std::vector<Value> Object::Values() const {
  std::vector<Value> out;
  out.reserve(bits_.size());
  for (const Run& r : runs_) {
    while (out.size() < r.end) out.push_back(Value{r.type, bits_[out.size()]});
  }
  return out;
}

// ---------------------------------------------------------------------------

class Parser {
 public:
  Parser(File* file, const Limits& limits, const std::vector<Template>* fallback)
      : file_(file), limits_(limits), fallback_(fallback) {}

  bool Run(const uint8_t* data, size_t size, Error* error) {
    try {
      std::vector<uint8_t> inflated;
      ParseHeader(data, size, &inflated);
      if (!inflated.empty()) {
        data = inflated.data();
        size = inflated.size();
      }
      Lexer lex(data, size, 16, file_->binary_, file_->floatBits_);
      lex_ = &lex;
      ParseTop();
      Resolve();
      return true;
    } catch (const ParseError& e) {
      if (error) *error = Error{e.message, e.offset, e.line};
      return false;
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& msg, size_t offset, uint32_t line = 0) {
    throw ParseError{msg, offset, line};
  }

  void ParseHeader(const uint8_t* data, size_t size, std::vector<uint8_t>* inflated) {
    if (size < 16) Fail("file too short for a header", size);
    if (std::memcmp(data, "xof ", 4) != 0) Fail("not an .X file (no 'xof ' header)", 0);
    if (data[4] != '0' || data[5] != '3' || data[6] < '0' || data[6] > '9' || data[7] < '0' ||
        data[7] > '9') {
      Fail("unsupported .X version", 4);
    }
    std::string_view fmt(reinterpret_cast<const char*>(data + 8), 4);
    bool zip = false;
    if (fmt == "txt ") {
      file_->binary_ = false;
    } else if (fmt == "bin ") {
      file_->binary_ = true;
    } else if (fmt == "tzip") {
      file_->binary_ = false;
      zip = true;
    } else if (fmt == "bzip") {
      file_->binary_ = true;
      zip = true;
    } else {
      Fail("unknown .X format '" + std::string(fmt) + "'", 8);
    }
    std::string_view fs(reinterpret_cast<const char*>(data + 12), 4);
    if (fs == "0032") {
      file_->floatBits_ = 32;
    } else if (fs == "0064") {
      file_->floatBits_ = 64;
    } else {
      Fail("unknown float size '" + std::string(fs) + "'", 12);
    }
    file_->compressed_ = zip;
    if (zip) {
      std::string msg;
      size_t where = 0;
      if (!Inflate(data, size, limits_.maxDecompressedBytes, inflated, &msg, &where))
        Fail(msg, where);
    }
  }

  bool IsSeparator(const Token& t) { return t.kind == Tok::Comma || t.kind == Tok::Semicolon; }

  Token Expect(Tok kind, const char* what) {
    Token t = lex_->Next();
    if (t.kind != kind) {
      lex_->FailAt(
          t, std::string("expected ") + TokName(kind) + " " + what + ", found " + TokName(t.kind));
    }
    return t;
  }

  void ParseTop() {
    for (;;) {
      const Token& t = lex_->Peek();
      if (t.kind == Tok::End) return;
      if (IsSeparator(t)) {
        lex_->Next();
      } else if (t.kind == Tok::Name && t.keyword && t.text == "template") {
        ParseTemplate();
      } else if (t.kind == Tok::Name && !t.keyword) {
        const Object* o = ParseObject(0);
        if (o) file_->top_.push_back(o);
      } else {
        lex_->FailAt(t, std::string("unexpected ") + TokName(t.kind) + " at top level");
      }
    }
  }

  void ParseTemplate() {
    lex_->Next();
    Template tp;
    Token name = Expect(Tok::Name, "after 'template'");
    tp.name = std::string(name.text);
    Expect(Tok::LBrace, "to open a template");
    Token g = Expect(Tok::Guid, "in a template");
    tp.guid = g.guid;
    for (;;) {
      Token t = lex_->Next();
      if (t.kind == Tok::RBrace) break;
      if (t.kind == Tok::LBracket) {
        ParseRestriction(&tp);
        Expect(Tok::RBrace, "after a template's restrictions");
        break;
      }
      if (t.kind != Tok::Name)
        lex_->FailAt(t, std::string("unexpected ") + TokName(t.kind) + " in template " + tp.name);
      TemplateMember m;
      bool isArray = t.keyword && t.text == "array";
      Token type = isArray ? Expect(Tok::Name, "after 'array'") : t;
      if (!PrimitiveFromName(type.text, &m.primitive)) m.typeName = std::string(type.text);
      Token next = lex_->Next();
      if (next.kind == Tok::Name) {
        m.name = std::string(next.text);
        next = lex_->Next();
      }
      if (isArray) {
        if (next.kind != Tok::LBracket)
          lex_->FailAt(next, "expected '[' in array member of " + tp.name);
        while (next.kind == Tok::LBracket) {
          Token d = lex_->Next();
          TemplateMember::Dim dim;
          if (d.kind == Tok::Int) {
            if (d.i < 0 || d.i > UINT32_MAX) lex_->FailAt(d, "array size out of range");
            dim.constant = static_cast<uint32_t>(d.i);
          } else if (d.kind == Tok::Name) {
            dim.member = std::string(d.text);
            auto it = std::find_if(tp.members.begin(), tp.members.end(),
                                   [&](const TemplateMember& o) { return o.name == dim.member; });
            if (it == tp.members.end() || !it->typeName.empty() || !it->dims.empty() ||
                !IsIntegerType(it->primitive)) {
              lex_->FailAt(d, "array size '" + dim.member +
                                  "' is not an earlier integer member of " + tp.name);
            }
          } else {
            lex_->FailAt(d, "expected an array size");
          }
          m.dims.push_back(dim);
          Expect(Tok::RBracket, "after an array size");
          next = lex_->Next();
        }
      }
      if (next.kind != Tok::Semicolon)
        lex_->FailAt(next, "expected ';' after a member of " + tp.name);
      tp.members.push_back(std::move(m));
    }
    auto existing = std::find_if(file_->declared_.begin(), file_->declared_.end(),
                                 [&](const Template& o) { return o.name == tp.name; });
    if (existing != file_->declared_.end()) {
      *existing = std::move(tp);  // a later declaration replaces an earlier one
    } else {
      file_->declared_.push_back(std::move(tp));
    }
    minScalars_.clear();
    flat_.clear();
    walks_.clear();
  }

  void ParseRestriction(Template* tp) {
    const Token& first = lex_->Peek();
    if (first.kind == Tok::Dot) {
      for (int i = 0; i < 3; ++i) Expect(Tok::Dot, "in '[...]'");
      Expect(Tok::RBracket, "after '[...'");
      tp->restriction = Template::Restriction::Open;
      return;
    }
    tp->restriction = Template::Restriction::Restricted;
    for (;;) {
      Token t = lex_->Next();
      if (t.kind == Tok::RBracket) return;
      if (t.kind == Tok::Name) {
        tp->allowedChildren.emplace_back(t.text);
      } else if (t.kind != Tok::Guid && !IsSeparator(t)) {
        lex_->FailAt(t, "unexpected " + std::string(TokName(t.kind)) + " in template restrictions");
      }
    }
  }

  const Template* Lookup(std::string_view name) const {
    for (const Template& t : file_->declared_) {
      if (t.name == name) return &t;
    }
    if (fallback_) {
      for (const Template& t : *fallback_) {
        if (t.name == name) return &t;
      }
    }
    return nullptr;
  }

  // The fewest scalars one instance of a template can hold; 0 means it never
  // holds any, so arrays of it read nothing.
  uint64_t MinScalars(const Template* tp, uint32_t depth) {
    if (depth > limits_.maxTemplateDepth) return 1;
    auto it = minScalars_.find(tp);
    if (it != minScalars_.end()) return it->second;
    uint64_t total = 0;
    for (const TemplateMember& m : tp->members) {
      uint64_t per = 1;
      if (!m.typeName.empty()) {
        const Template* sub = Lookup(m.typeName);
        per = sub ? MinScalars(sub, depth + 1) : 1;
      }
      uint64_t count = 1;
      for (const auto& d : m.dims) {
        if (!d.member.empty()) {
          count = 0;
          break;
        }
        count = std::min<uint64_t>(count * d.constant, uint64_t{1} << 40);
      }
      total = std::min<uint64_t>(total + per * count, uint64_t{1} << 40);
    }
    minScalars_[tp] = total;
    return total;
  }

  // A nested template every instance of which is the same run of scalars of
  // one type: read as a single run.
  struct Flat {
    uint64_t length = 0;  // 0: not such a template
    ValueType type = ValueType::Dword;
    uint32_t nesting = 0;  // levels of templates inside, itself included
  };

  Flat FlatOf(const Template* tp, uint32_t depth) {
    auto it = flat_.find(tp);
    if (it != flat_.end()) return it->second;
    Flat none;
    if (depth > limits_.maxTemplateDepth) return none;
    flat_[tp] = none;  // a template inside itself is not flat
    Flat f;
    f.nesting = 1;
    bool first = true;
    // Exact lengths only: a template too large to read is left to the token path.
    constexpr uint64_t kMax = uint64_t{1} << 32;
    for (const TemplateMember& m : tp->members) {
      uint64_t count = 1;
      for (const auto& d : m.dims) {
        if (!d.member.empty()) return none;
        if (d.constant != 0 && count > kMax / d.constant) return none;
        count *= d.constant;
      }
      Flat part;
      if (m.typeName.empty()) {
        if (m.primitive == ValueType::String) return none;
        part = Flat{1, m.primitive, 0};
      } else {
        const Template* sub = Lookup(m.typeName);
        if (!sub) return none;
        part = FlatOf(sub, depth + 1);
        if (part.length == 0) return none;
      }
      if (!first && part.type != f.type) return none;
      first = false;
      if (count > (kMax - f.length) / part.length) return none;
      f.type = part.type;
      f.length += part.length * count;
      f.nesting = std::max(f.nesting, part.nesting + 1);
    }
    if (f.length == 0) return none;
    flat_[tp] = f;
    return f;
  }

  // A template as the data parser walks it: its members' templates and the
  // members that count its arrays, looked up once.
  struct Walk {
    struct Member {
      const Template* sub = nullptr;  // null: a primitive, or an unknown type
      Flat flat;
      std::vector<int32_t> dimMember;  // per dimension: the counting member, or -1
      bool counted = false;            // sub is a DWORD count and that many DWORDs
    };
    std::vector<Member> members;
  };

  const Walk& WalkOf(const Template* tp, uint32_t depth) {
    auto it = walks_.find(tp);
    if (it != walks_.end()) return it->second;
    Walk& w = walks_[tp];
    w.members.resize(tp->members.size());
    for (size_t mi = 0; mi < tp->members.size(); ++mi) {
      const TemplateMember& m = tp->members[mi];
      Walk::Member& wm = w.members[mi];
      if (!m.typeName.empty()) {
        wm.sub = Lookup(m.typeName);
        if (wm.sub) {
          wm.flat = FlatOf(wm.sub, depth + 1);
          const auto& sm = wm.sub->members;
          wm.counted =
              sm.size() == 2 && sm[0].typeName.empty() && sm[0].primitive == ValueType::Dword &&
              sm[0].dims.empty() && sm[1].typeName.empty() && sm[1].primitive == ValueType::Dword &&
              sm[1].dims.size() == 1 && !sm[0].name.empty() && sm[1].dims[0].member == sm[0].name;
        }
      }
      for (const auto& d : m.dims) {
        int32_t k = -1;
        if (!d.member.empty()) {
          for (size_t j = 0; j < mi; ++j) {
            if (tp->members[j].name == d.member) {
              k = static_cast<int32_t>(j);
              break;
            }
          }
        }
        wm.dimMember.push_back(k);
      }
    }
    return w;
  }

  // n scalars of one type, read as n ReadScalar calls would read them, but a
  // whole run of a binary list, or a plain text number, at a time.
  void ReadScalars(Object* o, ValueType type, uint64_t n) {
    std::vector<uint32_t>& values = o->bits_;
    // Room for the list under way if longer (the rest of the object's data,
    // as a rule), within what the input can still hold, growing geometrically.
    const uint64_t room = std::min(std::max<uint64_t>(n, lex_->ListLeft()), lex_->ScalarBound());
    if (values.capacity() - values.size() < room)
      values.reserve(std::max<size_t>(values.size() + room, values.capacity() * 2));
    const bool fast = type == ValueType::Float || type == ValueType::Double ||
                      type == ValueType::Dword || type == ValueType::SDword;
    while (n > 0) {
      if (fast) {
        if (lex_->binary()) {
          const size_t took = lex_->TakeListItems(type, n, &values);
          if (took > 0) {
            o->NoteType(type);
            n -= took;
            continue;
          }
        } else if (lex_->TakeTextNumber(type, &values)) {
          --n;
          while (n > 0 && lex_->TakeTextNumber(type, &values)) --n;
          o->NoteType(type);
          continue;
        }
      }
      ReadScalar(o, type);
      --n;
    }
  }

  // count records of a DWORD count and that many DWORDs, read as ParseData
  // reads them, without its walk for each record.
  void ReadCountedRecords(const Template* sub, Object* o, uint64_t count) {
    uint64_t i = 0;
    while (i < count) {
      if (lex_->binary()) {
        const uint64_t took = lex_->TakeCountedRecords(count - i, &o->bits_);
        if (took > 0) {
          o->NoteType(ValueType::Dword);
          i += took;
          continue;
        }
      }
      ++i;
      ReadScalars(o, ValueType::Dword, 1);
      const uint32_t n = o->bits_.back();
      if (n > lex_->ScalarBound()) {
        lex_->FailAt(lex_->Peek(), "array '" + sub->members[1].name + "' of " + std::to_string(n) +
                                       " elements runs past the end of the file");
      }
      ReadScalars(o, ValueType::Dword, n);
    }
  }

  void ReadScalar(Object* o, ValueType type) {
    bool isFloat;
    uint32_t bits;
    if (lex_->TakeListItem(&isFloat, &bits)) {
      if (type == ValueType::Float || type == ValueType::Double) {
        if (!isFloat) bits = std::bit_cast<uint32_t>(static_cast<float>(bits));
        Push(o, type, bits);
        return;
      }
      if (!isFloat && type == ValueType::Dword) {
        Push(o, type, bits);
        return;
      }
      ListItemSlow(o, type, isFloat, bits);
      return;
    }
    Token t = lex_->Next();
    while (IsSeparator(t)) t = lex_->Next();
    ReadScalarToken(o, type, t);
  }

  void ReadScalarToken(Object* o, ValueType type, const Token& t) {
    Value v;
    v.type = type;
    switch (type) {
      case ValueType::Float:
      case ValueType::Double:
        if (t.kind == Tok::Float) {
          v.bits = std::bit_cast<uint32_t>(t.f);
        } else if (t.kind == Tok::Int) {
          v.bits = std::bit_cast<uint32_t>(static_cast<float>(t.i));
        } else {
          Unexpected(t, "a number");
        }
        break;
      case ValueType::String:
        if (t.kind == Tok::String || (lex_->binary() && t.kind == Tok::Name && !t.keyword)) {
          v.bits = static_cast<uint32_t>(o->strings_.size());
          o->strings_.emplace_back(t.text);
        } else {
          Unexpected(t, "a string");
        }
        break;
      default: {
        if (t.kind != Tok::Int) Unexpected(t, "an integer");
        int64_t lo = 0, hi = 0;
        switch (type) {
          case ValueType::Word:
            lo = 0;
            hi = 0xFFFF;
            break;
          case ValueType::Dword:
            lo = INT32_MIN;
            hi = UINT32_MAX;
            break;
          case ValueType::Char:
            lo = -128;
            hi = 255;
            break;
          case ValueType::UChar:
            lo = 0;
            hi = 255;
            break;
          case ValueType::SWord:
            lo = -32768;
            hi = 0xFFFF;
            break;
          default:
            lo = INT32_MIN;
            hi = UINT32_MAX;
            break;
        }
        if (t.i < lo || t.i > hi)
          lex_->FailAt(t, "integer " + std::to_string(t.i) + " out of range");
        v.bits = static_cast<uint32_t>(t.i);
        break;
      }
    }
    Push(o, v.type, v.bits);
  }

  static void Push(Object* o, ValueType type, uint32_t bits) {
    o->bits_.push_back(bits);
    o->NoteType(type);
  }

  // A list item for a member the fast path does not take: range checks and errors.
  void ListItemSlow(Object* o, ValueType type, bool isFloat, uint32_t bits) {
    const Token& next = lex_->Peek();
    Token t;
    t.offset = next.offset;
    t.kind = isFloat ? Tok::Float : Tok::Int;
    if (isFloat) {
      t.f = std::bit_cast<float>(bits);
    } else {
      t.i = bits;
    }
    ReadScalarToken(o, type, t);
  }

  [[noreturn]] void Unexpected(const Token& t, const char* wanted) {
    if (t.kind == Tok::End)
      lex_->FailAt(t, std::string("file ends where ") + wanted + " was expected");
    lex_->FailAt(t, std::string("expected ") + wanted + ", found " + TokName(t.kind));
  }

  void ParseData(const Template* tp, Object* o, uint32_t depth) {
    ParseData(tp, WalkOf(tp, depth), o, depth);
  }

  void ParseData(const Template* tp, const Walk& walk, Object* o, uint32_t depth) {
    if (depth > limits_.maxTemplateDepth) {
      Fail("templates nested too deeply in " + tp->name, lex_->Peek().offset, lex_->Peek().line);
    }
    // Integer members' values, for the array sizes that name them.
    uint32_t small[16] = {};
    std::vector<uint32_t> big;
    uint32_t* scope = small;
    if (tp->members.size() > 16) {
      big.assign(tp->members.size(), 0);
      scope = big.data();
    }
    for (size_t mi = 0; mi < tp->members.size(); ++mi) {
      const TemplateMember& m = tp->members[mi];
      const Walk::Member& wm = walk.members[mi];
      const Template* sub = wm.sub;
      if (!m.typeName.empty() && !sub) {
        const Token& t = lex_->Peek();
        lex_->FailAt(t, "unknown member type '" + m.typeName + "' in template " + tp->name);
      }
      uint64_t count = 1;
      uint64_t bound = lex_->ScalarBound();
      uint64_t per = sub ? MinScalars(sub, depth + 1) : 1;
      for (size_t di = 0; di < m.dims.size(); ++di) {
        uint64_t n = m.dims[di].constant;
        if (!m.dims[di].member.empty()) {
          const int32_t k = wm.dimMember[di];
          n = k >= 0 ? scope[k] : 0;
        }
        count *= n;
        if (per != 0 && count > bound / per) {
          const Token& t = lex_->Peek();
          lex_->FailAt(t, "array '" + m.name + "' of " + std::to_string(n) +
                              " elements runs past the end of the file");
        }
        if (count == 0) break;
      }
      if (per == 0) continue;
      if (!sub) {
        ReadScalars(o, m.primitive, count);
      } else if (wm.flat.length > 0 && depth + wm.flat.nesting <= limits_.maxTemplateDepth) {
        ReadScalars(o, wm.flat.type, count * wm.flat.length);
      } else if (wm.counted && depth + 1 <= limits_.maxTemplateDepth) {
        ReadCountedRecords(sub, o, count);
      } else if (count > 0) {
        const Walk& subWalk = WalkOf(sub, depth + 1);
        for (uint64_t i = 0; i < count; ++i) ParseData(sub, subWalk, o, depth + 1);
      }
      if (!sub && m.dims.empty() && IsIntegerType(m.primitive)) scope[mi] = o->bits_.back();
    }
  }

  void SkipBraces(const std::string& what, size_t offset, uint32_t line) {
    int depth = 1;
    while (depth > 0) {
      Token t = lex_->Next();
      if (t.kind == Tok::End) Fail("file ends inside object '" + what + "'", offset, line);
      if (t.kind == Tok::LBrace) {
        if (++depth > static_cast<int>(limits_.maxObjectDepth) * 4)
          Fail("braces nested too deeply", t.offset, t.line);
      } else if (t.kind == Tok::RBrace) {
        --depth;
      }
    }
  }

  const Object* ParseObject(uint32_t depth) {
    Token head = lex_->Next();
    if (depth > limits_.maxObjectDepth) lex_->FailAt(head, "objects nested too deeply");
    Token t = lex_->Next();
    std::string_view name;
    if (t.kind == Tok::Name && !t.keyword) {
      name = t.text;
      t = lex_->Next();
    }
    if (t.kind != Tok::LBrace)
      Unexpected(t, ("'{' after '" + std::string(head.text) + "'").c_str());
    const Template* tp = Lookup(head.text);
    if (!tp) {
      if (lex_->Peek().kind == Tok::Guid) lex_->Next();
      SkipBraces(std::string(head.text), head.offset, head.line);
      return nullptr;
    }
    file_->all_.push_back(std::unique_ptr<Object>(new Object));
    Object* o = file_->all_.back().get();
    o->templateName_ = tp->name;
    o->templateGuid_ = tp->guid;
    o->name_ = std::string(name);
    o->offset_ = head.offset;
    if (lex_->Peek().kind == Tok::Guid) o->instanceGuid_ = lex_->Next().guid;
    ParseData(tp, o, 0);
    for (;;) {
      const Token& c = lex_->Peek();
      if (IsSeparator(c)) {
        lex_->Next();
      } else if (c.kind == Tok::RBrace) {
        lex_->Next();
        return o;
      } else if (c.kind == Tok::LBrace) {
        lex_->Next();
        Child ref;
        ref.kind = Child::Kind::Reference;
        Token r = lex_->Next();
        if (r.kind == Tok::Name && !r.keyword) {
          ref.name = std::string(r.text);
          r = lex_->Next();
        }
        if (r.kind == Tok::Guid) {
          ref.guid = r.guid;
          r = lex_->Next();
        }
        if (r.kind != Tok::RBrace || (ref.name.empty() && ref.guid.IsNull())) {
          Unexpected(r, "a reference '{ name }'");
        }
        o->children_.push_back(std::move(ref));
      } else if (c.kind == Tok::Name && !c.keyword) {
        const Object* child = ParseObject(depth + 1);
        if (child) {
          Child ch;
          ch.object = child;
          o->children_.push_back(std::move(ch));
        }
      } else if (c.kind == Tok::End) {
        lex_->FailAt(head, "file ends inside object '" + std::string(head.text) + "'");
      } else {
        lex_->FailAt(c, std::string("unexpected ") + TokName(c.kind) + " in object '" +
                            std::string(head.text) + "'");
      }
    }
  }

  void Resolve() {
    std::unordered_map<std::string_view, const Object*> byName;
    for (const auto& o : file_->all_) {
      if (!o->name_.empty()) byName.emplace(o->name_, o.get());
    }
    for (const auto& o : file_->all_) {
      for (Child& c : o->children_) {
        if (c.kind != Child::Kind::Reference) continue;
        if (!c.name.empty()) {
          auto it = byName.find(c.name);
          if (it != byName.end()) c.object = it->second;
        } else {
          for (const auto& t : file_->all_) {
            if (t->instanceGuid_ == c.guid) {
              c.object = t.get();
              break;
            }
          }
        }
      }
    }
  }

  File* file_;
  Limits limits_;
  const std::vector<Template>* fallback_;
  Lexer* lex_ = nullptr;
  std::unordered_map<const Template*, uint64_t> minScalars_;
  std::unordered_map<const Template*, Flat> flat_;
  std::unordered_map<const Template*, Walk> walks_;
};

// ---------------------------------------------------------------------------

File::File() = default;
File::~File() = default;

std::unique_ptr<File> File::LoadMemory(const void* data, size_t size, Error* error,
                                       const Limits& limits) {
  std::unique_ptr<File> file(new File);
  Parser parser(file.get(), limits, &StandardTemplates());
  if (!data) size = 0;
  static const uint8_t kEmpty = 0;
  if (!parser.Run(data ? static_cast<const uint8_t*>(data) : &kEmpty, size, error)) return nullptr;
  return file;
}

std::unique_ptr<File> File::Load(std::string_view path, Error* error, const Limits& limits) {
  std::vector<uint8_t> bytes;
  if (!ReadGameFile(path, &bytes, FileKind::Model)) {
    if (error) *error = Error{"cannot read '" + std::string(path) + "'", 0, 0};
    return nullptr;
  }
  return LoadMemory(bytes.data(), bytes.size(), error, limits);
}

const Template* File::FindTemplate(std::string_view name) const {
  for (const Template& t : declared_) {
    if (t.name == name) return &t;
  }
  return FindStandardTemplate(name);
}

const Object* File::FindObject(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& o : all_) {
    if (o->Name() == name) return o.get();
  }
  return nullptr;
}

const std::vector<Template>& StandardTemplates() {
  static const std::vector<Template> kTemplates = [] {
    Error err;
    Limits limits;
    std::unique_ptr<File> f(new File);
    Parser parser(f.get(), limits, nullptr);
    parser.Run(reinterpret_cast<const uint8_t*>(kStandardTemplateText),
               sizeof kStandardTemplateText - 1, &err);
    return f->declared_;
  }();
  return kTemplates;
}

const Template* FindStandardTemplate(std::string_view name) {
  for (const Template& t : StandardTemplates()) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

}  // namespace port::x
