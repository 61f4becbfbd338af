// pawnlark behind Debian's polyglot, the adapter that lets an xboard GUI use a UCI engine. The
// test is the GUI: it speaks xboard to polyglot, which speaks UCI to pawnlark, and referees
// every move with a Game of its own. Skipped when polyglot is not installed.
//
// What polyglot does, as these tests pin down:
// - It sends "move X" in coordinate notation (it announces san=0); after a move that ends the
//   game it adds the result at once: "1-0 {White mates}", "1/2-1/2 {Stalemate}", and for the
//   draws it judges itself (repetition, fifty moves, material) "1/2-1/2 {...}".
// - Repeated "go" make the engine play whichever side is to move, so one engine plays both.
// - "variant fischerandom" makes it send "setoption name UCI_Chess960 value true" and
//   Shredder-FEN castling to the engine, takes the engine's king-takes-rook castling, and
//   shows it to the GUI as "move O-O" or "move O-O-O".
// - An illegal answer ("bestmove a1a1") makes it resign for the engine:
//   "0-1 {polyglot: resign (illegal engine move by white: a1a1)}"; later moves are refused
//   with "Illegal move: X".
// - An engine that ends with status 3 is reported as "tellusererror POLYGLOT: pipex_exit():
//   <command>: child exited with status 3." and polyglot ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"

namespace pawnlark {
namespace {

using velloran::Game;
using velloran::GameStatus;

constexpr std::chrono::milliseconds ReplyTimeout{10000};
// Polyglot ends every game by its own rules long before this.
constexpr int MaxPlies = 1000;

std::optional<std::string> find_polyglot() {
    for (const char* path : {"/usr/games/polyglot", "/usr/bin/polyglot"}) {
        if (::access(path, X_OK) == 0) return std::string(path);
    }
    return std::nullopt;
}

// A directory of its own for the ini file, removed with its contents at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pawnlark-polyglot-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// One polyglot process with pawnlark behind it, started with the given arguments.
class Polyglot {
public:
    Polyglot(const std::string& polyglot, const std::string& engine_arguments) {
        const std::filesystem::path ini = dir_.path() / "pawnlark.ini";
        // Polyglot splits the command at spaces itself.
        std::string command;
        for (const std::string& word : e2e::launcher()) command += word + " ";
        command += e2e::engine_binary();
        std::ofstream(ini) << "[PolyGlot]\n"
                           << "EngineCommand = " << command << " " << engine_arguments << "\n"
                           << "EngineDir = " << dir_.path().string() << "\n"
                           << "Log = false\n"
                           << "[Engine]\n";
        process_.emplace(polyglot, std::vector<std::string>{ini.string()});
    }

    void send(std::string_view line) { EXPECT_TRUE(process_->send(line)) << line; }

    // The next line that is not a feature announcement or polyglot's banner.
    std::optional<std::string> next_line(std::chrono::milliseconds timeout = ReplyTimeout) {
        while (auto line = process_->read_line(timeout)) {
            if (!line->starts_with("feature ") && !line->starts_with("PolyGlot ")) return line;
        }
        return std::nullopt;
    }

    void handshake() {
        send("xboard");
        send("protover 2");
        while (auto line = process_->read_line(ReplyTimeout)) {
            if (*line == "feature done=1") return;
        }
        ADD_FAILURE() << "no feature done=1 from polyglot";
    }

    support::ChildProcess& process() { return *process_; }

private:
    TempDir dir_;
    std::optional<support::ChildProcess> process_;
};

// Polyglot's result line for a finished game.
std::string_view result_line(const Game& game) {
    switch (game.status()) {
        case GameStatus::Ongoing:
            return "";
        case GameStatus::Checkmate:
            // The side to move is the one mated.
            return game.board().side_to_move() == velloran::Color::White ? "0-1 {Black mates}"
                                                                         : "1-0 {White mates}";
        case GameStatus::Stalemate:
            return "1/2-1/2 {Stalemate}";
        case GameStatus::InsufficientMaterial:
            return "1/2-1/2 {Draw by insufficient material}";
        case GameStatus::ThreefoldRepetition:
        case GameStatus::FivefoldRepetition:
            return "1/2-1/2 {Draw by repetition}";
        case GameStatus::FiftyMoveRule:
        case GameStatus::SeventyFiveMoveRule:
            return "1/2-1/2 {Draw by fifty-move rule}";
    }
    return "";
}

// Polyglot's move text: coordinates, or O-O / O-O-O for Chess960 castling.
velloran::Result<velloran::Move> read_move(const Game& game, const std::string& text) {
    if (text != "O-O" && text != "O-O-O") return game.parse_move(text);
    const velloran::Board& board = game.board();
    const velloran::Color us = board.side_to_move();
    const velloran::CastlingRights& rights = board.castling(us);
    const auto file = text == "O-O" ? rights.short_file : rights.long_file;
    if (!file) return velloran::illegal_move(text);
    const velloran::Move castling{
        board.king_square(us), velloran::make_square(*file, velloran::back_rank(us)), std::nullopt};
    if (!board.is_legal(castling)) return velloran::illegal_move(text);
    return castling;
}

struct GameRecord {
    std::vector<std::string> moves;
    std::string result;
    GameStatus status = GameStatus::Ongoing;
};

// Lets the engine play both sides from the position until polyglot announces a result,
// checking every move against the referee and the result against the final position.
GameRecord play_out(Polyglot& polyglot, Game referee) {
    GameRecord record;
    for (int ply = 0; ply < MaxPlies; ++ply) {
        polyglot.send("go");
        const auto line = polyglot.next_line();
        if (!line) {
            ADD_FAILURE() << "no move at ply " << ply << " in " << referee.to_fen();
            return record;
        }
        if (!line->starts_with("move ")) {
            // A draw polyglot judged itself after the last move.
            record.result = *line;
            record.status = referee.status();
            EXPECT_EQ(*line, result_line(referee)) << referee.to_fen();
            return record;
        }
        const std::string text = line->substr(5);
        const auto move = read_move(referee, text);
        if (!move) {
            ADD_FAILURE() << move.error().text << " in " << referee.to_fen();
            return record;
        }
        referee.play(move.value());
        record.moves.push_back(text);
        record.status = referee.status();
        if (record.status == GameStatus::Checkmate || record.status == GameStatus::Stalemate) {
            const auto result = polyglot.next_line();
            record.result = result.value_or("");
            EXPECT_EQ(record.result, result_line(referee)) << referee.to_fen();
            return record;
        }
    }
    ADD_FAILURE() << "no result after " << MaxPlies << " plies";
    return record;
}

class PolyglotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto found = find_polyglot();
        if (!found) GTEST_SKIP() << "polyglot is not installed";
        polyglot_path = *found;
    }

