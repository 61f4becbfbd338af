#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board_printing.h"
#include "perft.h"
#include "support/child_process.h"

// Compares the legal move sets of positions from seeded random playouts with those of
// Debian's stockfish ("go perft 1"), in standard and Chess960 start positions, and checks
// is_legal against the list for every from, to and promotion. VELLORAN_CROSSCHECK_POSITIONS
// sets the number of positions (scripts/stockfish_crosscheck.sh runs a long check).
namespace velloran {
namespace {

class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t state_;
};

std::optional<std::string> find_stockfish() {
    if (const char* path = std::getenv("VELLORAN_STOCKFISH")) return std::string(path);
    for (const char* path : {"/usr/games/stockfish", "/usr/bin/stockfish"}) {
        if (std::filesystem::exists(path)) return std::string(path);
    }
    return std::nullopt;
}

// Positions along random games, every one written as a Chess960 FEN (stockfish reads the file
// letters in either mode, and Chess960 mode makes it write castling as the king onto its rook,
// as Move::text does).
std::vector<Board> sample_positions(std::size_t count, std::uint64_t seed) {
    SplitMix random(seed);
    std::vector<Board> out;
    for (std::size_t game = 0; out.size() < count; ++game) {
        const bool chess960 = game % 2 == 1;
        const std::string start =
            chess960 ? testing::chess960_start(static_cast<unsigned>(random.below(960)))
                     : Board::startpos().write_fen(true);
        Board board = Board::from_fen(start, true).value();
        for (int ply = 0; ply < 160 && out.size() < count; ++ply) {
            if (random.below(3) == 0) out.push_back(board);
            const std::vector<Move> moves = board.legal_moves();
            if (moves.empty()) break;
            board.play(moves[random.below(moves.size())]);
        }
    }
    return out;
}

std::size_t position_count() {
    if (const char* text = std::getenv("VELLORAN_CROSSCHECK_POSITIONS")) {
        const long value = std::strtol(text, nullptr, 10);
        if (value > 0) return static_cast<std::size_t>(value);
    }
    return 300;
}

TEST(StockfishCrosscheck, LegalMoveSetsMatchOnRandomPlayouts) {
    const std::optional<std::string> stockfish = find_stockfish();
    if (!stockfish) GTEST_SKIP() << "stockfish is not installed";

    const std::size_t count = position_count();
    const std::vector<Board> boards = sample_positions(count, 20240601);
    pawnlark::support::ProcessRun run;
    run.program = *stockfish;
    run.input = "setoption name UCI_Chess960 value true\n";
    for (const Board& board : boards) {
        run.input += "position fen " + board.write_fen(true) + "\ngo perft 1\n";
    }
    // A last request keeps "quit" from racing the final answer that matters.
    run.input += "position startpos\ngo perft 1\nisready\n";
    run.close_stdin = true;
    run.timeout = std::chrono::milliseconds(30000 + 20 * static_cast<long>(count));
    const pawnlark::support::ProcessResult result = pawnlark::support::run_process(run);
    ASSERT_FALSE(result.timed_out);

    // Each answer is "move: 1" lines closed by "Nodes searched: N".
    std::vector<std::vector<std::string>> answers(1);
    for (const std::string& line : result.out_lines()) {
        if (line.rfind("Nodes searched:", 0) == 0) {
            answers.emplace_back();
        } else if (const std::size_t colon = line.find(": 1");
                   colon != std::string::npos && colon >= 4 && colon <= 5) {
            answers.back().push_back(line.substr(0, colon));
        }
    }
    ASSERT_GE(answers.size(), boards.size() + 1);

    std::size_t moves_compared = 0;
    std::size_t in_check = 0;
    std::size_t with_en_passant = 0;
    std::size_t with_castling = 0;
    std::size_t with_promotion = 0;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        std::vector<std::string> ours;
        bool castles = false;
        bool promotes = false;
        for (const Move& move : boards[i].legal_moves()) {
            ours.push_back(move.text());
            castles |= boards[i].pieces(boards[i].side_to_move()).contains(move.to);
            promotes |= move.promotion.has_value();
        }
        in_check += boards[i].checkers().any();
        with_en_passant += boards[i].en_passant().has_value();
        with_castling += castles;
        with_promotion += promotes;
        std::vector<std::string> theirs = answers[i];
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        ASSERT_EQ(ours, theirs) << boards[i].write_fen(true);
        moves_compared += ours.size();
        testing::expect_is_legal_matches_list(boards[i]);
        if (::testing::Test::HasFailure()) FAIL() << boards[i].write_fen(true);
    }
    std::cout << "compared " << boards.size() << " positions, " << moves_compared
              << " legal moves; in check " << in_check << ", en passant file " << with_en_passant
              << ", castling " << with_castling << ", promotion " << with_promotion << '\n';
}

}  // namespace
}  // namespace velloran
