#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/protocol/cecp/cecp_commands.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "app/settings.h"
#include "recording.h"

namespace pawnlark {
namespace {

using velloran::GameStatus;
using velloran::RandomGenerator;

// A CECP engine in standard play, in force mode after "new", over recording fakes.
class Engine {
public:
    Engine() {
        settings.cecp_standard = true;
        settings.delay_ms = 0;
        send("new");
        send("force");
    }
    std::vector<std::string> send(const std::string& line) {
        out.lines.clear();
        static_cast<void>(handle_cecp_line(session, Command::from_line(line)));
        return out.lines;
    }
    const velloran::Game& game() const { return session.state.game; }

    Settings settings;
    test::RecordingOutput out;
    test::RecordingSystem system;
    RandomGenerator generator = RandomGenerator::with_seed(42);
    InstantSearcher searcher;
    CecpSession session{settings, out, system, generator, searcher};
};

// Random games in force mode with undo and remove among the moves. After each takeback the
// game must be the one a fresh engine gets from the moves that remain: FEN (with counters),
// status (with the repetition record), and the next answer to "go" from the same generator.
TEST(CecpTakeback, UndoAndRemoveMatchReplayingTheShortenedGame) {
    RandomGenerator dice = RandomGenerator::with_seed(7);
    int repetitions = 0;
    int takebacks = 0;
    for (int round = 0; round < 12; ++round) {
        Engine taken;
        std::vector<std::string> moves;
        for (int step = 0; step < 80; ++step) {
            const auto roll = dice.sample_range(0, 10);
            if (roll < 7 || moves.size() < 2) {
                const auto legal = sorted_legal_moves(taken.game());
                if (legal.empty()) break;
                // Often the mover's last move backwards, so positions repeat.
                std::string move =
                    taken.game().move_text(legal[dice.sample_range(0, legal.size())]);
                if (roll < 5 && moves.size() >= 2) {
                    const std::string& last = moves[moves.size() - 2];
                    const std::string back = last.substr(2, 2) + last.substr(0, 2);
                    if (taken.game().parse_move(back).has_value()) move = back;
                }
                moves.push_back(move);
                EXPECT_TRUE(taken.send("usermove " + moves.back()).empty());
                continue;
            }
            const std::size_t plies = roll < 9 ? 1 : 2;
            EXPECT_TRUE(taken.send(plies == 1 ? "undo" : "remove").empty());
            moves.resize(moves.size() - plies);
            ++takebacks;

            Engine replayed;
            for (const std::string& move : moves) replayed.send("usermove " + move);
            ASSERT_EQ(taken.game().to_fen(), replayed.game().to_fen());
            ASSERT_EQ(taken.game().status(), replayed.game().status()) << taken.game().to_fen();
            if (taken.game().status() == GameStatus::ThreefoldRepetition) ++repetitions;
            taken.generator = RandomGenerator::with_seed(step);
            replayed.generator = RandomGenerator::with_seed(step);
            const auto answer = taken.send("go");
            ASSERT_EQ(answer, replayed.send("go"));
            taken.send("force");
            for (const std::string& line : answer) {
                if (line.starts_with("move ")) moves.push_back(line.substr(5));
            }
        }
    }
    EXPECT_GT(takebacks, 100);
    EXPECT_GT(repetitions, 0) << "no takeback landed on a repetition";
}

TEST(CecpTakeback, TooFewMovesIsAnErrorAndChangesNothing) {
    Engine engine;
    engine.send("usermove e2e4");
    EXPECT_EQ(engine.send("remove"),
              std::vector<std::string>{"Error (command not legal now): remove"});
    EXPECT_EQ(engine.session.state.ply, 1u);
    EXPECT_TRUE(engine.send("undo").empty());
    EXPECT_EQ(engine.session.state.ply, 0u);
    EXPECT_EQ(engine.send("undo"), std::vector<std::string>{"Error (command not legal now): undo"});
    EXPECT_EQ(engine.game().to_fen(), velloran::Game::new_game().to_fen());
}

TEST(CecpEditMode, Chess960CastlingForAnyRookOnTheBackRank) {
    Engine engine;
    engine.send("variant fischerandom");
    for (const std::string line : {"edit", "#", "Kb1", "Rf1", "c", "Kg8", "Rh8", "Ra8", "."}) {
        EXPECT_TRUE(engine.send(line).empty()) << line;
    }
    EXPECT_EQ(engine.game().to_fen(), "r5kr/8/8/8/8/8/8/1K3R2 w Fha - 0 1");
    // Undo goes back to the edited position, not before it.
    engine.send("usermove b1f1");
    engine.send("undo");
    EXPECT_EQ(engine.game().to_fen(), "r5kr/8/8/8/8/8/8/1K3R2 w Fha - 0 1");
}

}  // namespace
}  // namespace pawnlark
