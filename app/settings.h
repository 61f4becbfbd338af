#pragma once

#include <charconv>
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace pawnlark {

// The dialect spoken on standard input and output.
enum class Protocol : std::uint8_t { Uci, Cecp };

// What the engine says instead of (or besides) its move when a CECP claim fires.
enum class ClaimKind : std::uint8_t {
    Resign,          // "resign" instead of the move
    ClaimWin,        // a false mate claim for the side to move, instead of the move
    OfferDraw,       // "offer draw", then the move
    ClaimDraw,       // a repetition claim, then the move
    RejectUsermove,  // the opponent's move is refused as illegal
};

// The whole command line, complete before the first input line and read-only afterwards.
struct Settings {
    std::string name = "pawnlark";               // "id name" in UCI, "myname" in CECP
    std::optional<std::uint32_t> crash_at_ply;   // exit with status 3 from this ply on
    std::optional<std::uint32_t> stall_at_ply;   // stop answering for good from this ply on
    std::optional<std::uint32_t> illegal_at_ply;  // answer "bestmove a1a1" from this ply on
    std::uint64_t delay_ms = 5;                  // pause before each answer to a search request
    std::uint64_t seed = 42;                     // seed of the one random generator
    bool random = false;                         // uniform move choice instead of material
    Protocol protocol = Protocol::Uci;
    bool bench = false;  // print the bench line and end
    // Opt-in behaviour beyond the two dialects' basics; off by default.
    bool cecp_standard = false;  // CECP: force mode, sides, moving on usermove, result lines
    std::optional<std::uint32_t> cecp_claim_at_ply;  // CECP: the claim fires from this ply on
    ClaimKind cecp_claim = ClaimKind::Resign;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// One or more decimal digits after at most one "+", fitting in T; leading zeros are fine.
// Absent for anything else: a sign "-", blanks, an empty text or a value beyond T's range.
template <std::unsigned_integral T>
std::optional<T> parse_unsigned(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Scans the arguments after the program name. Never fails: unrecognised arguments are
// skipped, unreadable values take their fall-backs, the last occurrence of an option wins.
// A value-taking option always consumes the next argument, whatever it looks like.
Settings scan_arguments(std::span<const std::string_view> arguments);

}  // namespace pawnlark
