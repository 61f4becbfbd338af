// Shared by the command-loop fuzzers: input split into lines as the real loop reads them, a
// System that treats a stall or an exit as a finding, a recording Output, and the check that a
// move the engine printed is one a front end can play in the game it was chosen in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/io/line_reader.h"
#include "app/io/output.h"
#include "app/os/system.h"
#include "velloran/chess/game.h"

namespace pawnlark::fuzz {

// A failed property: says which, then aborts so libFuzzer keeps the input.
inline void check(bool condition, std::string_view what, std::string_view detail = {}) {
    if (condition) return;
    std::fprintf(stderr, "property failed: %.*s: %.*s\n", static_cast<int>(what.size()),
                 what.data(), static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// Without misbehaviour options the loops must never stall or end the process.
class NoFaultSystem final : public System {
public:
    void sleep_ms(std::uint64_t) override {}
    [[noreturn]] void stall() override {
        check(false, "stall without --stall-at-ply");
        std::abort();
    }
    void note(std::string_view) override {}
    [[noreturn]] void exit(ExitStatus) override {
        check(false, "exit without --crash-at-ply");
        std::abort();
    }
};

class RecordingOutput final : public Output {
public:
    void line(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

// The lines the real loop would handle: the line reader's rules, so reading stops at the first
// line that is not UTF-8.
inline std::vector<std::string> input_lines(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> lines;
    pawnlark::LineReader reader(in);
    while (auto line = reader.next()) lines.emplace_back(*line);
    return lines;
}

// The text after `prefix` when the line starts with it.
inline std::optional<std::string_view> after_prefix(std::string_view line,
                                                    std::string_view prefix) {
    if (!line.starts_with(prefix)) return std::nullopt;
    return line.substr(prefix.size());
}

// The last space-separated word of a line.
inline std::string_view last_word(std::string_view line) {
    const auto space = line.rfind(' ');
    return space == std::string_view::npos ? line : line.substr(space + 1);
}

// The move a front end plays for the engine's text: legal in `game` and written back to the
// same text (a castling text that is also a king step reads back as the step, whose text is
// the same).
inline std::optional<velloran::Move> engine_move(const velloran::Game& game,
                                                 std::string_view text) {
    const auto move = game.parse_move(text);
    check(move.has_value(), "engine move is not legal", std::string(text) + " in " + game.to_fen());
    check(game.move_text(move.value()) == text, "engine move text does not read back",
          std::string(text) + " in " + game.to_fen());
    return move.value();
}

// An "info depth 1 score cp S nodes N time T pv M" line: its move is checked like a best move.
inline void check_report(const velloran::Game& game, std::string_view line) {
    const auto pv = line.find(" pv ");
    check(pv != std::string_view::npos, "report without pv", line);
    const std::string_view move = line.substr(pv + 4);
    check(move.find(' ') == std::string_view::npos, "pv of more than one move", line);
    static_cast<void>(engine_move(game, move));
}

// A generated opening reads as a game in standard mode and writes back to the same text.
inline void check_opening(std::string_view fen) {
    const auto game = velloran::Game::from_fen(fen, false);
    check(game.has_value(), "genfens printed an unreadable FEN", fen);
    check(game.value().to_fen() == fen, "genfens FEN does not write back", fen);
}

}  // namespace pawnlark::fuzz
