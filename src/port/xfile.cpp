#include "port/xfile.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "port/path.h"

namespace port::x {

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

enum class Tok : uint8_t {
  End,
  Name,
  String,
  Int,
  Float,
  Guid,
  LBrace,
  RBrace,
  LParen,
  RParen,
  LBracket,
  RBracket,
  LAngle,
  RAngle,
  Dot,
  Comma,
  Semicolon
};

struct Token {
  Tok kind = Tok::End;
  bool keyword = false;  // "template" or "array" in their language role
  std::string_view text;
  int64_t i = 0;
  float f = 0;
  Guid guid;
  size_t offset = 0;
  uint32_t line = 0;
};

const char* TokName(Tok t) {
  switch (t) {
    case Tok::End:
      return "end of file";
    case Tok::Name:
      return "a name";
    case Tok::String:
      return "a string";
    case Tok::Int:
      return "an integer";
    case Tok::Float:
      return "a float";
    case Tok::Guid:
      return "a GUID";
    case Tok::LBrace:
      return "'{'";
    case Tok::RBrace:
      return "'}'";
    case Tok::LParen:
      return "'('";
    case Tok::RParen:
      return "')'";
    case Tok::LBracket:
      return "'['";
    case Tok::RBracket:
      return "']'";
    case Tok::LAngle:
      return "'<'";
    case Tok::RAngle:
      return "'>'";
    case Tok::Dot:
      return "'.'";
    case Tok::Comma:
      return "','";
    case Tok::Semicolon:
      return "';'";
  }
  return "?";
}

struct ParseError {
  std::string message;
  size_t offset;
  uint32_t line;
};

// Token streams over the two encodings. Binary number lists are handed out
// one item at a time, so the data parser is the same for both.
class Lexer {
 public:
  Lexer(const uint8_t* data, size_t size, size_t start, bool binary, uint32_t floatBits)
      : p_(data), size_(size), pos_(start), binary_(binary), floatBits_(floatBits) {}

  const Token& Peek() {
    if (!hasPeek_) {
      peek_ = binary_ ? LexBinary() : LexText();
      hasPeek_ = true;
    }
    return peek_;
  }
  Token Next() {
    Peek();
    hasPeek_ = false;
    return peek_;
  }
  // Fast path for data: the next item of a binary number list, if that is
  // what comes next.
  bool TakeListItem(bool* isFloat, uint32_t* bits) {
    if (hasPeek_ || listLeft_ == 0) return false;
    --listLeft_;
    *isFloat = listFloat_;
    if (listFloat_ && floatBits_ == 64) {
      double d;
      std::memcpy(&d, p_ + pos_, 8);
      pos_ += 8;
      *bits = std::bit_cast<uint32_t>(static_cast<float>(d));
    } else {
      *bits = U32();
    }
    return true;
  }
  // An upper bound on the number of scalar values left in the input.
  // Never peeks, so the list fast path stays open.
  uint64_t ScalarBound() const {
    size_t from = hasPeek_ ? std::min(peek_.offset, size_) : std::min(pos_, size_);
    if (!binary_) return size_ - from + 1;
    return uint64_t{listLeft_} + 1 + (size_ - from) / 4;
  }
  [[noreturn]] void Fail(const std::string& msg, size_t offset, uint32_t line) const {
    throw ParseError{msg, offset, line};
  }
  [[noreturn]] void FailAt(const Token& t, const std::string& msg) const {
    throw ParseError{msg, t.offset, t.line};
  }
  bool binary() const { return binary_; }

 private:
  Token Make(Tok k, size_t offset) {
    Token t;
    t.kind = k;
    t.offset = offset;
    t.line = binary_ ? 0 : line_;
    return t;
  }

  static bool IsNameChar(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == '+' || c >= 0x80;
  }

