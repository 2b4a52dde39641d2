#pragma once

#include <functional>

// A two-way binding to a value owned elsewhere.
template <typename T> struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};
