// Positional formatting.
#pragma once

#include <string>
#include <utility>

namespace Kestrum {
namespace Detail {

// One rendered argument of ASPrintInternal.
class PrintFormatter {
 public:
  PrintFormatter(const std::string& text) : _text(text) {}
  PrintFormatter(const char* text) : _text(text ? text : "(null)") {}
  PrintFormatter(char c) : _text(1, c) {}
  PrintFormatter(bool value) : _text(value ? "true" : "false") {}
  PrintFormatter(int value) : _text(std::to_string(value)) {}
  PrintFormatter(unsigned value) : _text(std::to_string(value)) {}
  PrintFormatter(long value) : _text(std::to_string(value)) {}
  PrintFormatter(unsigned long value) : _text(std::to_string(value)) {}
  PrintFormatter(long long value) : _text(std::to_string(value)) {}
  PrintFormatter(unsigned long long value) : _text(std::to_string(value)) {}
  PrintFormatter(double value);

  const std::string& GetText() const { return _text; }

 protected:
  PrintFormatter() = default;
  void SetText(std::string text) { _text = std::move(text); }

 private:
  std::string _text;
};

// Returns fmt with "%1", "%2" and "%3" replaced by the rendered arguments;
// "%%" gives a single "%", any other "%" stays as it is.
std::string ASPrintInternal(const char* fmt, const PrintFormatter& a1 = PrintFormatter(""),
                            const PrintFormatter& a2 = PrintFormatter(""),
                            const PrintFormatter& a3 = PrintFormatter(""));

}  // namespace Detail
}  // namespace Kestrum
