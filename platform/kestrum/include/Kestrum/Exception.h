// Exceptions of the core library.
#pragma once

#include <exception>
#include <iosfwd>
#include <string>
#include <typeinfo>

namespace Kestrum {

// Root of every exception: a message text plus the call stack captured at
// construction.
class Throwable : public std::exception {
 public:
  explicit Throwable(std::string&& message);
  Throwable(const Throwable& other);
  Throwable& operator=(const Throwable&) = delete;
  ~Throwable() override;

  const char* what() const noexcept override;
  // The captured call stack, one frame a line.
  virtual std::string GetBacktrace() const;
  // Writes the class, the message and the call stack.
  virtual void Dump(std::ostream& out) const;
  // The innermost frame outside the exception machinery, or "<unknown>".
  virtual std::string Where() const;

 private:
  static constexpr int kMaxFrames = 32;
  std::string _message;
  void* _frames[kMaxFrames];
  int _frameCount;
};

// Root of the exceptions that can be copied and rethrown polymorphically.
class Exception : public Throwable {
 public:
  explicit Exception(std::string&& message);
  Exception(const Exception& other);
  ~Exception() override;

  // A new heap copy; the caller owns it.
  virtual Exception* Clone() const;
  // Throws a copy of this exception; its static class is the dynamic one.
  [[noreturn]] virtual void Throw() const;
};

// A value was not of the class its receiver expects.
class TypeMismatchException : public Exception {
 public:
  TypeMismatchException(const std::type_info& expected, const std::type_info& actual);
  TypeMismatchException(const TypeMismatchException& other);
  ~TypeMismatchException() override;

  Exception* Clone() const override;
  [[noreturn]] void Throw() const override;

  // Readable (demangled) class names.
  const std::string& GetExpected() const { return _expected; }
  const std::string& GetActual() const { return _actual; }

 private:
  std::string _expected;
  std::string _actual;
};

[[noreturn]] void ThrowTypeMismatchException(const std::type_info& expected,
                                             const std::type_info& actual);

// The demangled name of a class, e.g. "Lumo::Primitive<std::string>".
std::string DemangleClassName(const std::type_info& type);

}  // namespace Kestrum
