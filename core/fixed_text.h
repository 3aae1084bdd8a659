// A short text held by value: the formatters return these, so formatting
// a report cell never allocates.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace rv {

template <std::size_t N>
struct FixedText {
    std::array<char, N + 1> chars{};
    std::size_t size = 0;

    std::string_view view() const { return {chars.data(), size}; }
    const char* c_str() const { return chars.data(); }
};

}  // namespace rv
