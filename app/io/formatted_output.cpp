#include "app/io/formatted_output.h"

namespace pawnlark {

std::string separate_words(std::string_view reply, TokenSeparator separator) {
    if (separator == TokenSeparator::Space) return std::string(reply);
    const std::string_view between = separator == TokenSeparator::Tab ? "\t" : "  ";
    constexpr std::string_view NamePrefix = "id name ";
    const std::size_t protected_from =
        reply.starts_with(NamePrefix) ? NamePrefix.size() : std::string_view::npos;
    std::string result;
    bool quoted = false;
    int braces = 0;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        const char c = reply[i];
        if (i >= protected_from) {
            result += reply.substr(i);
            break;
        }
        if (c == '"') quoted = !quoted;
        if (c == '{') ++braces;
        if (c == '}' && braces > 0) --braces;
        if (c == ' ' && !quoted && braces == 0) {
            result += between;
        } else {
            result += c;
        }
    }
    return result;
}

void FormattedOutput::line(std::string_view text) {
    std::string reply = separate_words(text, separator_);
    if (line_end_ == LineEnd::CrLf) reply += '\r';
    inner_.line(reply);
}

void FormattedOutput::unterminated(std::string_view text) {
    inner_.unterminated(separate_words(text, separator_));
}

}  // namespace pawnlark
