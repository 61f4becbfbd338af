// Arbitrary input as a UCI session, handled in-process line by line. With no misbehaviour
// options the engine must never stall, end the process or print a move the front end could not
// play: every "bestmove" and report move is legal in the game it was chosen in, "bestmove 0000"
// comes only without legal moves, the report counts the legal moves, "go" and "stop" leave the
// game alone, and every generated opening is a readable FEN.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/engine/openings.h"
#include "app/protocol/uci/uci_loop.h"
#include "app/settings.h"
#include "loop_checks.h"
#include "velloran/random/random_generator.h"
#include "velloran/text.h"

namespace {

using pawnlark::fuzz::after_prefix;
using pawnlark::fuzz::check;

// A large "genfens" count is a correct request that merely takes long, so an input gets this
// many openings in all (one request of the default count); requests beyond it are skipped.
constexpr std::uint32_t OpeningBudget = pawnlark::DefaultOpeningCount;

bool within_budget(const pawnlark::Command& command, std::uint32_t& budget) {
    if (command.word() != "genfens") return true;
    const std::uint32_t count = velloran::parse_unsigned<std::uint32_t>(command.word_at(1))
                                    .value_or(pawnlark::DefaultOpeningCount);
    if (count > budget) return false;
    budget -= count;
    return true;
}

void check_replies(const pawnlark::Command& command, const velloran::Game& before,
                   const velloran::Game& after, const std::vector<std::string>& lines) {
    const bool searches =
        command.word() == "go" || command.word() == "stop" || command.word() == "ponderhit";
    if (searches) {
        check(after == before, "a search changed the game", command.line);
    }
    std::optional<std::string> reported;
    for (const std::string& line : lines) {
        if (const auto fen = after_prefix(line, "info string genfens ")) {
            pawnlark::fuzz::check_opening(*fen);
        } else if (after_prefix(line, "info depth 1 ")) {
            check(searches, "report outside a search", line);
            pawnlark::fuzz::check_report(before, line);
            if (command.word() == "go") {
                const std::string nodes =
                    " nodes " + std::to_string(before.legal_moves().size()) + " time 0 pv ";
                check(line.find(nodes) != std::string::npos, "report nodes or time", line);
            }
            reported = std::string(pawnlark::fuzz::last_word(line));
        } else if (const auto move = after_prefix(line, "bestmove ")) {
            check(searches, "bestmove outside a search", line);
            if (*move == "0000") {
                check(before.legal_moves().empty(), "bestmove 0000 with legal moves",
                      before.to_fen());
                check(!reported, "report before bestmove 0000", line);
            } else {
                static_cast<void>(pawnlark::fuzz::engine_move(before, *move));
                check(reported == *move, "bestmove differs from the report's pv", line);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pawnlark::Settings settings;
    settings.delay_ms = 0;
    // Both move choices; an odd or even input length is a property mutations flip often.
    settings.random = size % 2 == 1;
    pawnlark::fuzz::RecordingOutput out;
    pawnlark::fuzz::NoFaultSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    pawnlark::InstantSearcher searcher;
    pawnlark::UciSession session{settings, out, system, generator, searcher};

    std::uint32_t opening_budget = OpeningBudget;
    for (const std::string& line : pawnlark::fuzz::input_lines(data, size)) {
        const pawnlark::Command command = pawnlark::Command::from_line(line);
        if (!within_budget(command, opening_budget)) continue;
        const velloran::Game before = session.state.game;
        out.lines.clear();
        const pawnlark::LoopControl control = pawnlark::handle_uci_line(session, command);
        check(control == pawnlark::LoopControl::Continue || control == pawnlark::LoopControl::Quit,
              "a fault without misbehaviour options", line);
        check_replies(command, before, session.state.game, out.lines);
        if (control == pawnlark::LoopControl::Quit) break;
    }
    return 0;
}
