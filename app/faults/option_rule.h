#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace pawnlark {

// The value after a value-taking option; absent when the option was the last argument.
using OptionValue = std::optional<std::string_view>;

// The words an option's value may be, each with its meaning.
template <typename Kind, std::size_t N>
using WordTable = std::array<std::pair<std::string_view, Kind>, N>;

// A word from the table, or absent when the value is missing or unknown.
template <typename Kind, std::size_t N>
constexpr std::optional<Kind> read_word(OptionValue value, const WordTable<Kind, N>& words) {
    if (!value) return std::nullopt;
    for (const auto& [word, meaning] : words) {
        if (word == *value) return meaning;
    }
    return std::nullopt;
}

// The word that means `kind`; empty when the table has none.
template <typename Kind, std::size_t N>
constexpr std::string_view word_of(Kind kind, const WordTable<Kind, N>& words) {
    for (const auto& [word, meaning] : words) {
        if (meaning == kind) return word;
    }
    return {};
}

// A table's words alone, in its order: the list an option rule checks values against.
template <const auto& Words>
inline constexpr auto WordList = [] {
    std::array<std::string_view, Words.size()> list{};
    std::ranges::transform(Words, list.begin(), [](const auto& entry) { return entry.first; });
    return list;
}();

// One command-line argument and how it changes `Target`.
template <typename Target>
struct OptionRule {
    std::string_view word;
    bool takes_value = false;
    void (*apply)(Target&, OptionValue) = nullptr;
    std::span<const std::string_view> words = {};  // the value's words; empty: any value
    // Which of `words` the target holds, the inverse of applying one; absent when the option
    // has no words or the target holds none of them.
    std::optional<std::size_t> (*word_held)(const Target&) = nullptr;

    // Whether the scanner reads `value` as given rather than as the fall-back. Numbers are not
    // checked.
    constexpr bool knows_value(std::string_view value) const {
        return words.empty() || std::ranges::find(words, value) != words.end();
    }
};

}  // namespace pawnlark
