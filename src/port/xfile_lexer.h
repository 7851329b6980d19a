#pragma once
// The .X reader's token streams over the text and the binary encodings, with
// the fast paths the data parser takes through number lists. Internal to the
// reader (xfile.cpp).
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "port/xfile.h"

namespace port::x::detail {

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

inline const char* TokName(Tok t) {
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

constexpr bool IsNameChar(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == '+' || c >= 0x80;
}

// Per byte: 0 not a name character, 1 an ASCII one, 2 a byte from 0x80 up.
constexpr std::array<uint8_t, 256> kNameChars = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = IsNameChar(static_cast<uint8_t>(c)) ? (c >= 0x80 ? 2 : 1) : 0;
  return t;
}();

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
  // Fast path for data: up to `count` items of the binary number list under
  // way, their bits appended to *out, when they need no conversion or range
  // check as values of `type` (floats for FLOAT or DOUBLE, integers for DWORD
  // or SDWORD). Returns how many were taken.
  size_t TakeListItems(ValueType type, uint64_t count, std::vector<uint32_t>* out) {
    if (hasPeek_ || (listLeft_ == 0 && !OpenList())) return 0;
    const bool wantFloat = type == ValueType::Float || type == ValueType::Double;
    if (listFloat_ != wantFloat) return 0;
    if (!wantFloat && type != ValueType::Dword && type != ValueType::SDword) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, listLeft_));
    listLeft_ -= static_cast<uint32_t>(n);
    const size_t at = out->size();
    out->resize(at + n);
    uint32_t* v = out->data() + at;
    const uint8_t* src = p_ + pos_;
    if (wantFloat && floatBits_ == 64) {
      for (size_t i = 0; i < n; ++i) {
        double d;
        std::memcpy(&d, src + i * 8, 8);
        v[i] = std::bit_cast<uint32_t>(static_cast<float>(d));
      }
      pos_ += n * 8;
    } else {
      std::memcpy(v, src, n * 4);
      pos_ += n * 4;
    }
    return n;
  }

  // Fast path for arrays of records of a DWORD count and that many DWORDs
  // (MeshFace): up to `records` whole records from the binary integer list
  // under way, their bits appended to *out. Returns how many were taken; a
  // record the list does not hold whole is left to the general path.
  uint64_t TakeCountedRecords(uint64_t records, std::vector<uint32_t>* out) {
    if (hasPeek_ || (listLeft_ == 0 && !OpenList()) || listFloat_) return 0;
    const uint8_t* src = p_ + pos_;
    size_t used = 0, left = listLeft_;
    uint64_t done = 0;
    while (done < records && left > 0) {
      uint32_t n;
      std::memcpy(&n, src + used * 4, 4);
      if (n > left - 1) break;
      used += size_t{n} + 1;
      left -= size_t{n} + 1;
      ++done;
    }
    const size_t at = out->size();
    out->resize(at + used);
    std::memcpy(out->data() + at, src, used * 4);
    pos_ += used * 4;
    listLeft_ = static_cast<uint32_t>(left);
    return done;
  }
  // Opens the binary number list that comes next, if one does and its header
  // is sound (else the token path reads it and reports the fault). Empty
  // lists are passed over, as the token path does.
  bool OpenList() {
    while (binary_ && !hasPeek_ && listLeft_ == 0 && Need(6)) {
      uint16_t id;
      uint32_t n;
      std::memcpy(&id, p_ + pos_, 2);
      std::memcpy(&n, p_ + pos_ + 2, 4);
      if (id != 6 && id != 7) return false;
      const size_t item = (id == 7 && floatBits_ == 64) ? 8 : 4;
      if (n > (size_ - pos_ - 6) / item) return false;
      pos_ += 6;
      listLeft_ = n;
      listFloat_ = id == 7;
    }
    return listLeft_ > 0;
  }

  // Items left in the binary number list under way.
  uint32_t ListLeft() const { return hasPeek_ ? 0 : listLeft_; }

  // Fast path for data in text: separators and white space, then a plain
  // ASCII number read as `type` (FLOAT, DOUBLE, DWORD or SDWORD), its bits
  // appended to *out. False when anything else comes, having consumed only
  // separators and white space: the token path then reads it and reports its
  // errors.
  bool TakeTextNumber(ValueType type, std::vector<uint32_t>* out) {
    if (hasPeek_ || binary_) return false;
    for (;;) {
      if (pos_ >= size_) return false;
      const uint8_t c = p_[pos_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r' && c != ',' && c != ';') {
        break;
      }
      ++pos_;
    }
    const uint8_t c = p_[pos_];
    const bool digitNext = pos_ + 1 < size_ && p_[pos_ + 1] >= '0' && p_[pos_ + 1] <= '9';
    if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || (c == '.' && digitNext))) return false;
    size_t end = pos_;
    for (uint8_t k; end < size_ && (k = kNameChars[p_[end]]) != 0; ++end) {
      if (k == 2) return false;
    }
    std::string_view num(reinterpret_cast<const char*>(p_ + pos_), end - pos_);
    if (num[0] == '+') num.remove_prefix(1);
    // An integer: digits after an optional '-' (not alone); short ones summed here.
    const bool minus = !num.empty() && num[0] == '-' && num.size() > 1;
    bool isInt = !num.empty();
    uint64_t magnitude = 0;
    for (size_t k = minus ? 1 : 0; k < num.size() && isInt; ++k) {
      const char d = num[k];
      if (d >= '0' && d <= '9') {
        magnitude = magnitude * 10 + static_cast<uint64_t>(d - '0');
      } else {
        isInt = false;
      }
    }
    const bool wantFloat = type == ValueType::Float || type == ValueType::Double;
    uint32_t bits = 0;
    if (isInt) {
      int64_t v = minus ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
      if (num.size() > 18) {
        auto r = std::from_chars(num.data(), num.data() + num.size(), v);
        if (r.ec != std::errc() || r.ptr != num.data() + num.size()) return false;
      }
      if (wantFloat) {
        bits = std::bit_cast<uint32_t>(static_cast<float>(v));
      } else if (type == ValueType::Dword || type == ValueType::SDword) {
        if (v < INT32_MIN || v > UINT32_MAX) return false;
        bits = static_cast<uint32_t>(v);
      } else {
        return false;
      }
    } else {
      if (!wantFloat) return false;
      float f = 0;
      auto r = std::from_chars(num.data(), num.data() + num.size(), f);
      if (r.ec != std::errc() || r.ptr != num.data() + num.size()) return false;
      bits = std::bit_cast<uint32_t>(f);
    }
    out->push_back(bits);
    pos_ = end;
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

}  // namespace port::x::detail
