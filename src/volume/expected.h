#pragma once
// A value or the reason there is none. Bad data on a volume is an ordinary
// result the caller decides about; a bug in this program is an assertion.
#include <cassert>
#include <utility>
#include <variant>

namespace quorvane {

template <typename E>
struct Failure {
  E error;
};
template <typename E>
Failure<E> Fail(E error) {
  return Failure<E>{std::move(error)};
}

template <typename T, typename E>
class Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure<E> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }
  T& operator*() {
    assert(has_value());
    return std::get<0>(state_);
  }
  const T& operator*() const {
    assert(has_value());
    return std::get<0>(state_);
  }
  T* operator->() { return &**this; }
  const T* operator->() const { return &**this; }
  const E& error() const {
    assert(!has_value());
    return std::get<1>(state_);
  }

 private:
  std::variant<T, E> state_;
};

}  // namespace quorvane
