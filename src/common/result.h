// Result<T, E>: the value of a call that can fail, or the reason it failed.
#pragma once

#include <utility>
#include <variant>

namespace quennet {

// The failure side of a Result, spelled out at the return site: `return Failure{reason};`.
template <typename E>
struct Failure {
  E error;
};
template <typename E>
Failure(E) -> Failure<E>;

// [[nodiscard]]: a failure that nobody looks at is a failure lost.
template <typename T, typename E>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  template <typename G>
  Result(Failure<G> failure) : v_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  E& error() { return std::get<1>(v_); }
  const E& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, E> v_;
};

}  // namespace quennet
