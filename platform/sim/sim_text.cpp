// Text functions of the platform: wsprintfA with the conversions the
// programs use (its output is limited to 1,024 bytes, as the platform's is),
// and the lstr family.
#include <cstdarg>
#include <cstring>
#include <string>

#include "sim.h"

using namespace sim;

int wsprintfA(LPSTR out, LPCSTR format, ...) {
  Enter("wsprintfA", false, format ? std::string("\"") + format + "\"" : "null");
  va_list args;
  va_start(args, format);
  std::string result;
  for (const char *p = format; *p; ++p) {
    if (*p != '%') {
      result += *p;
      continue;
    }
    ++p;
    bool left = false, zero = false;
    for (;; ++p) {
      if (*p == '-') left = true;
      else if (*p == '0') zero = true;
      else break;
    }
    int width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    if (*p == 'l' || *p == 'h') ++p;
    std::string field;
    char buffer[32];
    switch (*p) {
      case 'u': snprintf(buffer, sizeof buffer, "%u", va_arg(args, unsigned)); field = buffer; break;
      case 'd':
      case 'i': snprintf(buffer, sizeof buffer, "%d", va_arg(args, int)); field = buffer; break;
      case 'x': snprintf(buffer, sizeof buffer, "%x", va_arg(args, unsigned)); field = buffer; break;
      case 'X': snprintf(buffer, sizeof buffer, "%X", va_arg(args, unsigned)); field = buffer; break;
      case 'c': field = std::string(1, (char)va_arg(args, int)); break;
      case 's': {
        const char *s = va_arg(args, const char *);
        field = s ? s : "(null)";
        break;
      }
      case '%': field = "%"; break;
      case 0: --p; break;
      default: field = std::string(1, *p); break;
    }
    while ((int)field.size() < width) field = left ? field + " " : (zero ? "0" : " ") + field;
    result += field;
  }
  va_end(args);
  if (result.size() > 1023) result.resize(1023);
  memcpy(out, result.c_str(), result.size() + 1);
  return (int)result.size();
}

// Equal only when the two texts are the same bytes; otherwise ordered by the
// first differing byte. Like the platform's comparison it measures both texts
// whole first, so a text without its zero is read past its end here too
// (where the sanitizer build sees it).
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
  Enter("lstrcmpA", false);
  if (!a) a = "";
  if (!b) b = "";
  size_t la = strlen(a), lb = strlen(b);
  int r = memcmp(a, b, (la < lb ? la : lb) + 1);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int WINAPI lstrlenA(LPCSTR s) {
  Enter("lstrlenA", false);
  return s ? (int)strlen(s) : 0;
}
