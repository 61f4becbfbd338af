#pragma once

#include <charconv>
#include <concepts>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

namespace velloran {

// The words of a UTF-8 text: the runs between Unicode White_Space (U+0009-U+000D, U+0020,
// U+0085, U+00A0, U+1680, U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000), as views into
// it. Found one at a time while iterating, so a text of any number of words costs no memory.
// Leading and trailing white space yield no empty words; bytes that are not valid UTF-8 count as
// ordinary text.
class Words {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::string_view*;
        using reference = std::string_view;

        Iterator() = default;
        std::string_view operator*() const { return text_.substr(start_, end_ - start_); }
        Iterator& operator++() {
            seek(end_);
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            seek(end_);
            return before;
        }
        // Iterators over the same text: equal when they stand at the same word.
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.start_ == b.start_;
        }

    private:
        friend class Words;
        Iterator(std::string_view text, std::size_t from) : text_(text) { seek(from); }
        // Moves to the first word that starts at or after `from`, or to the end.
        void seek(std::size_t from);

        std::string_view text_;
        std::size_t start_ = 0;
        std::size_t end_ = 0;
    };

    explicit Words(std::string_view text) : text_(text) {}
    Iterator begin() const { return Iterator(text_, 0); }
    Iterator end() const { return Iterator(text_, text_.size()); }
    // The text from the start of the word at `at` to the end, as written.
    std::string_view from(const Iterator& at) const { return text_.substr(at.start_); }

private:
    std::string_view text_;
};

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