  Token LexText() {
    for (;;) {
      if (pos_ >= size_) return Make(Tok::End, size_);
      uint8_t c = p_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || c == 0) {
        ++pos_;
      } else if (c == '#' || (c == '/' && pos_ + 1 < size_ && p_[pos_ + 1] == '/')) {
        while (pos_ < size_ && p_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
    size_t start = pos_;
    uint8_t c = p_[pos_];
    auto punct = [&](Tok k) {
      ++pos_;
      return Make(k, start);
    };
    switch (c) {
      case '{':
        return punct(Tok::LBrace);
      case '}':
        return punct(Tok::RBrace);
      case '(':
        return punct(Tok::LParen);
      case ')':
        return punct(Tok::RParen);
      case '[':
        return punct(Tok::LBracket);
      case ']':
        return punct(Tok::RBracket);
      case ',':
        return punct(Tok::Comma);
      case ';':
        return punct(Tok::Semicolon);
      case '>':
        return punct(Tok::RAngle);
      default:
        break;
    }
    if (c == '.' && !(pos_ + 1 < size_ && p_[pos_ + 1] >= '0' && p_[pos_ + 1] <= '9')) {
      return punct(Tok::Dot);
    }
    if (c == '"') {
      Token t = Make(Tok::String, start);
      size_t end = ++pos_;
      while (end < size_ && p_[end] != '"') {
        if (p_[end] == '\n') ++line_;
        ++end;
      }
      if (end >= size_) Fail("unterminated string", start, t.line);
      t.text = std::string_view(reinterpret_cast<const char*>(p_ + pos_), end - pos_);
      pos_ = end + 1;
      return t;
    }
    if (c == '<') {
      Token t = Make(Tok::Guid, start);
      size_t end = pos_ + 1;
      while (end < size_ && end - pos_ < 48 && p_[end] != '>') ++end;
      if (end >= size_ || p_[end] != '>') Fail("unterminated GUID", start, t.line);
      std::string_view body(reinterpret_cast<const char*>(p_ + pos_ + 1), end - pos_ - 1);
      if (!Guid::Parse(body, &t.guid)) Fail("malformed GUID", start, t.line);
      pos_ = end + 1;
      return t;
    }
    if (!IsNameChar(c))
      Fail(std::string("unexpected character '") + static_cast<char>(c) + "'", start, line_);
    size_t end = pos_;
    while (end < size_ && IsNameChar(p_[end])) {
      // A Shift-JIS lead byte takes the next byte whatever it is ('[' or '\\' included).
      uint8_t b = p_[end];
      bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      end += (lead && end + 1 < size_) ? 2 : 1;
    }
    std::string_view run(reinterpret_cast<const char*>(p_ + pos_), end - pos_);
    pos_ = end;
    Token t = Make(Tok::Name, start);
    t.text = run;
    bool numeric = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
    if (numeric) {
      std::string_view num = run;
      if (!num.empty() && num[0] == '+') num.remove_prefix(1);
      bool isInt = !num.empty();
      for (size_t k = 0; k < num.size(); ++k) {
        char d = num[k];
        if (!((d >= '0' && d <= '9') || (k == 0 && d == '-' && num.size() > 1))) isInt = false;
      }
      if (isInt) {
        int64_t v = 0;
        auto r = std::from_chars(num.data(), num.data() + num.size(), v);
        if (r.ec != std::errc() || r.ptr != num.data() + num.size())
          Fail("integer out of range", start, t.line);
        t.kind = Tok::Int;
        t.i = v;
        return t;
      }
      float f = 0;
      auto r = std::from_chars(num.data(), num.data() + num.size(), f);
      if (r.ec == std::errc::result_out_of_range) Fail("number out of range", start, t.line);
      if (r.ec == std::errc() && r.ptr == num.data() + num.size()) {
        t.kind = Tok::Float;
        t.f = f;
      }
      return t;  // not a number: a name such as "1stFrame"
    }
    if (run == "template" || run == "array") t.keyword = true;
    return t;
  }

  bool Need(size_t n) const { return n <= size_ - pos_; }
  uint16_t U16() {
    uint16_t v;
    std::memcpy(&v, p_ + pos_, 2);
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    uint32_t v;
    std::memcpy(&v, p_ + pos_, 4);
    pos_ += 4;
    return v;
  }

  Token LexBinary() {
    for (;;) {
      if (listLeft_ > 0) {
        --listLeft_;
        Token t = Make(listFloat_ ? Tok::Float : Tok::Int, pos_);
        if (!listFloat_) {
          t.i = U32();
        } else if (floatBits_ == 64) {
          double d;
          std::memcpy(&d, p_ + pos_, 8);
          pos_ += 8;
          t.f = static_cast<float>(d);
        } else {
          std::memcpy(&t.f, p_ + pos_, 4);
          pos_ += 4;
        }
        return t;
      }
      if (pos_ >= size_) return Make(Tok::End, size_);
      size_t start = pos_;
      if (!Need(2)) Fail("truncated token", start, 0);
      uint16_t id = U16();
      Token t = Make(Tok::End, start);
      switch (id) {
        case 1:
        case 2: {
          if (!Need(4)) Fail("truncated name or string length", start, 0);
          uint32_t n = U32();
          if (!Need(n)) Fail("name or string runs past the end of the file", start, 0);
          t.kind = id == 1 ? Tok::Name : Tok::String;
          t.text = std::string_view(reinterpret_cast<const char*>(p_ + pos_), n);
          pos_ += n;
          if (id == 2 && Need(2)) {  // the string's terminator
            uint16_t term;
            std::memcpy(&term, p_ + pos_, 2);
            if (term == 19 || term == 20) pos_ += 2;
          }
          return t;
        }
        case 3:
          if (!Need(4)) Fail("truncated integer", start, 0);
          t.kind = Tok::Int;
          t.i = U32();
          return t;
        case 5:
          if (!Need(16)) Fail("truncated GUID", start, 0);
          t.kind = Tok::Guid;
          t.guid.data1 = U32();
          t.guid.data2 = U16();
          t.guid.data3 = U16();
          std::memcpy(t.guid.data4, p_ + pos_, 8);
          pos_ += 8;
          return t;
        case 6:
        case 7: {
          if (!Need(4)) Fail("truncated list length", start, 0);
          uint32_t n = U32();
          size_t item = (id == 7 && floatBits_ == 64) ? 8 : 4;
          if (n > (size_ - pos_) / item) Fail("list runs past the end of the file", start, 0);
          listLeft_ = n;
          listFloat_ = id == 7;
          continue;
        }
        case 10:
          t.kind = Tok::LBrace;
          return t;
        case 11:
          t.kind = Tok::RBrace;
          return t;
        case 12:
          t.kind = Tok::LParen;
          return t;
        case 13:
          t.kind = Tok::RParen;
          return t;
        case 14:
          t.kind = Tok::LBracket;
          return t;
        case 15:
          t.kind = Tok::RBracket;
          return t;
        case 16:
          t.kind = Tok::LAngle;
          return t;
        case 17:
          t.kind = Tok::RAngle;
          return t;
        case 18:
          t.kind = Tok::Dot;
          return t;
        case 19:
          t.kind = Tok::Comma;
          return t;
        case 20:
          t.kind = Tok::Semicolon;
          return t;
        case 31:
          t.kind = Tok::Name;
          t.keyword = true;
          t.text = "template";
          return t;
        case 52:
          t.kind = Tok::Name;
          t.keyword = true;
          t.text = "array";
          return t;
        default:
          break;
      }
      static constexpr const char* kTypeWords[] = {"WORD", "DWORD",  "FLOAT",   "DOUBLE",
                                                   "CHAR", "UCHAR",  "SWORD",   "SDWORD",
                                                   "VOID", "STRING", "UNICODE", "CSTRING"};
      if (id >= 40 && id <= 51) {
        t.kind = Tok::Name;
        t.text = kTypeWords[id - 40];
        return t;
      }
      Fail("unknown token " + std::to_string(id), start, 0);
    }
  }

  const uint8_t* p_;
  size_t size_;
  size_t pos_;
  bool binary_;
  uint32_t floatBits_;
  uint32_t line_ = 1;
  uint32_t listLeft_ = 0;
  bool listFloat_ = false;
  bool hasPeek_ = false;
  Token peek_;
};

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

const Value* DataReader::Next() {
  if (!ok_ || pos_ >= object_->Values().size()) {
    ok_ = false;
    return nullptr;
  }
  return &object_->Values()[pos_];
}

bool DataReader::ReadDword(uint32_t* out) {
  const Value* v = Next();
  if (!v || !IsIntegerType(v->type)) return ok_ = false;
  *out = v->bits;
  ++pos_;
  return true;
}

bool DataReader::ReadWord(uint16_t* out) {
  const Value* v = Next();
  if (!v || !IsIntegerType(v->type) || v->bits > 0xFFFF) return ok_ = false;
  *out = static_cast<uint16_t>(v->bits);
  ++pos_;
  return true;
}

bool DataReader::ReadFloat(float* out) {
  const Value* v = Next();
  if (!v || (v->type != ValueType::Float && v->type != ValueType::Double)) return ok_ = false;
  *out = std::bit_cast<float>(v->bits);
  ++pos_;
  return true;
}

bool DataReader::ReadFloats(float* out, size_t count) {
  if (!ok_ || count > Remaining()) return ok_ = false;
  const Value* v = object_->Values().data() + pos_;
  for (size_t i = 0; i < count; ++i) {
    if (v[i].type != ValueType::Float && v[i].type != ValueType::Double) return ok_ = false;
  }
  for (size_t i = 0; i < count; ++i) out[i] = std::bit_cast<float>(v[i].bits);
  pos_ += count;
  return true;
}

bool DataReader::ReadString(std::string* out) {
  const Value* v = Next();
  if (!v || v->type != ValueType::String || v->bits >= object_->Strings().size())
    return ok_ = false;
  *out = object_->Strings()[v->bits];
  ++pos_;
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

size_t DataReader::Remaining() const { return object_->Values().size() - pos_; }

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

  void ReadScalar(Object* o, ValueType type) {
    bool isFloat;
    uint32_t bits;
    if (lex_->TakeListItem(&isFloat, &bits)) {
      if (type == ValueType::Float || type == ValueType::Double) {
        if (!isFloat) bits = std::bit_cast<uint32_t>(static_cast<float>(bits));
        o->values_.push_back(Value{type, bits});
        return;
      }
      if (!isFloat && type == ValueType::Dword) {
        o->values_.push_back(Value{type, bits});
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
    o->values_.push_back(v);
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
      const Template* sub = nullptr;
      if (!m.typeName.empty()) {
        sub = Lookup(m.typeName);
        if (!sub) {
          const Token& t = lex_->Peek();
          lex_->FailAt(t, "unknown member type '" + m.typeName + "' in template " + tp->name);
        }
      }
      uint64_t count = 1;
      uint64_t bound = lex_->ScalarBound();
      uint64_t per = sub ? MinScalars(sub, depth + 1) : 1;
      for (const auto& d : m.dims) {
        uint64_t n = d.constant;
        if (!d.member.empty()) {
          size_t k = 0;
          while (k < mi && tp->members[k].name != d.member) ++k;
          n = k < mi ? scope[k] : 0;
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
      for (uint64_t i = 0; i < count; ++i) {
        if (sub) {
          ParseData(sub, o, depth + 1);
        } else {
          ReadScalar(o, m.primitive);
        }
      }
      if (!sub && m.dims.empty() && IsIntegerType(m.primitive)) scope[mi] = o->values_.back().bits;
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
