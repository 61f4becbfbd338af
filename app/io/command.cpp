#include "app/io/command.h"

#include <algorithm>

#include "app/io/line_reader.h"

namespace pawnlark {

Command Command::from_line(std::string_view line) { return Command{trim(line)}; }

std::string_view Command::word() const { return word_at(0); }

std::string_view Command::word_at(std::size_t index) const {
    for (const std::string_view word : words()) {
        if (index-- == 0) return word;
    }
    return {};
}

std::optional<std::string_view> Command::value_after(std::string_view key) const {
    const velloran::Words all = words();
    auto at = all.begin();
    if (at == all.end()) return std::nullopt;
    for (++at; at != all.end(); ++at) {
        if (*at == key) {
            ++at;
            return at == all.end() ? std::nullopt : std::optional(*at);
        }
    }
    return std::nullopt;
}

bool Command::has_argument(std::string_view word) const {
    const velloran::Words all = words();
    auto at = all.begin();
    return at != all.end() && std::find(++at, all.end(), word) != all.end();
}

std::string_view Command::rest() const {
    const std::string_view first = word();
    if (first.empty()) return {};
    return trim(line.substr(static_cast<std::size_t>(first.data() - line.data()) + first.size()));
}

}  // namespace pawnlark
