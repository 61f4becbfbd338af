#pragma once

#include <string_view>
#include <vector>

namespace velloran {

// Splits at runs of Unicode White_Space (U+0009-U+000D, U+0020, U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000) in UTF-8 text; leading and trailing
// white space yield no empty pieces. Bytes that are not valid UTF-8 count as ordinary text.
std::vector<std::string_view> split_whitespace(std::string_view text);
// The text without Unicode White_Space at either end.
std::string_view trim_whitespace(std::string_view text);

}  // namespace velloran
