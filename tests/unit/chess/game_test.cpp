#include "velloran/chess/game.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "games.h"
#include "perft.h"

namespace velloran {
namespace {

using velloran::test::read_game;

void play_all(Game& game, const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
        const auto move = game.parse_move(text);
        ASSERT_TRUE(move.has_value()) << text << " in " << game.to_fen();
        game.play(move.value());
    }
}

constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(GameNew, IsTheStandardStartPosition) {
    const Game game = Game::new_game();
    EXPECT_EQ(game.to_fen(), StartFen);
    EXPECT_FALSE(game.chess960());
    EXPECT_EQ(game.repetition_count(), 1u);
    EXPECT_EQ(game.legal_moves().size(), 20u);
}

TEST(GameFromFen, FourFieldsGetDefaultClocks) {
    EXPECT_EQ(read_game("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -").to_fen(), StartFen);
}

TEST(GameFromFen, FiveOrSevenFieldsFail) {
    for (const std::string_view fen :
         {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0",
          "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 x", "", "   "}) {
        const auto game = Game::from_fen(fen, false);
        ASSERT_FALSE(game.has_value()) << fen;
        EXPECT_EQ(game.error().text, "bad FEN '" + std::string(fen) + "'");
        EXPECT_EQ(game.error().kind, ErrorKind::Chess);
    }
}

TEST(GameFromFen, ErrorCarriesTheReadersReason) {
    const auto game = Game::from_fen("4k3/8/8/8/8/8/8/4K3 w - e6", false);
    ASSERT_FALSE(game.has_value());
    EXPECT_EQ(game.error().text, "bad FEN '4k3/8/8/8/8/8/8/4K3 w - e6'");
    EXPECT_EQ(game.error().fen_error, FenError::InvalidEnPassant);
    EXPECT_EQ(Game::from_fen("8/8/8/8/8/8/8/K7 w - - 0 1", false).error().fen_error,
              FenError::InvalidBoard);
}

TEST(GameFromFen, RefusesKingsSideBySide) {
    // Accepted once, the engine then answered the capture of a king and aborted on the next
    // request.
    for (const std::string_view fen :
         {"8/8/8/8/8/8/8/Kk6 w - - 0 1", "8/8/8/8/8/8/8/Kk6 b - - 0 1",
          "8/8/8/8/3k4/4K3/8/8 w - - 0 1", "8/8/8/8/3K4/4k3/8/8 b - - 0 1"}) {
        for (const bool chess960 : {false, true}) {
            const auto game = Game::from_fen(fen, chess960);
            ASSERT_FALSE(game.has_value()) << fen;
            EXPECT_EQ(game.error().text, "bad FEN '" + std::string(fen) + "'");
            EXPECT_EQ(game.error().fen_error, FenError::InvalidBoard);
        }
    }
}

TEST(GameFromFen, ReadsFieldsAlreadySplit) {
    const std::array<std::string_view, 6> fields{"4k3/8/8/8/8/8/8/R3K3", "w", "Q", "-", "3", "9"};
    const auto game = Game::from_fen(fields, false);
    ASSERT_TRUE(game.has_value());
    EXPECT_EQ(game.value().to_fen(), "4k3/8/8/8/8/8/8/R3K3 w Q - 3 9");
    // The error quotes the fields joined by single spaces.
    const std::array<std::string_view, 3> short_fields{"4k3/8/8/8/8/8/8/R3K3", "w", ""};
    const auto refused = Game::from_fen(short_fields, true);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().text, "bad FEN '4k3/8/8/8/8/8/8/R3K3 w '");
    EXPECT_EQ(refused.error().fen_error, FenError::MissingField);
}

TEST(GameFromFen, AcceptsAnyUnicodeWhiteSpaceBetweenFields) {
    const std::string fen =
        "\t rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\t\tw  KQkq\xC2\xA0-\xE3\x80\x80"
        "0 1 \n";
    EXPECT_EQ(read_game(fen).to_fen(), StartFen);
}

