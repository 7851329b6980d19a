#include "port/text_encoding.h"

#include <iconv.h>

#include <cerrno>

namespace port {

std::string SjisToUtf8(std::string_view sjis) {
  if (sjis.empty()) return {};
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(sjis);
  std::string out;
  out.resize(sjis.size() * 3 + 4);
  char* in = const_cast<char*>(sjis.data());
  size_t inLeft = sjis.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // An invalid or truncated sequence: show a replacement mark and go on.
    if (outLeft < 3) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() + 16);
      dst = out.data() + used;
      outLeft = out.size() - used;
    }
    *dst++ = '?';
    --outLeft;
    ++in;
    --inLeft;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  iconv_close(cd);
  return out;
}

}  // namespace port
