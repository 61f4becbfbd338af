#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace velloran {

// Splits at runs of Unicode White_Space (U+0009-U+000D, U+0020, U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000) in UTF-8 text; leading and trailing
// white space yield no empty pieces. Bytes that are not valid UTF-8 count as ordinary text.
std::vector<std::string_view> split_whitespace(std::string_view text);
// The text without Unicode White_Space at either end.
std::string_view trim_whitespace(std::string_view text);

// One or more decimal digits after at most one "+", fitting in T; leading zeros are fine.
// Absent for anything else: a sign "-", blanks, an empty text or a value beyond T's range.
template <std::unsigned_integral T>
std::optional<T> parse_unsigned(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace velloran
