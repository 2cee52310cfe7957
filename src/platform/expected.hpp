// A value or the reason there is none, for operations whose failure the caller words.
#pragma once

#include <utility>  // std::move
#include <variant>  // std::variant, std::get, std::monostate

namespace qs {

// The shape of C++23's std::expected, reduced to what the program uses.
// Dropping one unread is a compiler warning: a failure is never ignored by
// accident (a deliberate discard says `(void)`).
template <class T, class E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(E error) : state_(std::in_place_index<1>, std::move(error)) {}

    [[nodiscard]] bool hasValue() const { return state_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & { return std::get<0>(state_); }
    [[nodiscard]] const T& value() const& { return std::get<0>(state_); }
    // By value from a temporary, so `for (x : f().value())` owns what it walks.
    T value() && { return std::move(std::get<0>(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }

    [[nodiscard]] const E& error() const { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

// Success without a value, or the reason it failed.
template <class E>
class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    Expected(E error) : state_(std::in_place_index<1>, std::move(error)) {}

    [[nodiscard]] bool hasValue() const { return state_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    [[nodiscard]] const E& error() const { return std::get<1>(state_); }

private:
    std::variant<std::monostate, E> state_;
};

}  // namespace qs