TEST(GameFromFen, KeepsLargeClocks) {
    const Game game = read_game("4k3/8/8/8/8/8/8/R3K3 w - - 150 70000");
    EXPECT_EQ(game.halfmove(), 150u);
    EXPECT_EQ(game.fullmove(), 70000u);
    EXPECT_EQ(game.to_fen(), "4k3/8/8/8/8/8/8/R3K3 w - - 150 70000");
    EXPECT_EQ(game.status(), GameStatus::SeventyFiveMoveRule);
}

TEST(GameFromFen, FullmoveZeroReadsAsOneAndPlusIsAllowed) {
    EXPECT_EQ(read_game("4k3/8/8/8/8/8/8/R3K3 w - - +7 0").to_fen(),
              "4k3/8/8/8/8/8/8/R3K3 w - - 7 1");
}

TEST(GameFromFen, RejectsNegativeAndNonNumericClocks) {
    for (const std::string_view fen :
         {"4k3/8/8/8/8/8/8/R3K3 w - - -1 1", "4k3/8/8/8/8/8/8/R3K3 w - - x 1",
          "4k3/8/8/8/8/8/8/R3K3 w - - 0 ++1", "4k3/8/8/8/8/8/8/R3K3 w - - 0 4294967296",
          "4k3/8/8/8/8/8/8/R3K3 w - - + 1"}) {
        EXPECT_FALSE(Game::from_fen(fen, false).has_value()) << fen;
    }
    EXPECT_EQ(read_game("4k3/8/8/8/8/8/8/R3K3 w - - 0 4294967295").fullmove(), 4294967295u);
}

