#include "datagen/xwriter.h"

#include <charconv>
#include <cstring>

namespace datagen {

XNode& XNode::Int(uint32_t v, const char* sep) {
  XItem it;
  it.type = XItem::Int;
  it.i = v;
  it.sep = sep;
  items.push_back(std::move(it));
  return *this;
}

XNode& XNode::Float(float v, const char* sep) {
  XItem it;
  it.type = XItem::Float;
  it.f = v;
  it.sep = sep;
  items.push_back(std::move(it));
  return *this;
}

XNode& XNode::Str(std::string v, const char* sep) {
  XItem it;
  it.type = XItem::Str;
  it.s = std::move(v);
  it.sep = sep;
  items.push_back(std::move(it));
  return *this;
}

XNode& XNode::Add(XNode child) {
  children.push_back(std::move(child));
  return children.back();
}

XNode& XNode::Ref(std::string target) {
  XNode r;
  r.isRef = true;
  r.name = std::move(target);
  children.push_back(std::move(r));
  return *this;
}

std::string FormatFloat(float v) {
  if (v == 0.0f) v = 0.0f;  // no "-0.000000"
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  std::string s(buf, res.ptr);
  if (s == "-0.000000") s = "0.000000";
  return s;
}

namespace {

void TextNode(const XNode& n, int depth, std::string& out) {
  std::string pad(static_cast<size_t>(depth), ' ');
  if (n.isRef) {
    out += pad + "{" + n.name + "}\n";
    return;
  }
  out += pad + n.templ;
  if (!n.name.empty()) out += " " + n.name;
  out += " {\n";
  if (!n.items.empty()) {
    out += pad + " ";
    for (const XItem& it : n.items) {
      switch (it.type) {
        case XItem::Int:
          out += std::to_string(it.i);
          break;
        case XItem::Float:
          out += FormatFloat(it.f);
          break;
        case XItem::Str:
          out += "\"" + it.s + "\"";
          break;
      }
      for (char c : it.sep) {
        out += c;
        if (c == '\n') out += pad + " ";
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.back() != '\n') out += '\n';
  }
  for (const XNode& c : n.children) TextNode(c, depth + 1, out);
  out += pad + "}\n";
}

enum Token : uint16_t {
  kName = 1,
  kString = 2,
  kIntList = 6,
  kFloatList = 7,
  kOBrace = 10,
  kCBrace = 11,
  kComma = 19,
  kSemicolon = 20,
};

void Put16(std::string& o, uint16_t v) {
  o += static_cast<char>(v & 0xFF);
  o += static_cast<char>(v >> 8);
}

void Put32(std::string& o, uint32_t v) {
  for (int k = 0; k < 4; ++k) o += static_cast<char>((v >> (8 * k)) & 0xFF);
}

void PutName(std::string& o, const std::string& s) {
  Put16(o, kName);
  Put32(o, static_cast<uint32_t>(s.size()));
  o += s;
}

void BinaryNode(const XNode& n, std::string& out) {
  if (n.isRef) {
    Put16(out, kOBrace);
    PutName(out, n.name);
    Put16(out, kCBrace);
    return;
  }
  PutName(out, n.templ);
  if (!n.name.empty()) PutName(out, n.name);
  Put16(out, kOBrace);
  // Runs of integers and of floats become one list token each.
  size_t k = 0;
  while (k < n.items.size()) {
    const XItem& it = n.items[k];
    if (it.type == XItem::Str) {
      Put16(out, kString);
      Put32(out, static_cast<uint32_t>(it.s.size()));
      out += it.s;
      Put16(out, kSemicolon);
      ++k;
      continue;
    }
    size_t end = k;
    while (end < n.items.size() && n.items[end].type == it.type) ++end;
    Put16(out, it.type == XItem::Int ? kIntList : kFloatList);
    Put32(out, static_cast<uint32_t>(end - k));
    for (size_t j = k; j < end; ++j) {
      uint32_t bits = n.items[j].i;
      if (it.type == XItem::Float) std::memcpy(&bits, &n.items[j].f, 4);
      Put32(out, bits);
    }
    k = end;
  }
  for (const XNode& c : n.children) BinaryNode(c, out);
  Put16(out, kCBrace);
}

}  // namespace

std::string EncodeXText(const std::vector<XNode>& top) {
  std::string out = "xof 0303txt 0032\n";
  for (const XNode& n : top) {
    out += "\n";
    TextNode(n, 0, out);
  }
  return out;
}

std::string EncodeXBinary(const std::vector<XNode>& top) {
  std::string out = "xof 0303bin 0032";
  for (const XNode& n : top) BinaryNode(n, out);
  return out;
}

}  // namespace datagen
