#include "velloran/chess/game.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <utility>

#include "velloran/chess/notation.h"
#include "velloran/text.h"

namespace velloran {
namespace {

constexpr std::uint32_t CounterMax = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t BoardHalfmoveMax = 100;
constexpr std::uint32_t BoardFullmoveMax = 65535;

// The file of the first (`outermost_last` false) or last rook letter in a rank text, counting
// digits as runs of empty squares.
std::optional<File> rook_file(std::string_view rank_text, char rook, bool outermost_last) {
    std::optional<unsigned> found;
    unsigned file = 0;
    for (const char c : rank_text) {
        if (c >= '0' && c <= '9') {
            file = std::min(255u, file + static_cast<unsigned>(c - '0'));
            continue;
        }
        if (c == rook && (outermost_last || !found)) found = file;
        file = std::min(255u, file + 1);
    }
    if (!found || *found > 7) return std::nullopt;
    return file_from_index(static_cast<int>(*found));
}

// Rewrites KQkq into the file letters of the outermost rooks of each back rank.
std::optional<std::string> chess960_castling(std::string_view placement,
                                             std::string_view castling) {
    std::array<std::string_view, 8> ranks{};
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= placement.size(); ++at) {
        if (at != placement.size() && placement[at] != '/') continue;
        if (count == ranks.size()) return std::nullopt;
        ranks[count++] = placement.substr(start, at - start);
        start = at + 1;
    }
    if (count != ranks.size()) return std::nullopt;

    std::string rewritten;
    for (const char c : castling) {
        const bool white = c == 'K' || c == 'Q';
        const bool short_side = c == 'K' || c == 'k';
        if (!white && c != 'k' && c != 'q') {
            rewritten += c;
            continue;
        }
        const auto file = rook_file(white ? ranks[7] : ranks[0], white ? 'R' : 'r', short_side);
        if (!file) return std::nullopt;
        rewritten += static_cast<char>((white ? 'A' : 'a') + index(*file));
    }
    return rewritten;
}

std::vector<std::string_view> split_fields(std::string_view fen) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= fen.size(); ++at) {
        if (at == fen.size() || fen[at] == ' ') {
            fields.push_back(fen.substr(start, at - start));
            start = at + 1;
        }
    }
    return fields;
}

// The pawns of the side to move that can legally capture en passant right now.
bool en_passant_usable(const Board& board) {
    const auto target = board.en_passant_square();
    if (!target) return false;
    const Color us = board.side_to_move();
    const Rank from_rank = us == Color::White ? Rank::Five : Rank::Four;
    for (const int step : {-1, 1}) {
        const int file = index(file_of(*target)) + step;
        if (file < 0 || file > 7) continue;
        const Square from = make_square(file_from_index(file), from_rank);
        if (board.pieces(us, Piece::Pawn).contains(from)
            && board.is_legal(Move{from, *target, std::nullopt})) {
            return true;
        }
    }
    return false;
}

bool insufficient_material(const Board& board) {
    if ((board.pieces(Piece::Pawn) | board.pieces(Piece::Rook) | board.pieces(Piece::Queen))
            .any()) {
        return false;
    }
    constexpr BitBoard LightSquares{0x55AA55AA55AA55AAULL};
    const BitBoard bishops = board.pieces(Piece::Bishop);
    const BitBoard knights = board.pieces(Piece::Knight);
    if (knights.empty())
        return (bishops & LightSquares).empty() || (bishops & ~LightSquares).empty();
    const auto lone_knight = [&](Color c) {
        return bishops.empty() && knights.count() == 1 && (knights & board.pieces(c)).any();
    };
    return lone_knight(Color::White) || lone_knight(Color::Black);
}

std::uint32_t saturating_increment(std::uint32_t value) {
    return value == CounterMax ? value : value + 1;
}

}  // namespace

Game::Game(Board board, std::uint32_t halfmove, std::uint32_t fullmove, bool chess960)
    : board_(board),
      history_{board_},
      halfmove_(halfmove),
      fullmove_(fullmove),
      chess960_(chess960) {}

Game Game::new_game() { return Game(Board::startpos(), 0, 1, false); }

