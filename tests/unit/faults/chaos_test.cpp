#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/engine/move_choice.h"
#include "app/faults/answer_plan.h"
#include "app/io/command.h"
#include "app/protocol/cecp/cecp_loop.h"
#include "app/protocol/searcher.h"
#include "app/protocol/uci/uci_loop.h"
#include "app/settings.h"
#include "recording.h"

namespace pawnlark {
namespace {

ChaosSettings chaos(std::uint32_t per_mille, std::uint64_t seed, std::string_view faults = {}) {
    ChaosSettings settings;
    settings.per_mille = per_mille;
    settings.seed = seed;
    if (!faults.empty()) settings.faults = read_chaos_faults(faults).value();
    return settings;
}

// Which fault fires where follows from the seeds and the place alone; the rate is the one
// asked for; only the listed faults the dialect honours fire.
TEST(ChaosSchedule, ThePlaceAndTheSeedsDecideAlone) {
    const ChaosSettings twenty = chaos(20, 7);
    int fired = 0;
    for (std::uint32_t game = 0; game < 50; ++game) {
        for (std::uint32_t ply = 1; ply <= 100; ++ply) {
            const ChaosPlace place{game, ply};
            const auto fault = chaos_at(twenty, 42, DialectMode::Uci, ChaosMoment::Search, place);
            EXPECT_EQ(fault, chaos_at(twenty, 42, DialectMode::Uci, ChaosMoment::Search, place));
            if (fault) ++fired;
        }
    }
    EXPECT_GT(fired, 60);  // 100 expected of 5000 draws
    EXPECT_LT(fired, 140);
    EXPECT_EQ(chaos_at(chaos(0, 7), 42, DialectMode::Uci, ChaosMoment::Search, {0, 1}),
              std::nullopt);
    for (std::uint32_t ply = 1; ply <= 200; ++ply) {
        const auto plain_cecp =
            chaos_at(chaos(1000, 3), 42, DialectMode::Cecp, ChaosMoment::Search, {0, ply});
        ASSERT_TRUE(plain_cecp);
        EXPECT_NE(plain_cecp, ChaosFault::Stall);
        EXPECT_NE(plain_cecp, ChaosFault::Illegal);
        const auto listed = chaos_at(chaos(1000, 3, "stall,flood"), 42, DialectMode::Uci,
                                     ChaosMoment::Search, {0, ply});
        EXPECT_TRUE(listed == ChaosFault::Stall || listed == ChaosFault::Flood);
        const auto handshake =
            chaos_at(chaos(1000, 3), 42, DialectMode::Uci, ChaosMoment::Handshake, {0, ply});
        EXPECT_GE(handshake, ChaosFault::HandshakeNoOk);
    }
    EXPECT_EQ(read_chaos_faults("crash,bogus"), std::nullopt);
    EXPECT_EQ(read_chaos_faults("crash,"), std::nullopt);
}

// The answers of one session, a request at a time, and the plies where chaos struck.
struct Answers {
    std::vector<std::string> moves;  // the last line of each request's answer
    std::vector<bool> struck;
};

template <typename Session, LoopControl (*Handle)(Session&, const Command&)>
Answers answer_all(const Settings& settings,
                   const std::vector<std::vector<std::string>>& requests) {
    test::RecordingOutput out;
    test::RecordingSystem system;
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(settings.seed);
    InstantSearcher searcher;
    Session session{settings, out, system, generator, searcher};
    Answers answers;
    for (const auto& request : requests) {
        const std::size_t notes = system.notes.size();
        out.lines.clear();
        for (const std::string& line : request) Handle(session, Command::from_line(line));
        answers.moves.push_back(out.lines.empty() ? "" : out.lines.back());
        answers.struck.push_back(system.notes.size() > notes);
    }
    return answers;
}

// Moves without chaos where it does not strike: the chaos engine answers every request where
// no fault fires exactly as the plain engine, in both dialects, whatever fired before.
TEST(Chaos, MovesAreThePlainEnginesWhereNoFaultFires) {
    velloran::RandomGenerator random = velloran::RandomGenerator::with_seed(11);
    for (int round = 0; round < 4; ++round) {
        velloran::Game game = velloran::Game::new_game();
        std::vector<std::vector<std::string>> uci;
        std::vector<std::vector<std::string>> cecp;
        std::string moves;
        for (int ply = 0; ply < 80 && !sorted_legal_moves(game).empty(); ++ply) {
            uci.push_back({"position startpos" + (moves.empty() ? "" : " moves" + moves),
                           "go wtime 1000 btime 1000"});
            cecp.push_back({"setboard " + game.to_fen(), "time 100", "go"});
            const auto legal = sorted_legal_moves(game);
            const velloran::Move move = legal[random.sample_range(0, legal.size())];
            moves += " " + game.move_text(move);
            game.play(move);
        }
        Settings plain;
        plain.seed = 100 + static_cast<std::uint64_t>(round);
        Settings chaotic = plain;
        chaotic.chaos = chaos(200, static_cast<std::uint64_t>(round),
                              "illegal,flag,garble-empty,garble-null,garble-kxr,garble-trailing,"
                              "garble-noeol,flood");
        for (const bool is_uci : {true, false}) {
            const auto& requests = is_uci ? uci : cecp;
            const auto run = [&](const Settings& settings) {
                return is_uci ? answer_all<UciSession, handle_uci_line>(settings, requests)
                              : answer_all<CecpSession, handle_cecp_line>(settings, requests);
            };
            const Answers expected = run(plain);
            const Answers seen = run(chaotic);
            int struck = 0;
            for (std::size_t k = 0; k < requests.size(); ++k) {
                if (seen.struck[k]) {
                    ++struck;
                    continue;
                }
                EXPECT_EQ(seen.moves[k], expected.moves[k])
                    << "request " << k << " round " << round;
            }
            EXPECT_GT(struck, 0);
        }
    }
}

}  // namespace
}  // namespace pawnlark