TEST(GameFromFen, Chess960TurnsKqIntoOutermostRookFiles) {
    EXPECT_EQ(read_game(StartFen, true).to_fen(),
              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1");
    const Game game = read_game("1r1k2r1/pppppppp/8/8/8/8/PPPPPPPP/1R1K2R1 w KQkq - 0 1", true);
    EXPECT_EQ(game.to_fen(), "1r1k2r1/pppppppp/8/8/8/8/PPPPPPPP/1R1K2R1 w GBgb - 0 1");
    EXPECT_EQ(game.board().castling(Color::White).short_file, File::G);
    EXPECT_EQ(game.board().castling(Color::White).long_file, File::B);
}

TEST(GameFromFen, Chess960KWithoutRookFails) {
    EXPECT_FALSE(Game::from_fen("4k3/8/8/8/8/8/8/4K3 w K - 0 1", true).has_value());
    // Standard mode hands KQkq to the board reader unchanged; file letters are refused there.
    EXPECT_FALSE(Game::from_fen("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", false).has_value());
    EXPECT_TRUE(Game::from_fen("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", true).has_value());
}

TEST(GameToFen, ShowsEnPassantOnlyWhenACaptureIsLegal) {
    Game game = Game::new_game();
    play_all(game, {"e2e4"});
    EXPECT_EQ(game.board().en_passant(), File::E);
    EXPECT_EQ(game.to_fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    play_all(game, {"d7d5", "e4e5", "f7f5"});
    EXPECT_EQ(game.to_fen(), "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
}

TEST(GameToFen, HidesEnPassantWhenTheCapturingPawnIsPinned) {
    // The e5 pawn is pinned along the e-file: d6 is not usable.
    const Game game = read_game("4r1k1/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(game.to_fen(), "4r1k1/8/8/3pP3/8/8/8/4K3 w - - 0 1");
}

TEST(GamePlay, CountsFromThePositionBeforeTheMove) {
    Game game = Game::new_game();
    play_all(game, {"g1f3"});
    EXPECT_EQ(game.halfmove(), 1u);
    EXPECT_EQ(game.fullmove(), 1u);
    play_all(game, {"g8f6"});
    EXPECT_EQ(game.halfmove(), 2u);
    EXPECT_EQ(game.fullmove(), 2u);
    play_all(game, {"e2e4"});
    EXPECT_EQ(game.halfmove(), 0u);
}

TEST(GamePlay, CastlingIsReversibleAndCapturesAreNot) {
    Game game = read_game("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 10");
    play_all(game, {"e1g1"});
    EXPECT_EQ(game.halfmove(), 6u);
    play_all(game, {"a8a1"});
    EXPECT_EQ(game.halfmove(), 0u);
    EXPECT_EQ(game.fullmove(), 11u);
}

TEST(GamePlay, CountersSaturate) {
    Game game = read_game("4k3/8/8/8/8/8/8/R3K3 b - - 4294967295 4294967295");
    play_all(game, {"e8d8"});
    EXPECT_EQ(game.halfmove(), 4294967295u);
    EXPECT_EQ(game.fullmove(), 4294967295u);
}

TEST(GameStatus, RepetitionsByKnightShuffles) {
    Game game = Game::new_game();
    const std::vector<std::string> cycle{"g1f3", "g8f6", "f3g1", "f6g8"};
    play_all(game, cycle);
    EXPECT_EQ(game.status(), GameStatus::Ongoing);
    play_all(game, cycle);
    EXPECT_EQ(game.status(), GameStatus::ThreefoldRepetition);
    play_all(game, cycle);
    EXPECT_EQ(game.status(), GameStatus::ThreefoldRepetition);
    play_all(game, cycle);
    EXPECT_EQ(game.status(), GameStatus::FivefoldRepetition);
}

TEST(GameStatus, RepetitionCountOfALongShuffle) {
    // Every position is counted in a table, so a long game costs no more per ply: after n
    // cycles the start position has stood n + 1 times, the others n times.
    Game game = Game::new_game();
    const std::vector<std::string> cycle{"g1f3", "g8f6", "f3g1", "f6g8"};
    std::vector<Move> moves;
    for (const std::string& text : cycle) {
        moves.push_back(game.parse_move(text).value());
        game.play(moves.back());
    }
    ASSERT_EQ(game.repetition_count(), 2u);
    for (int ply = 4; ply < 40000; ++ply) game.play(moves[ply % 4]);
    EXPECT_EQ(game.repetition_count(), 10001u);
    EXPECT_EQ(game.halfmove(), 40000u);
    EXPECT_EQ(game.status(), GameStatus::FivefoldRepetition);
    game.play(moves[0]);
    EXPECT_EQ(game.repetition_count(), 10001u);
}

TEST(GameStatus, IrreversibleMoveForgetsEarlierPositions) {
    Game game = Game::new_game();
    play_all(game, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"});
    ASSERT_EQ(game.status(), GameStatus::ThreefoldRepetition);
    play_all(game, {"e2e3", "e7e6", "g1f3", "g8f6", "f3g1", "f6g8"});
    EXPECT_EQ(game.status(), GameStatus::Ongoing);
    EXPECT_EQ(game.repetition_count(), 2u);
    // A capture clears the table too.
    Game capture = read_game("4k3/8/8/8/8/8/n7/R3K1N1 w - - 0 1");
    play_all(capture, {"g1f3", "e8d8", "f3g1", "d8e8", "a1a2"});
    EXPECT_EQ(capture.repetition_count(), 1u);
}

TEST(GameEquality, ComparesBoardModeAndPositionsSeen) {
    Game a = Game::new_game();
    Game b = a;
    EXPECT_EQ(a, b);
    play_all(a, {"g1f3", "g8f6", "f3g1", "f6g8"});
    // The same position, seen twice in one game (and with other counters).
    EXPECT_EQ(a.board().position_key(), b.board().position_key());
    EXPECT_NE(a, b);
    Game c = b;
    play_all(b, {"g1f3", "g8f6", "f3g1", "f6g8"});
    EXPECT_EQ(a, b);
    // The same board by another road has seen other positions.
    play_all(c, {"b1c3", "b8c6", "c3b1", "c6b8"});
    EXPECT_EQ(c.board(), a.board());
    EXPECT_EQ(c.repetition_count(), a.repetition_count());
    EXPECT_NE(c, a);
    EXPECT_NE(read_game(std::string(StartFen), true), Game::new_game());
}

TEST(GameStatus, UnusableEnPassantDoesNotMakeADifferentPosition) {
    // After e2e4 the board has an en passant file nobody can use; coming back to the position
    // later (without it) is the same position.
    Game game = read_game("4k3/8/8/8/8/8/4P3/4K1N1 w - - 0 1");
    play_all(game, {"e2e4", "e8d8", "g1f3", "d8e8", "f3g1", "e8d8", "g1f3", "d8e8", "f3g1"});
    EXPECT_EQ(game.status(), GameStatus::ThreefoldRepetition);
}

TEST(GameStatus, InsufficientMaterial) {
    for (const std::string_view fen :
         {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/2B1K3 w - - 0 1",
          "4k3/8/8/8/8/8/8/1N2K3 b - - 0 1", "2b1k3/8/8/8/8/8/8/3BKB2 w - - 0 1",
          "3bk3/8/8/8/8/8/8/2B1K3 w - - 0 1", "4k3/8/8/8/8/8/8/2B1K1B1 w - - 0 1"}) {
        EXPECT_EQ(read_game(fen).status(), GameStatus::InsufficientMaterial) << fen;
    }
    for (const std::string_view fen :
         {"1n2k3/8/8/8/8/8/8/1N2K3 w - - 0 1", "4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1",
          "1n2k3/8/8/8/8/8/8/2B1K3 w - - 0 1", "2b1k3/8/8/8/8/8/8/2B1K3 w - - 0 1",
          "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"}) {
        EXPECT_EQ(read_game(fen).status(), GameStatus::Ongoing) << fen;
    }
}

TEST(GameStatus, MoveCountRules) {
    EXPECT_EQ(read_game("4k3/8/8/8/8/8/8/R3K3 w - - 99 80").status(), GameStatus::Ongoing);
    EXPECT_EQ(read_game("4k3/8/8/8/8/8/8/R3K3 w - - 100 80").status(), GameStatus::FiftyMoveRule);
    EXPECT_EQ(read_game("4k3/8/8/8/8/8/8/R3K3 w - - 149 80").status(), GameStatus::FiftyMoveRule);
}

TEST(GameStatus, MateAndStalemateComeFirst) {
    EXPECT_EQ(read_game("R3k3/8/4K3/8/8/8/8/8 b - - 150 80").status(), GameStatus::Checkmate);
    EXPECT_EQ(read_game("4k3/4P3/4K3/8/8/8/8/8 b - - 150 80").status(), GameStatus::Stalemate);
}

TEST(GameFen, RandomPlayoutsRoundTrip) {
    std::uint64_t state = 12345;
    const auto next = [&](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % bound;
    };
    for (unsigned playout = 0; playout < 400; ++playout) {
        const bool chess960 = playout % 2 == 1;
        Game game = chess960
                        ? read_game(testing::chess960_start(static_cast<unsigned>(next(960))), true)
                        : Game::new_game();
        for (int ply = 0; ply < 120 && game.status() == GameStatus::Ongoing; ++ply) {
            const std::vector<Move> moves = game.legal_moves();
            game.play(moves[next(moves.size())]);
            const std::string fen = game.to_fen();
            const Game again = read_game(fen, chess960);
            ASSERT_EQ(again.to_fen(), fen);
            ASSERT_TRUE(same_position(again.board(), game.board())) << fen;
            ASSERT_EQ(again.legal_moves(), game.legal_moves()) << fen;
        }
    }
}

}  // namespace
}  // namespace velloran
