#include "app/io/output.h"

#include <cstdlib>
#include <optional>

#include "app/os/platform.h"
#include "app/os/system.h"

namespace pawnlark {

void Output::lines(std::span<const std::string> texts, bool open_end) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (open_end && i + 1 == texts.size()) {
            unterminated(texts[i]);
        } else {
            line(texts[i]);
        }
    }
}

void StdoutOutput::lines(std::span<const std::string> texts, bool open_end) {
    std::string bytes;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        bytes.append(texts[i]);
        if (!open_end || i + 1 < texts.size()) bytes.push_back('\n');
    }
    unterminated(bytes);
}

void StdoutOutput::line(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 1);
    bytes.append(text);
    bytes.push_back('\n');
    unterminated(bytes);
}

void StdoutOutput::unterminated(std::string_view bytes) {
    if (const std::optional<std::string> failure = platform::write_stdout(bytes)) {
        platform::write_stderr("failed printing to stdout: " + *failure + "\n");
        std::_Exit(static_cast<int>(ExitStatus::WriteFailed));
    }
}

}  // namespace pawnlark
