// Type-erased callbacks with up to seven arguments.
//
// Functor<R, A1, ..., A7> wraps any callable taking the arguments that are not
// Nil: Functor<void, int, Nil, Nil, Nil, Nil, Nil, Nil> wraps void(int).
#pragma once

#include <Kestrum/Panic.h>

#include <functional>
#include <type_traits>
#include <utility>

namespace Kestrum {

struct Nil {};

namespace Detail {

template <class... A>
struct TypeList {};

// Builds R(Kept...) from the argument list, dropping every Nil.
template <class R, class Kept, class... Rest>
struct FunctorSignature;

template <class R, class... Kept>
struct FunctorSignature<R, TypeList<Kept...>> {
  using type = R(Kept...);
};

template <class R, class... Kept, class Head, class... Rest>
struct FunctorSignature<R, TypeList<Kept...>, Head, Rest...> {
  using type =
      typename std::conditional_t<std::is_same_v<Head, Nil>,
                                  FunctorSignature<R, TypeList<Kept...>, Rest...>,
                                  FunctorSignature<R, TypeList<Kept..., Head>, Rest...>>::type;
};

}  // namespace Detail

template <class R, class A1 = Nil, class A2 = Nil, class A3 = Nil, class A4 = Nil, class A5 = Nil,
          class A6 = Nil, class A7 = Nil>
class Functor {
 public:
  using Signature =
      typename Detail::FunctorSignature<R, Detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type;

  Functor() = default;
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Functor> &&
                                              std::is_constructible_v<std::function<Signature>, F>>>
  Functor(F&& callable) : _fn(std::forward<F>(callable)) {}

  explicit operator bool() const { return static_cast<bool>(_fn); }

  // Calling an empty functor is an assertion failure.
  template <class... Args>
  R operator()(Args&&... args) const {
    KESTRUM_ASSERT_AT(_fn, "Kestrum/Functor", 88);
    return _fn(std::forward<Args>(args)...);
  }

 private:
  std::function<Signature> _fn;
};

}  // namespace Kestrum