Result<Game> Game::from_fen(std::string_view text, bool chess960) {
    // More than six fields is refused anyway: stop counting there, whatever the text's length.
    std::vector<std::string_view> fields;
    for (const std::string_view field : Words(text)) {
        if (fields.size() == 7) break;
        fields.push_back(field);
    }
    if (fields.size() == 4) {
        fields.push_back("0");
        fields.push_back("1");
    }
    if (fields.size() != 6) return bad_fen(text);
    const auto halfmove = parse_unsigned<std::uint32_t>(fields[4]);
    const auto fullmove_read = parse_unsigned<std::uint32_t>(fields[5]);
    if (!halfmove || !fullmove_read) return bad_fen(text);
    const std::uint32_t fullmove = *fullmove_read == 0 ? 1 : *fullmove_read;

    std::string castling(fields[2]);
    if (chess960 && castling != "-") {
        auto rewritten = chess960_castling(fields[0], castling);
        if (!rewritten) return bad_fen(text);
        castling = std::move(*rewritten);
    }
    std::string board_fen;
    for (const std::string_view part :
         {fields[0], fields[1], std::string_view(castling), fields[3]}) {
        board_fen.append(part);
        board_fen += ' ';
    }
    board_fen += std::to_string(std::min(*halfmove, BoardHalfmoveMax));
    board_fen += ' ';
    board_fen += std::to_string(std::min(fullmove, BoardFullmoveMax));

    const auto board = Board::from_fen(board_fen, chess960);
    if (!board) return bad_fen(text);
    return Game(board.value(), *halfmove, fullmove, chess960);
}

std::string Game::to_fen() const {
    const std::string written = board_.write_fen(chess960_);
    const std::vector<std::string_view> fields = split_fields(written);
    std::string fen;
    for (std::size_t i = 0; i < 3; ++i) {
        fen.append(fields[i]);
        fen += ' ';
    }
    fen.append(en_passant_usable(board_) ? fields[3] : std::string_view("-"));
    fen += ' ' + std::to_string(halfmove_) + ' ' + std::to_string(fullmove_);
    return fen;
}

std::vector<Move> Game::legal_moves() const { return board_.legal_moves(); }

void Game::play(Move move) {
    const Color mover = board_.side_to_move();
    const bool irreversible =
        board_.piece_at(move.from) == Piece::Pawn || board_.color_at(move.to) == ~mover;
    halfmove_ = irreversible ? 0 : saturating_increment(halfmove_);
    if (mover == Color::Black) fullmove_ = saturating_increment(fullmove_);
    board_.play(move);
    if (irreversible) history_.clear();
    history_.push_back(board_);
}

GameStatus Game::status() const {
    if (board_.legal_piece_moves().move_count() == 0) {
        return board_.checkers().any() ? GameStatus::Checkmate : GameStatus::Stalemate;
    }
    if (insufficient_material(board_)) return GameStatus::InsufficientMaterial;
    const auto repetitions = std::count_if(
        history_.begin(), history_.end(), [&](const Board& b) { return same_position(b, board_); });
    if (repetitions >= 5) return GameStatus::FivefoldRepetition;
    if (halfmove_ >= 150) return GameStatus::SeventyFiveMoveRule;
    if (repetitions >= 3) return GameStatus::ThreefoldRepetition;
    if (halfmove_ >= 100) return GameStatus::FiftyMoveRule;
    return GameStatus::Ongoing;
}

std::string Game::move_text(Move move) const {
    return velloran::move_text(board_, move, chess960_);
}

Result<Move> Game::parse_move(std::string_view text) const {
    return velloran::parse_move(board_, text, chess960_);
}

bool same_position(const Board& a, const Board& b) {
    if (a.hash_without_en_passant() != b.hash_without_en_passant()) return false;
    for (const Piece p :
         {Piece::Pawn, Piece::Knight, Piece::Bishop, Piece::Rook, Piece::Queen, Piece::King}) {
        if (a.pieces(p) != b.pieces(p)) return false;
    }
    const auto effective_en_passant = [](const Board& board) {
        return en_passant_usable(board) ? board.en_passant() : std::nullopt;
    };
    return a.pieces(Color::White) == b.pieces(Color::White)
           && a.pieces(Color::Black) == b.pieces(Color::Black)
           && a.side_to_move() == b.side_to_move()
           && a.castling(Color::White) == b.castling(Color::White)
           && a.castling(Color::Black) == b.castling(Color::Black)
           && effective_en_passant(a) == effective_en_passant(b);
}

}  // namespace velloran
