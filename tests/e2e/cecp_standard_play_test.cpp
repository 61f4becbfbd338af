// Complete games between two pawnlark processes in standard xboard play, driven as
// cutechess-cli and xboard drive engines: "go" once for the side that starts, then only
// "usermove", Chess960 castling sent as O-O / O-O-O. A referee game checks every move.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"

namespace pawnlark {
namespace {

using std::chrono::milliseconds;
using velloran::Color;
using velloran::Game;
using velloran::GameStatus;
using velloran::Move;

constexpr milliseconds ReplyTimeout{5000};
constexpr int MaxPlies = 400;

bool is_castling(const Game& game, Move move) {
    return game.board().piece_at(move.from) == velloran::Piece::King
           && game.board().color_at(move.to) == game.board().side_to_move();
}

// Reads a move as the manager would: O-O / O-O-O, or coordinates.
std::optional<Move> referee_read(const Game& game, const std::string& text) {
    if (text == "O-O" || text == "O-O-O") {
        for (const Move move : game.legal_moves()) {
            if (is_castling(game, move) && (move.to > move.from) == (text == "O-O")) return move;
        }
        return std::nullopt;
    }
    const auto move = game.parse_move(text);
    return move.has_value() ? std::optional(move.value()) : std::nullopt;
}

std::string expected_result(const Game& game) {
    if (game.status() == GameStatus::Stalemate) return "1/2-1/2 {Stalemate}";
    return game.board().side_to_move() == Color::Black ? "1-0 {White mates}" : "0-1 {Black mates}";
}

struct GameOutcome {
    int plies = 0;
    int castlings = 0;
    bool decisive_or_stalemate = false;
};

// Plays one game; `start` is a FEN for setboard, or empty for the standard start.
GameOutcome play_game(std::uint64_t white_seed, std::uint64_t black_seed, bool chess960,
                      const std::string& start) {
    const auto engine = [](std::uint64_t seed) {
        return std::vector<std::string>{"--proto", "cecp",   "--cecp-standard",   "--delay-ms",
                                        "0",       "--seed", std::to_string(seed)};
    };
    support::ChildProcess white = e2e::start_engine(engine(white_seed));
    support::ChildProcess black = e2e::start_engine(engine(black_seed));
    Game referee = Game::new_game();
    if (!start.empty()) {
        auto game = Game::from_fen(start, chess960);
        EXPECT_TRUE(game.has_value()) << start;
        referee = std::move(game).value();
    }
    for (support::ChildProcess* side : {&white, &black}) {
        side->send("xboard");
        side->send("protover 2");
        const auto features = side->read_line(ReplyTimeout);
        EXPECT_TRUE(features && features->ends_with(" done=1")) << features.value_or("(none)");
        side->send("new");
        if (chess960) side->send("variant fischerandom");
        if (!start.empty()) side->send("setboard " + start);
        side->send("force");
    }
    GameOutcome outcome;
    std::array<support::ChildProcess*, 2> engines{&white, &black};
    // Only the side to move at the start is told "go"; after that moves come as usermove.
    engines[static_cast<std::size_t>(referee.board().side_to_move())]->send("go");
    engines[static_cast<std::size_t>(~referee.board().side_to_move())]->send("playother");
    while (outcome.plies < MaxPlies) {
        support::ChildProcess& mover =
            *engines[static_cast<std::size_t>(referee.board().side_to_move())];
        support::ChildProcess& other =
            *engines[static_cast<std::size_t>(~referee.board().side_to_move())];
        // Thinking lines ("1 score 1 nodes move") come first.
        std::optional<std::string> line;
        do {
            line = mover.read_line(ReplyTimeout);
        } while (line && line->starts_with("1 "));
        if (!line || !line->starts_with("move ")) {
            ADD_FAILURE() << "no move at ply " << outcome.plies << ": " << line.value_or("(none)")
                          << " in " << referee.to_fen();
            return outcome;
        }
        const std::string text = line->substr(5);
        const auto move = referee_read(referee, text);
        if (!move) {
            ADD_FAILURE() << "illegal " << text << " in " << referee.to_fen();
            return outcome;
        }
        EXPECT_EQ(is_castling(referee, *move) && chess960, text.starts_with("O-O")) << text;
        outcome.castlings += is_castling(referee, *move) ? 1 : 0;
        referee.play(*move);
        ++outcome.plies;
        const GameStatus status = referee.status();
        if (status == GameStatus::Checkmate || status == GameStatus::Stalemate) {
            EXPECT_EQ(mover.read_line(ReplyTimeout), expected_result(referee));
            other.send("usermove " + text);
            EXPECT_EQ(other.read_line(ReplyTimeout), expected_result(referee));
            outcome.decisive_or_stalemate = true;
            return outcome;
        }
        if (status != GameStatus::Ongoing) {
            // Draws by rule are the manager's to declare.
            for (support::ChildProcess* side : {&white, &black}) side->send("result 1/2-1/2");
            return outcome;
        }
        other.send("usermove " + text);
    }
    return outcome;
}

TEST(CecpStandardPlay, GamesRunToTheirEndOnUsermoveAlone) {
    int plies = 0;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        plies += play_game(seed, seed + 100, false, "").plies;
    }
    EXPECT_GT(plies, 40);
}

TEST(CecpStandardPlay, FischerandomGamesRunToTheirEnd) {
    for (const std::string start :
         {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
          "nrbkqbrn/pppppppp/8/8/8/8/PPPPPPPP/NRBKQBRN w KQkq - 0 1"}) {
        for (std::uint64_t seed = 1; seed <= 2; ++seed) play_game(seed, seed + 7, true, start);
    }
}

TEST(CecpStandardPlay, FischerandomCastlingTravelsAsOOBothWays) {
    // Castling is the only mate in each: O-O for White, O-O-O for Black. The mover writes it,
    // the opponent reads it back.
    for (const std::string start :
         {"4rkr1/4p1p1/8/8/8/8/7P/6KR w H - 0 1", "rk6/7p/8/8/8/8/2P1P3/2RKR3 b a - 0 1"}) {
        const GameOutcome outcome = play_game(3, 4, true, start);
        EXPECT_EQ(outcome.castlings, 1) << start;
        EXPECT_TRUE(outcome.decisive_or_stalemate) << start;
    }
}

}  // namespace
}  // namespace pawnlark
