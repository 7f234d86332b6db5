#pragma once

#include <utility>

// Sets a process-wide seam for as long as it lives and puts back what was there before, so
// a test that fails half-way leaves the next one the seam it found. Set takes the new value
// and returns the one it replaces.
template <typename Value, Value (*Set)(Value)> class ScopedSeam {
public:
    explicit ScopedSeam(Value value) : m_previous(Set(std::move(value))) {}
    ~ScopedSeam() { Set(std::move(m_previous)); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Value m_previous;
};
