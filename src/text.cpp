#include "velloran/text.h"

#include <cstddef>

namespace velloran {
namespace {

bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680
           || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F
           || c == 0x205F || c == 0x3000;
}

// Length in bytes of the white space character starting at `at`, or 0 when there is none.
// Every White_Space character is at most three bytes long in UTF-8; overlong forms are text.
std::size_t white_space_length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return is_white_space(lead) ? 1 : 0;
    const std::size_t rest = text.size() - at;
    if (lead >= 0xC2 && (lead & 0xE0) == 0xC0 && rest >= 2 && (byte(at + 1) & 0xC0) == 0x80) {
        const char32_t c = (char32_t{lead} & 0x1F) << 6 | (byte(at + 1) & 0x3F);
        return is_white_space(c) ? 2 : 0;
    }
    if ((lead & 0xF0) == 0xE0 && rest >= 3 && (byte(at + 1) & 0xC0) == 0x80
        && (byte(at + 2) & 0xC0) == 0x80) {
        const char32_t c = (char32_t{lead} & 0x0F) << 12 | char32_t{byte(at + 1) & 0x3Fu} << 6
                           | (byte(at + 2) & 0x3F);
        return c >= 0x800 && is_white_space(c) ? 3 : 0;
    }
    return 0;
}

}  // namespace

void Words::Iterator::seek(std::size_t from) {
    std::size_t at = from;
    while (at < text_.size()) {
        const std::size_t length = white_space_length(text_, at);
        if (length == 0) break;
        at += length;
    }
    start_ = at;
    while (at < text_.size() && white_space_length(text_, at) == 0) ++at;
    end_ = at;
}

std::string_view trim_whitespace(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t length = white_space_length(text, start);
        if (length == 0) break;
        start += length;
    }
    // From the end backwards, so a long text costs only its trailing white space: a white
    // space character of k bytes ends there when one starts k bytes before the end.
    std::size_t end = text.size();
    while (end > start) {
        std::size_t length = 0;
        for (std::size_t k = 1; k <= 3 && k <= end - start; ++k) {
            if (white_space_length(text, end - k) == k) {
                length = k;
                break;
            }
        }
        if (length == 0) break;
        end -= length;
    }
    return text.substr(start, end - start);
}

}  // namespace velloran
