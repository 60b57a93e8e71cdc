#include <Kestrum/Print.h>

#include <cstdio>

namespace Kestrum {
namespace Detail {

PrintFormatter::PrintFormatter(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  _text = buffer;
}

std::string ASPrintInternal(const char* fmt, const PrintFormatter& a1, const PrintFormatter& a2,
                            const PrintFormatter& a3) {
  std::string out;
  if (!fmt) return out;
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    switch (p[1]) {
      case '1':
        out += a1.GetText();
        ++p;
        break;
      case '2':
        out += a2.GetText();
        ++p;
        break;
      case '3':
        out += a3.GetText();
        ++p;
        break;
      case '%':
        out += '%';
        ++p;
        break;
      default:
        out += '%';
        break;
    }
  }
  return out;
}

}  // namespace Detail
}  // namespace Kestrum
