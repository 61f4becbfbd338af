#pragma once

#include <string>
#include <string_view>

#include "app/io.h"
#include "app/settings.h"

namespace pawnlark {

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
