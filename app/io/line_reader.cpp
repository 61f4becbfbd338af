#include "app/io/line_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "velloran/text.h"

namespace pawnlark {
namespace {

constexpr std::size_t InitialLineCapacity = 256;
// A buffer grown past this for a long line is given back before the next line is read.
constexpr std::size_t KeptLineCapacity = std::size_t{1} << 20;

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Eight ASCII bytes at a time: the usual line is nothing else.
        if (bytes.size() - i >= 8) {
            std::uint64_t block = 0;
            std::memcpy(&block, bytes.data() + i, sizeof block);
            if ((block & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
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

bool LineReader::grow() {
    const std::size_t limit = max_line_bytes_ + 2;  // the line, a carriage return, the terminator
    const std::size_t wanted = std::min(std::max(capacity_ * 2, InitialLineCapacity), limit);
    if (wanted <= capacity_) return false;
    // realloc, unlike a string, reports refused memory as a value and grows big blocks in place.
    char* grown = static_cast<char*>(std::realloc(buffer_.get(), wanted));
    if (grown == nullptr) return false;
    static_cast<void>(buffer_.release());
    buffer_.reset(grown);
    capacity_ = wanted;
    return true;
}

std::optional<std::string_view> LineReader::next() {
    if (capacity_ > KeptLineCapacity) {
        buffer_.reset();
        capacity_ = 0;
    }
    std::size_t size = 0;
    for (;;) {
        if (capacity_ - size < 2 && !grow()) {
            in_.clear(in_.rdstate() & ~std::ios::failbit);
            in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            if (in_.bad()) return std::nullopt;
            return std::string_view();
        }
        char* const free_space = buffer_.get() + size;
        const auto room = static_cast<std::streamsize>(capacity_ - size);
        // Stops after the line feed (counted, not stored), at the end of input, or with the
        // room full (failbit without eofbit), always writing a terminator.
        in_.getline(free_space, room);
        const auto count = static_cast<std::size_t>(in_.gcount());
        if (in_.bad()) return std::nullopt;
        if (in_.eof()) {
            size += count;
            if (size == 0) return std::nullopt;
            break;
        }
        if (in_.fail()) {
            in_.clear();
            size += count;
            continue;
        }
        size += count - 1;
        break;
    }
    std::string_view line(buffer_.get(), size);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() > max_line_bytes_) return std::string_view();
    if (!is_valid_utf8(line)) return std::nullopt;
    return line;
}

std::string_view trim(std::string_view text) { return velloran::trim_whitespace(text); }

}  // namespace pawnlark
