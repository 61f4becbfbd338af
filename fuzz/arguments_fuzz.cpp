// Arbitrary argument lists (the input split at NUL bytes) scanned into Settings. Scanning never
// fails and depends on nothing but the list; an unrecognised word in front changes nothing; once
// the list ends on a finished argument, more unrecognised words change nothing and repeating
// the whole list changes nothing, since the last occurrence of an option wins.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "loop_checks.h"

namespace {

using pawnlark::fuzz::check;

// No option has this name, so it is skipped wherever a scan meets it as an argument.
constexpr std::string_view Unrecognised = "pawnlark-fuzz-unrecognised";

pawnlark::Settings scan(const std::vector<std::string_view>& arguments) {
    return pawnlark::scan_arguments(std::span(arguments));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        arguments.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    if (input.empty()) arguments.clear();

    const pawnlark::Settings settings = scan(arguments);
    check(scan(arguments) == settings, "scanning is not deterministic");

    std::vector<std::string_view> prefixed{Unrecognised};
    prefixed.insert(prefixed.end(), arguments.begin(), arguments.end());
    check(scan(prefixed) == settings, "a leading unrecognised word changed the settings");

    // One more word completes an option left without its value; after that, words are skipped.
    std::vector<std::string_view> finished = arguments;
    finished.push_back(Unrecognised);
    const pawnlark::Settings settled = scan(finished);
    finished.push_back(Unrecognised);
    check(scan(finished) == settled, "a trailing unrecognised word changed the settings");
    finished.pop_back();

    std::vector<std::string_view> twice = finished;
    twice.insert(twice.end(), finished.begin(), finished.end());
    check(scan(twice) == settled, "repeating the arguments changed the settings");

    // Only a value-taking option, and all of them start with "--", can swallow a trailing word.
    if (arguments.empty() || !arguments.back().starts_with("--")) {
        check(settled == settings, "a finished list changed by a trailing word");
    }
    return 0;
}
