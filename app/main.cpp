#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/io/formatted_output.h"
#include "app/io/input.h"
#include "app/io/input_queue.h"
#include "app/io/output.h"
#include "app/os/clock.h"
#include "app/os/platform.h"
#include "app/os/system.h"
#include "app/protocol/run_dialect.h"
#include "app/protocol/searcher.h"
#include "app/settings.h"
#include "velloran/random/random_generator.h"

namespace {

// Both numbers are fixed: the line is the same on every machine and in every run.
constexpr std::string_view BenchLine = "123456 nodes 987654 nps";

// The program after start-up: `arguments` are those after the program's name.
int run(std::span<const std::string_view> arguments) {
    // A front end that closes our output must see status 101, not a death by SIGPIPE; and
    // the bytes must be the same on every system.
    pawnlark::platform::prepare_standard_streams();

    const pawnlark::Settings settings = pawnlark::scan_arguments(arguments);

    pawnlark::StdoutOutput stdout_output;
    if (settings.bench) {
        stdout_output.line(BenchLine);
        return static_cast<int>(pawnlark::ExitStatus::Ok);
    }

    // Input is ours alone, so it may be read ahead in blocks.
    std::ios::sync_with_stdio(false);
    pawnlark::RealSystem system;
    // Unusual spacing and line ends only when asked for: the plain path stays a direct write.
    pawnlark::FormattedOutput formatted(stdout_output, settings.line_end, settings.token_separator);
    const bool plain = settings.line_end == pawnlark::LineEnd::Lf
                       && settings.token_separator == pawnlark::TokenSeparator::Space;
    pawnlark::Output& out = plain ? static_cast<pawnlark::Output&>(stdout_output) : formatted;
    // Made once: every move choice of the run draws from this one stream.
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    // A thinking engine reads ahead, so that it can watch the input while it thinks; the plain
    // one reads a line only when it has answered the last.
    if (settings.think) {
        pawnlark::InputQueue input(std::cin);
        const pawnlark::SteadyClock clock;
        pawnlark::ThinkingSearcher searcher(input, clock);
        pawnlark::run_dialect(settings.protocol, settings, out, system, generator, searcher, input);
    } else {
        pawnlark::PlainInput input(std::cin);
        pawnlark::InstantSearcher searcher;
        pawnlark::run_dialect(settings.protocol, settings, out, system, generator, searcher, input);
    }
    return static_cast<int>(pawnlark::ExitStatus::Ok);
}

}  // namespace

#if defined(_WIN32)
// Windows passes main() its arguments in the ANSI code page, where a name like "☃" is lost;
// wmain() has them as UTF-16, taken into the UTF-8 the rest of the program speaks.
int wmain(int argc, wchar_t** argv);  // the entry point, known to the C runtime alone
int wmain(int argc, wchar_t** argv) {
    const std::vector<std::string> texts = pawnlark::platform::utf8_arguments(argc, argv);
    const std::vector<std::string_view> arguments(texts.begin(), texts.end());
    return run(arguments);
}
#else
int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run(arguments);
}
#endif
