#pragma once

#include <functional>
#include <utility>

namespace orvex {

// A two-way connection from a control to a value it does not own: the sections read the value through
// `get` whenever they refresh and hand the user's edits to `set`, which decides what the edit does.
template <typename T> struct Binding {
    std::function<T()> get;
    std::function<void(const T &)> set;

    T value() const { return get(); }
    void operator()(const T &newValue) const { set(newValue); }

    // A binding over a plain variable that outlives it (tests, previews).
    static Binding over(T &variable) {
        return Binding{[&variable] { return variable; }, [&variable](const T &v) { variable = v; }};
    }
};

} // namespace orvex
