#pragma once
// Shift-JIS (code page 932) texts are kept as bytes; they become UTF-8 only
// where they are shown.
#include <string>
#include <string_view>

namespace port {
std::string SjisToUtf8(std::string_view sjis);
}
