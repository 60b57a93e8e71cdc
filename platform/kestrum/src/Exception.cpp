#include <Kestrum/Exception.h>
#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <sstream>

namespace Kestrum {

namespace {

// Demangles the function name inside a backtrace_symbols() line
// ("lib.so(_ZN3Foo3barEv+0x12) [0x...]"); returns the line unchanged when it
// holds no mangled name.
std::string DemangleFrame(const char* line) {
  std::string text(line);
  auto open = text.find('(');
  auto plus = text.find('+', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || plus == std::string::npos || plus == open + 1) return text;
  std::string mangled = text.substr(open + 1, plus - open - 1);
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), std::free);
  if (status != 0 || !name) return text;
  return name.get();
}

// True for "A::B::Name::Name(...)" (a constructor) and for the capture helpers.
bool IsMachineryFrame(const std::string& function) {
  std::string head = function.substr(0, function.find('('));
  auto last = head.rfind("::");
  if (last == std::string::npos) return false;
  std::string name = head.substr(last + 2);
  std::string scope = head.substr(0, last);
  auto previous = scope.rfind("::");
  std::string owner = previous == std::string::npos ? scope : scope.substr(previous + 2);
  if (!name.empty() && name[0] == '~') name.erase(0, 1);
  return name == owner || head.find("ThrowTypeMismatchException") != std::string::npos;
}

}  // namespace

Throwable::Throwable(std::string&& message) : _message(std::move(message)), _frameCount(0) {
  _frameCount = ::backtrace(_frames, kMaxFrames);
}

Throwable::Throwable(const Throwable& other)
    : std::exception(other), _message(other._message), _frameCount(other._frameCount) {
  for (int i = 0; i < _frameCount; ++i) _frames[i] = other._frames[i];
}

Throwable::~Throwable() = default;

const char* Throwable::what() const noexcept { return _message.c_str(); }

std::string Throwable::GetBacktrace() const {
  std::ostringstream out;
  std::unique_ptr<char*, void (*)(void*)> symbols(::backtrace_symbols(_frames, _frameCount),
                                                  std::free);
  for (int i = 0; i < _frameCount; ++i) {
    out << "#" << i << " " << (symbols ? DemangleFrame(symbols.get()[i]) : std::string("?"))
        << "\n";
  }
  return out.str();
}

void Throwable::Dump(std::ostream& out) const {
  out << DemangleClassName(typeid(*this)) << ": " << _message << "\n" << GetBacktrace();
}

std::string Throwable::Where() const {
  std::unique_ptr<char*, void (*)(void*)> symbols(::backtrace_symbols(_frames, _frameCount),
                                                  std::free);
  if (!symbols) return "<unknown>";
  // Frame 0 is this constructor itself.
  for (int i = 1; i < _frameCount; ++i) {
    std::string function = DemangleFrame(symbols.get()[i]);
    if (!IsMachineryFrame(function)) return function;
  }
  return "<unknown>";
}

Exception::Exception(std::string&& message) : Throwable(std::move(message)) {}
Exception::Exception(const Exception& other) = default;
Exception::~Exception() = default;

Exception* Exception::Clone() const { return new Exception(*this); }

void Exception::Throw() const { throw Exception(*this); }

TypeMismatchException::TypeMismatchException(const std::type_info& expected,
                                             const std::type_info& actual)
    : Exception("Type mismatch: expected " + DemangleClassName(expected) + ", got " +
                DemangleClassName(actual)),
      _expected(DemangleClassName(expected)),
      _actual(DemangleClassName(actual)) {}

TypeMismatchException::TypeMismatchException(const TypeMismatchException& other) = default;
TypeMismatchException::~TypeMismatchException() = default;

Exception* TypeMismatchException::Clone() const { return new TypeMismatchException(*this); }

void TypeMismatchException::Throw() const { throw TypeMismatchException(*this); }

void ThrowTypeMismatchException(const std::type_info& expected, const std::type_info& actual) {
  throw TypeMismatchException(expected, actual);
}

std::string DemangleClassName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  std::string result = (status == 0 && name) ? name.get() : type.name();
  // Spell the standard string the way people write it.
  const std::string longForm =
      "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >";
  for (auto pos = result.find(longForm); pos != std::string::npos; pos = result.find(longForm)) {
    result.replace(pos, longForm.size(), "std::string");
  }
  // The closing bracket after it needs no blank any more.
  for (auto pos = result.find("std::string >"); pos != std::string::npos;
       pos = result.find("std::string >")) {
    result.erase(pos + 11, 1);
  }
  return result;
}

}  // namespace Kestrum
