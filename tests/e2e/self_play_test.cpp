// Whole games between two pawnlark processes over pipes, in both dialects, refereed by a Game
// of our own: every answer must be a legal move written as the game writes it, come with its
// search report, and agree with the one-ply material rule within the noise. A game ends when
// the referee sees a result, when the engine to move says it has no move (which must then be
// checkmate or stalemate), or after MaxPlies.

#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/engine/move_choice.h"
#include "engine.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"

namespace pawnlark {
namespace {

using velloran::Board;
using velloran::Color;
using velloran::Game;
using velloran::GameStatus;
using velloran::Move;

constexpr int MaxPlies = 600;
constexpr std::chrono::milliseconds ReplyTimeout{10000};

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
// Chess960 starts whose castling needs only one or two pieces out of the way: the knight on
// d1 and the bishop on d1 stand between the king on c1 and the square its rook castles to.
constexpr std::string_view Fischer1 = "qrknbbrn/pppppppp/8/8/8/8/PPPPPPPP/QRKNBBRN w GBgb - 0 1";
constexpr std::string_view Fischer2 = "nrkbbqrn/pppppppp/8/8/8/8/PPPPPPPP/NRKBBQRN w KQkq - 0 1";

struct Side {
    std::uint64_t seed = 42;
    bool random = false;
};

std::vector<std::string> arguments(const Side& side, bool cecp) {
    std::vector<std::string> words{"--seed", std::to_string(side.seed), "--delay-ms", "0"};
    if (side.random) {
        words.emplace_back("--random");
    }
    if (cecp) {
        words.insert(words.end(), {"--proto", "cecp"});
    }
    return words;
}

struct GameSetup {
    Side white;
    Side black;
    std::string fen;  // empty: the standard start, named "startpos" in UCI and set by "new" in CECP
    bool chess960 = false;
};

// What a game left behind.
struct GameRecord {
    int plies = 0;
    GameStatus status = GameStatus::Ongoing;  // the referee's verdict on the last position
    bool no_move_answer = false;              // "bestmove 0000" or "resign"
    int castlings = 0;
    std::vector<std::string> moves;
    std::string failure;  // the first broken check; empty when all held
};

std::string describe(const GameRecord& record) {
    return "plies " + std::to_string(record.plies) + ", status "
           + std::to_string(static_cast<int>(record.status)) + ", castlings "
           + std::to_string(record.castlings);
}

std::optional<std::int32_t> read_int(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> words_of(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t end = line.find(' ');
        words.push_back(line.substr(0, end));
        line = end == std::string_view::npos ? std::string_view{} : line.substr(end + 1);
    }
    return words;
}

// The one-ply value the engine gives a move: mate, or the mover's material afterwards.
std::int32_t one_ply_value(const Board& board, Move move) {
    Board after = board;
    after.play(move);
    if (after.checkers().any() && after.legal_moves().empty()) {
        return MateScore;
    }
    return material_balance(after, board.side_to_move());
}

// Checks one answer against the referee and plays it there. Returns the failure, if any.
std::string check_and_play(Game& referee, std::string_view text, std::int32_t score,
                           std::int32_t nodes, bool random, GameRecord& record) {
    const std::string where = " at ply " + std::to_string(record.plies) + " in " + referee.to_fen();
    const velloran::Result<Move> parsed = referee.parse_move(text);
    if (!parsed) {
        return "engine played " + std::string(text) + ": " + parsed.error().render() + where;
    }
    const Move move = parsed.value();
    if (referee.move_text(move) != text) {
        return "move written " + std::string(text) + " instead of " + referee.move_text(move)
               + where;
    }
    const std::vector<Move> legal = referee.legal_moves();
    if (nodes != static_cast<std::int32_t>(legal.size())) {
        return "nodes " + std::to_string(nodes) + " for " + std::to_string(legal.size())
               + " legal moves" + where;
    }
    if (random) {
        if (score != 0) {
            return "random move with score " + std::to_string(score) + where;
        }
    } else {
        const Board& board = referee.board();
        const std::int32_t own = one_ply_value(board, move);
        if (score < own - NoiseAmplitude || score > own + NoiseAmplitude) {
            return "score " + std::to_string(score) + " for a move worth " + std::to_string(own)
                   + where;
        }
        for (const Move other : legal) {
            if (one_ply_value(board, other) > score + NoiseAmplitude) {
                return "chose " + std::string(text) + " (" + std::to_string(score) + ") over "
                       + referee.move_text(other) + where;
            }
        }
    }
    const Board& board = referee.board();
    if (board.piece_at(move.from) == velloran::Piece::King
        && board.color_at(move.to) == board.side_to_move()) {
        ++record.castlings;
    }
    referee.play(move);
    ++record.plies;
    record.moves.emplace_back(text);
    return {};
}

bool without_moves(GameStatus status) {
    return status == GameStatus::Checkmate || status == GameStatus::Stalemate;
}

// The replies to one search request, up to its last line (one that starts with `last`).
std::vector<std::string> read_reply(support::ChildProcess& engine, std::string_view last,
                                    std::string_view also_last) {
    std::vector<std::string> lines;
    while (lines.size() < 4) {
        std::optional<std::string> line = engine.read_line(ReplyTimeout);
        if (!line) {
            break;
        }
        lines.push_back(std::move(*line));
        if (lines.back().starts_with(last) || lines.back() == also_last) {
            break;
        }
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\n  " + line;
    }
    return text.empty() ? " (nothing)" : text;
}

Game start_game(const GameSetup& setup) {
    return Game::from_fen(setup.fen.empty() ? StartFen : setup.fen, setup.chess960).value();
}

GameRecord play_uci_game(const GameSetup& setup) {
    GameRecord record;
    support::ChildProcess white = e2e::start_engine(arguments(setup.white, false));
    support::ChildProcess black = e2e::start_engine(arguments(setup.black, false));
    if (setup.chess960) {
        for (support::ChildProcess* engine : {&white, &black}) {
            engine->send("setoption name UCI_Chess960 value true");
        }
    }
    Game referee = start_game(setup);
    std::string position = "position " + (setup.fen.empty() ? "startpos" : "fen " + setup.fen);
    bool first = true;
    while (record.plies < MaxPlies) {
        record.status = referee.status();
        if (record.status != GameStatus::Ongoing && !without_moves(record.status)) {
            return record;
        }
        const bool white_to_move = referee.board().side_to_move() == Color::White;
        support::ChildProcess& engine = white_to_move ? white : black;
        engine.send(position);
        engine.send("go");
        const std::vector<std::string> reply = read_reply(engine, "bestmove ", "");
        if (without_moves(record.status)) {
            record.no_move_answer = reply == std::vector<std::string>{"bestmove 0000"};
            if (!record.no_move_answer) {
                record.failure = "expected bestmove 0000 in " + referee.to_fen() + joined(reply);
            }
            return record;
        }
        const std::vector<std::string_view> report =
            reply.size() == 2 ? words_of(reply[0]) : std::vector<std::string_view>{};
        const std::optional<std::int32_t> score =
            report.size() == 12 ? read_int(report[5]) : std::nullopt;
        const std::optional<std::int32_t> nodes =
            report.size() == 12 ? read_int(report[7]) : std::nullopt;
        if (!score || !nodes
            || reply[0]
                   != "info depth 1 score cp " + std::to_string(*score) + " nodes "
                          + std::to_string(*nodes) + " time 0 pv " + std::string(report[11])
            || reply[1] != "bestmove " + std::string(report[11])) {
            record.failure = "malformed answer at ply " + std::to_string(record.plies) + " in "
                             + referee.to_fen() + joined(reply);
            return record;
        }
        const bool random = white_to_move ? setup.white.random : setup.black.random;
        record.failure = check_and_play(referee, report[11], *score, *nodes, random, record);
        if (!record.failure.empty()) {
            return record;
        }
        position += first ? " moves " : " ";
        position += report[11];
        first = false;
    }
    record.status = referee.status();
    return record;
}

GameRecord play_cecp_game(const GameSetup& setup) {
    GameRecord record;
    support::ChildProcess white = e2e::start_engine(arguments(setup.white, true));
    support::ChildProcess black = e2e::start_engine(arguments(setup.black, true));
    for (support::ChildProcess* engine : {&white, &black}) {
        engine->send("protover 2");
        const std::optional<std::string> features = engine->read_line(ReplyTimeout);
        if (!features || !features->starts_with("feature ") || !features->ends_with(" done=1")) {
            record.failure = "no feature line: " + features.value_or("(nothing)");
            return record;
        }
        engine->send("new");
        if (setup.chess960) {
            engine->send("variant fischerandom");
        }
        if (!setup.fen.empty()) {
            engine->send("setboard " + setup.fen);
        }
    }
    Game referee = start_game(setup);
    std::optional<std::string> last_move;
    while (record.plies < MaxPlies) {
        record.status = referee.status();
        if (record.status != GameStatus::Ongoing && !without_moves(record.status)) {
            return record;
        }
        const bool white_to_move = referee.board().side_to_move() == Color::White;
        support::ChildProcess& engine = white_to_move ? white : black;
        if (last_move) {
            engine.send("usermove " + *last_move);
        }
        engine.send("go");
        const std::vector<std::string> reply = read_reply(engine, "move ", "resign");
        if (without_moves(record.status)) {
            record.no_move_answer = reply == std::vector<std::string>{"resign"};
            if (!record.no_move_answer) {
                record.failure = "expected resign in " + referee.to_fen() + joined(reply);
            }
            return record;
        }
        const std::vector<std::string_view> thinking =
            reply.size() == 2 ? words_of(reply[0]) : std::vector<std::string_view>{};
        const std::optional<std::int32_t> score =
            thinking.size() == 5 ? read_int(thinking[1]) : std::nullopt;
        const std::optional<std::int32_t> nodes =
            thinking.size() == 5 ? read_int(thinking[3]) : std::nullopt;
        if (!score || !nodes
            || reply[0]
                   != "1 " + std::to_string(*score) + " 1 " + std::to_string(*nodes) + " "
                          + std::string(thinking[4])
            || reply[1] != "move " + std::string(thinking[4])) {
            record.failure = "malformed answer at ply " + std::to_string(record.plies) + " in "
                             + referee.to_fen() + joined(reply);
            return record;
        }
        const bool random = white_to_move ? setup.white.random : setup.black.random;
        record.failure = check_and_play(referee, thinking[4], *score, *nodes, random, record);
        if (!record.failure.empty()) {
            return record;
        }
        last_move = std::string(thinking[4]);
    }
    record.status = referee.status();
    return record;
}

// The openings a pawnlark run prints for "genfens", without their prefix.
std::vector<std::string> generated_openings(int count, std::uint64_t seed) {
    support::ChildProcess engine = e2e::start_engine({"--seed", std::to_string(seed)});
    engine.send("genfens " + std::to_string(count));
    engine.close_input();
    std::vector<std::string> fens;
    constexpr std::string_view Prefix = "info string genfens ";
    while (const std::optional<std::string> line = engine.read_line(ReplyTimeout)) {
        if (line->starts_with(Prefix)) {
            fens.push_back(line->substr(Prefix.size()));
        }
    }
    return fens;
}

TEST(SelfPlayUci, StandardGamesEndLegally) {
    int no_move_answers = 0;
    int castlings = 0;
    for (const GameSetup& setup : {
             GameSetup{{1, false}, {2, false}, {}, false},
             GameSetup{{42, false}, {43, false}, {}, false},
             GameSetup{{7, false}, {8, true}, {}, false},
             GameSetup{{9, true}, {10, false}, {}, false},
             GameSetup{{20, true}, {120, true}, {}, false},
         }) {
        const GameRecord record = play_uci_game(setup);
        EXPECT_EQ(record.failure, "")
            << "seeds " << setup.white.seed << " and " << setup.black.seed;
        EXPECT_NE(record.status, GameStatus::Ongoing) << describe(record);
        no_move_answers += record.no_move_answer ? 1 : 0;
        castlings += record.castlings;
    }
    // These seeds reach checkmate at least once, and castle (as e1g1 and the like) once.
    EXPECT_GT(no_move_answers, 0);
    EXPECT_GT(castlings, 0);
}

TEST(SelfPlayUci, Chess960GamesCastleKingOntoRook) {
    int castlings = 0;
    for (const GameSetup& setup : {
             GameSetup{{9, false}, {10, true}, std::string(Fischer1), true},
             GameSetup{{3, false}, {4, false}, std::string(Fischer2), true},
         }) {
        const GameRecord record = play_uci_game(setup);
        EXPECT_EQ(record.failure, "") << setup.fen;
        castlings += record.castlings;
    }
    // check_and_play has required the king-onto-rook text for each of them.
    EXPECT_GT(castlings, 0);
}

TEST(SelfPlayUci, GamesFromGeneratedOpenings) {
    const std::vector<std::string> openings = generated_openings(3, 11);
    ASSERT_EQ(openings.size(), 3U);
    std::uint64_t seed = 20;
    for (const std::string& fen : openings) {
        const GameRecord record = play_uci_game(GameSetup{{seed, false}, {seed + 1, true}, fen});
        EXPECT_EQ(record.failure, "") << fen;
        EXPECT_GT(record.plies, 0) << fen;
        seed += 2;
    }
}

TEST(SelfPlayCecp, StandardGamesEndLegally) {
    for (const GameSetup& setup : {
             GameSetup{{1, false}, {2, false}, {}, false},
             GameSetup{{12, true}, {13, false}, {}, false},
         }) {
        const GameRecord record = play_cecp_game(setup);
        EXPECT_EQ(record.failure, "")
            << "seeds " << setup.white.seed << " and " << setup.black.seed;
        EXPECT_NE(record.status, GameStatus::Ongoing) << describe(record);
    }
}

TEST(SelfPlayCecp, FischerandomGames) {
    int castlings = 0;
    for (const GameSetup& setup : {
             GameSetup{{17, false}, {18, true}, std::string(Fischer1), true},
             GameSetup{{3, false}, {4, false}, std::string(Fischer2), true},
         }) {
        const GameRecord record = play_cecp_game(setup);
        EXPECT_EQ(record.failure, "") << setup.fen;
        castlings += record.castlings;
    }
    EXPECT_GT(castlings, 0);
}

// Both dialects choose with the same rule from the same stream, so equal seeds play one game.
TEST(SelfPlay, DialectsPlayTheSameGame) {
    for (const GameSetup& setup : {
             GameSetup{{42, false}, {43, false}, {}, false},
             GameSetup{{37, false}, {38, true}, std::string(Fischer1), true},
         }) {
        const GameRecord uci = play_uci_game(setup);
        const GameRecord cecp = play_cecp_game(setup);
        EXPECT_EQ(uci.failure, "");
        EXPECT_EQ(cecp.failure, "");
        EXPECT_EQ(uci.moves, cecp.moves) << "seeds " << setup.white.seed;
        EXPECT_GT(uci.moves.size(), 20U);
    }
}

}  // namespace
}  // namespace pawnlark
