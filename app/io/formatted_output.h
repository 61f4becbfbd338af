#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/io/output.h"

namespace pawnlark {

enum class LineEnd : std::uint8_t { Lf, CrLf };
enum class TokenSeparator : std::uint8_t { Space, Tab, Double };

// The shape of every reply line (--line-end, --token-sep).
struct OutputFormat {
    LineEnd line_end = LineEnd::Lf;
    TokenSeparator token_separator = TokenSeparator::Space;

    friend bool operator==(const OutputFormat&, const OutputFormat&) = default;
};

// A reply with the single spaces between its words replaced by the separator. The engine name
// of "id name", double-quoted texts and brace comments keep their inner spaces.
std::string separate_words(std::string_view reply, TokenSeparator separator);

// Writes every reply with unusual but protocol-legal spacing and line ends (--token-sep,
// --line-end) to another output.
class FormattedOutput final : public Output {
public:
    FormattedOutput(Output& inner, LineEnd line_end, TokenSeparator separator)
        : inner_(inner), line_end_(line_end), separator_(separator) {}

    void line(std::string_view text) override;
    void unterminated(std::string_view text) override;

private:
    Output& inner_;
    LineEnd line_end_;
    TokenSeparator separator_;
};

}  // namespace pawnlark
