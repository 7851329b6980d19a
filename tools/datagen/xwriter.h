#pragma once
// A small .X data model and its two encodings (text and binary tokens).
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct XItem {
  enum Type : uint8_t { Int, Float, Str } type = Int;
  uint32_t i = 0;
  float f = 0.0f;
  std::string s;
  std::string sep;  // what follows the value in the text encoding
};

// A data object, or a reference to a named object ({ name }).
struct XNode {
  std::string templ;
  std::string name;
  bool isRef = false;
  std::vector<XItem> items;
  std::vector<XNode> children;

  XNode() = default;
  XNode(std::string t, std::string n = {}) : templ(std::move(t)), name(std::move(n)) {}

  XNode& Int(uint32_t v, const char* sep = ";");
  XNode& Float(float v, const char* sep = ";");
  XNode& Str(std::string v, const char* sep = ";");
  XNode& Add(XNode child);
  XNode& Ref(std::string target);
};

std::string FormatFloat(float v);

std::string EncodeXText(const std::vector<XNode>& top);
std::string EncodeXBinary(const std::vector<XNode>& top);

}  // namespace datagen