    std::string polyglot_path;
};

TEST_F(PolyglotTest, StandardGamesRunToAResult) {
    Polyglot polyglot(polyglot_path, "--delay-ms 0 --seed 7");
    polyglot.handshake();
    for (int round = 0; round < 3; ++round) {
        polyglot.send("new");
        const GameRecord record = play_out(polyglot, Game::new_game());
        EXPECT_FALSE(record.result.empty()) << "round " << round;
        EXPECT_GT(record.moves.size(), 0U);
    }
    polyglot.send("quit");
    const auto exit = polyglot.process().wait_exit(ReplyTimeout);
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->exit_code, 0);
}

TEST_F(PolyglotTest, RandomMoveGamesRunToAResult) {
    Polyglot polyglot(polyglot_path, "--delay-ms 0 --random --seed 3");
    polyglot.handshake();
    for (int round = 0; round < 3; ++round) {
        polyglot.send("new");
        const GameRecord record = play_out(polyglot, Game::new_game());
        EXPECT_FALSE(record.result.empty()) << "round " << round;
    }
}

TEST_F(PolyglotTest, Chess960GamesCastleKingTakesRook) {
    // Kings between their rooks with little in the way, so castling comes up early.
    constexpr std::string_view Starts[] = {
        "qrknbbrn/pppppppp/8/8/8/8/PPPPPPPP/QRKNBBRN w GBgb - 0 1",
        "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
        "rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK5R w HAha - 0 1",
    };
    Polyglot polyglot(polyglot_path, "--delay-ms 0 --random --seed 11");
    polyglot.handshake();
    int castlings = 0;
    for (const std::string_view fen : Starts) {
        polyglot.send("new");
        polyglot.send("variant fischerandom");
        polyglot.send("setboard " + std::string(fen));
        const auto referee = Game::from_fen(fen, true);
        ASSERT_TRUE(referee.has_value());
        const GameRecord record = play_out(polyglot, referee.value());
        EXPECT_FALSE(record.result.empty()) << fen;
        for (const std::string& move : record.moves) castlings += move.starts_with("O-O") ? 1 : 0;
    }
    EXPECT_GT(castlings, 0);
}

TEST_F(PolyglotTest, DelayedAnswersArriveAfterTheDelay) {
    constexpr auto Delay = std::chrono::milliseconds(150);
    Polyglot polyglot(polyglot_path, "--delay-ms 150");
    polyglot.handshake();
    polyglot.send("new");
    Game referee = Game::new_game();
    for (int ply = 0; ply < 4; ++ply) {
        const auto start = std::chrono::steady_clock::now();
        polyglot.send("go");
        const auto line = polyglot.next_line();
        ASSERT_TRUE(line.has_value() && line->starts_with("move ")) << line.value_or("(none)");
        EXPECT_GE(std::chrono::steady_clock::now() - start, Delay);
        const auto move = referee.parse_move(line->substr(5));
        ASSERT_TRUE(move.has_value()) << *line;
        referee.play(move.value());
    }
}

TEST_F(PolyglotTest, IllegalAnswerMakesPolyglotResignForTheEngine) {
    Polyglot polyglot(polyglot_path, "--delay-ms 0 --illegal-at-ply 3");
    polyglot.handshake();
    polyglot.send("new");
    polyglot.send("go");
    const auto first = polyglot.next_line();
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(first->starts_with("move ")) << *first;
    // The engine plays White; Black's answer makes ply 3, the illegal one.
    polyglot.send("usermove e7e5");
    EXPECT_EQ(polyglot.next_line().value_or(""),
              "0-1 {polyglot: resign (illegal engine move by white: a1a1)}");
    polyglot.send("usermove d7d5");
    EXPECT_EQ(polyglot.next_line().value_or(""), "Illegal move: d7d5");
}

TEST_F(PolyglotTest, CrashIsReportedAndPolyglotEnds) {
    Polyglot polyglot(polyglot_path, "--delay-ms 0 --crash-at-ply 3");
    polyglot.handshake();
    polyglot.send("new");
    polyglot.send("go");
    ASSERT_TRUE(polyglot.next_line().value_or("").starts_with("move "));
    polyglot.send("usermove e7e5");
    const std::string report = polyglot.next_line().value_or("");
    EXPECT_TRUE(report.starts_with("tellusererror POLYGLOT: pipex_exit():")) << report;
    EXPECT_TRUE(report.ends_with("child exited with status 3.")) << report;
    const auto exit = polyglot.process().wait_exit(ReplyTimeout);
    ASSERT_TRUE(exit.has_value());
}

}  // namespace
}  // namespace pawnlark
