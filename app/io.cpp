#include "io.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace pawnlark {
namespace {

// Length in bytes of the white-space character at the start of the text, or 0. Matches the
// UTF-8 forms of U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F and U+3000.
std::size_t space_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty()) {
        return 0;
    }
    const unsigned char b0 = byte(0);
    if (b0 == 0x20 || (b0 >= 0x09 && b0 <= 0x0D)) {
        return 1;
    }
    if (b0 == 0xC2 && text.size() >= 2) {
        return byte(1) == 0x85 || byte(1) == 0xA0 ? 2 : 0;
    }
    if (text.size() < 3) {
        return 0;
    }
    const unsigned char b1 = byte(1);
    const unsigned char b2 = byte(2);
    switch (b0) {
        case 0xE1:
            return b1 == 0x9A && b2 == 0x80 ? 3 : 0;
        case 0xE2:
            if (b1 == 0x80) {
                return b2 <= 0x8A || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF ? 3 : 0;
            }
            return b1 == 0x81 && b2 == 0x9F ? 3 : 0;
        case 0xE3:
            return b1 == 0x80 && b2 == 0x80 ? 3 : 0;
        default:
            return 0;
    }
}

// Length of the white-space character that ends the text, or 0.
std::size_t trailing_space_length(std::string_view text) {
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        if (space_length(text.substr(text.size() - length)) == length) {
            return length;
        }
    }
    return 0;
}

// Writes all bytes to the descriptor; false with errno set when the system refuses.
bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        // The allowed range of the second byte excludes overlong forms, surrogates and values
        // above U+10FFFF; later continuation bytes are always 0x80..0xBF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (bytes.size() - i < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::optional<std::string> read_command(std::istream& in) {
    std::string line;
    // getline takes the line feed and fails only when nothing at all was read.
    if (!std::getline(in, line) || in.bad()) {
        return std::nullopt;
    }
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    if (!is_valid_utf8(line)) {
        return std::nullopt;
    }
    return line;
}

std::string_view trim(std::string_view text) {
    while (const std::size_t length = space_length(text)) {
        text.remove_prefix(length);
    }
    while (const std::size_t length = trailing_space_length(text)) {
        text.remove_suffix(length);
    }
    return text;
}

std::vector<std::string_view> split_tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (const std::size_t length = space_length(text.substr(i))) {
            if (i > start) {
                tokens.push_back(text.substr(start, i - start));
            }
            i += length;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) {
        tokens.push_back(text.substr(start));
    }
    return tokens;
}

Command Command::from_line(std::string_view line) {
    const std::string_view trimmed = trim(line);
    return Command{trimmed, split_tokens(trimmed)};
}

std::string_view Command::word() const { return tokens.empty() ? std::string_view() : tokens[0]; }

std::string_view Command::rest() const {
    if (tokens.empty()) {
        return {};
    }
    const auto word_end = static_cast<std::size_t>(tokens[0].data() - line.data()) +
                          tokens[0].size();
    return trim(line.substr(word_end));
}

void StdoutOutput::line(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 1);
    bytes.append(text);
    bytes.push_back('\n');
    if (!write_all(STDOUT_FILENO, bytes)) {
        const int error = errno;
        const std::string message =
            std::string("failed printing to stdout: ") + std::strerror(error) + "\n";
        // Nothing more can be done if standard error fails as well.
        static_cast<void>(write_all(STDERR_FILENO, message));
        std::_Exit(static_cast<int>(ExitStatus::WriteFailed));
    }
}

}  // namespace pawnlark
