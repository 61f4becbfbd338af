#include "velloran/rules/movegen.h"

#include <bit>

#include "rules/attacks.h"
#include "rules/board_internal.h"
#include "velloran/rules/board.h"

namespace velloran {
namespace {

constexpr BitBoard NotFileA = ~BitBoard::of_file(File::A);
constexpr BitBoard NotFileH = ~BitBoard::of_file(File::H);

template <Color Us>
constexpr BitBoard forward(BitBoard b) {
    return Us == Color::White ? BitBoard{b.bits << 8} : BitBoard{b.bits >> 8};
}

template <Color Us>
constexpr BitBoard relative_rank(Rank r) {
    return BitBoard::of_rank(Us == Color::White ? r : rank_from_index(7 - index(r)));
}

}  // namespace

bool en_passant_allowed(const Board& board, Color us, Square king, Square from, Square target,
                        const std::uint64_t* table) {
    const Square captured = square_from_index(index(target) + (us == Color::White ? -8 : 8));
    const BitBoard occupied =
        board.occupied() ^ BitBoard::from(from) ^ BitBoard::from(captured) ^ BitBoard::from(target);
    const Color them = ~us;
    const BitBoard queens = board.pieces(them, Piece::Queen);
    if ((rook_attacks(king, occupied, table) & (board.pieces(them, Piece::Rook) | queens)).any()) {
        return false;
    }
    return (bishop_attacks(king, occupied, table) & (board.pieces(them, Piece::Bishop) | queens))
        .empty();
}

namespace {

// Every square the enemy attacks with the king of `us` lifted off the board, so a slider
// checking along a line also covers the square behind the king.
BitBoard enemy_attacks(const Board& board, Color us, Square king, const std::uint64_t* table) {
    const Color them = ~us;
    const BitBoard occupied = board.occupied() ^ BitBoard::from(king);
    const BitBoard pawns = board.pieces(them, Piece::Pawn);
    BitBoard out = them == Color::White
                       ? BitBoard{((pawns & NotFileA).bits << 7) | ((pawns & NotFileH).bits << 9)}
                       : BitBoard{((pawns & NotFileA).bits >> 9) | ((pawns & NotFileH).bits >> 7)};
    out |= king_attacks(board.pieces(them, Piece::King).first());
    for (const Square s : board.pieces(them, Piece::Knight)) out |= knight_attacks(s);
    const BitBoard queens = board.pieces(them, Piece::Queen);
    for (const Square s : board.pieces(them, Piece::Bishop) | queens) {
        out |= bishop_attacks(s, occupied, table);
    }
    for (const Square s : board.pieces(them, Piece::Rook) | queens) {
        out |= rook_attacks(s, occupied, table);
    }
    return out;
}

// Castling with the rook on `rook_file` when the king is not in check, given the squares the
// enemy attacks around the lifted king.
bool castling_allowed(const Board& board, Color us, Square king, File rook_file, bool is_short,
                      BitBoard attacked) {
    const Rank rank = back_rank(us);
    const Square rook = make_square(rook_file, rank);
    const Square king_to = make_square(is_short ? File::G : File::C, rank);
    const Square rook_to = make_square(is_short ? File::F : File::D, rank);
    const BitBoard king_path = between(king, king_to) | BitBoard::from(king_to);
    const BitBoard others = board.occupied() ^ BitBoard::from(king) ^ BitBoard::from(rook);
    if (((between(king, rook) | king_path | BitBoard::from(rook_to)) & others).any()) return false;
    return !board.pinned().contains(rook) && (king_path & attacked).empty();
}

// Whether castling with that rook passes the tests that need no attack map; most positions
// with rights fail here, so the map is rarely built for castling alone.
bool castling_path_clear(const Board& board, Square king, Square rook) {
    return (between(king, rook) & board.occupied()).empty();
}

}  // namespace

BitBoard king_destinations(const Board& board, Color us, Square king, const std::uint64_t* table) {
    const BitBoard steps = king_attacks(king) & ~board.pieces(us);
    const CastlingRights& rights = board.castling(us);
    const Rank rank = back_rank(us);
    const bool try_short =
        rights.short_file && board.checkers().empty()
        && castling_path_clear(board, king, make_square(*rights.short_file, rank));
    const bool try_long = rights.long_file && board.checkers().empty()
                          && castling_path_clear(board, king, make_square(*rights.long_file, rank));
    if (steps.empty() && !try_short && !try_long) return steps;

    const BitBoard attacked = enemy_attacks(board, us, king, table);
    BitBoard to = steps & ~attacked;
    if (try_short && castling_allowed(board, us, king, *rights.short_file, true, attacked)) {
        to |= BitBoard::from(make_square(*rights.short_file, rank));
    }
    if (try_long && castling_allowed(board, us, king, *rights.long_file, false, attacked)) {
        to |= BitBoard::from(make_square(*rights.long_file, rank));
    }
    return to;
}

namespace {

template <Color Us>
void push_pawn_groups(PieceMovesList& list, BitBoard pawns, BitBoard empty, BitBoard enemy,
                      BitBoard target) {
    const BitBoard third = relative_rank<Us>(Rank::Three);
    for (const Square s : pawns) {
        const BitBoard one = forward<Us>(BitBoard::from(s)) & empty;
        const BitBoard two = forward<Us>(one & third) & empty;
        const BitBoard to = (one | two | (pawn_attacks(Us, s) & enemy)) & target;
        if (to.any()) list.push({Piece::Pawn, s, to});
    }
}

template <Color Us>
PieceMovesList generate(const Board& board) {
    const std::uint64_t* table = slider_table();
    PieceMovesList list;
    const BitBoard own = board.pieces(Us);
    const BitBoard enemy = board.pieces(~Us);
    const BitBoard occupied = own | enemy;
    const Square king = board.pieces(Us, Piece::King).first();
    const BitBoard checkers = board.checkers();

    if (checkers.has_more_than_one()) {
        const BitBoard to = king_destinations(board, Us, king, table);
        if (to.any()) list.push({Piece::King, king, to});
        return list;
    }
    const bool in_check = checkers.any();
    const BitBoard target = in_check ? between(king, checkers.first()) | checkers : ~own;
    const BitBoard pinned = board.pinned() & own;
    const BitBoard free = ~pinned;

    const BitBoard pawns = board.pieces(Us, Piece::Pawn);
    push_pawn_groups<Us>(list, pawns & free, ~occupied, enemy, target);
    if (!in_check) {
        for (const Square s : pawns& pinned) {
            push_pawn_groups<Us>(list, BitBoard::from(s), ~occupied, enemy, target & line(king, s));
        }
    }
    if (const std::optional<Square> ep = board.en_passant_square()) {
        for (const Square s : pawn_attacks(~Us, *ep) & pawns) {
            if (en_passant_allowed(board, Us, king, s, *ep, table)) {
                list.push({Piece::Pawn, s, BitBoard::from(*ep)});
            }
        }
    }
    for (const Square s : board.pieces(Us, Piece::Knight) & free) {
        const BitBoard to = knight_attacks(s) & target;
        if (to.any()) list.push({Piece::Knight, s, to});
    }

    auto sliders = [&](Piece piece, auto attacks) {
        const BitBoard all = board.pieces(Us, piece);
        for (const Square s : all& free) {
            const BitBoard to = attacks(s) & target;
            if (to.any()) list.push({piece, s, to});
        }
        if (in_check) return;
        for (const Square s : all& pinned) {
            const BitBoard to = attacks(s) & target & line(king, s);
            if (to.any()) list.push({piece, s, to});
        }
    };
    sliders(Piece::Bishop, [&](Square s) { return bishop_attacks(s, occupied, table); });
    sliders(Piece::Rook, [&](Square s) { return rook_attacks(s, occupied, table); });
    sliders(Piece::Queen, [&](Square s) {
        return bishop_attacks(s, occupied, table) | rook_attacks(s, occupied, table);
    });

    const BitBoard to = king_destinations(board, Us, king, table);
    if (to.any()) list.push({Piece::King, king, to});
    return list;
}

constexpr std::array<Piece, 4> Promotions{Piece::Knight, Piece::Bishop, Piece::Rook, Piece::Queen};

// Promotions count three extra moves per destination; they are rare, so they get a second pass.
std::size_t extra_promotion_moves(const PieceMoves* first, const PieceMoves* last) {
    std::size_t extra = 0;
    for (const PieceMoves* group = first; group != last; ++group) {
        if (group->piece == Piece::Pawn) {
            extra += 3 * static_cast<std::size_t>((group->to & PromotionRanks).count());
        }
    }
    return extra;
}

// Per-byte population counts summed in eight byte lanes (at most 8 per group and 20 groups, so
// no lane overflows), widened to 16-bit lanes and added up once at the end.
std::size_t count_bytewise(const PieceMoves* first, const PieceMoves* last) {
    std::uint64_t lanes = 0;
    std::uint64_t promoting = 0;
    for (const PieceMoves* group = first; group != last; ++group) {
        lanes += byte_popcounts(group->to.bits);
        promoting |= group->piece == Piece::Pawn ? group->to.bits & PromotionRanks.bits : 0;
    }
    lanes = (lanes & 0x00FF00FF00FF00FFULL) + ((lanes >> 8) & 0x00FF00FF00FF00FFULL);
    const std::size_t total = (lanes * 0x0001000100010001ULL) >> 48;
    return promoting == 0 ? total : total + extra_promotion_moves(first, last);
}

// Where the count instruction can be used: always when the target has it, after a check of the
// processor on x86-64 without it (the baseline target lacks it, almost every processor running
// this has it), never with VELLORAN_PORTABLE_BITS.
#if !defined(VELLORAN_PORTABLE_BITS) && defined(__POPCNT__)
#define VELLORAN_COUNT_INSTRUCTION
#elif !defined(VELLORAN_PORTABLE_BITS) && defined(__x86_64__) && defined(__GNUC__)
#define VELLORAN_COUNT_INSTRUCTION __attribute__((target("popcnt")))
#define VELLORAN_COUNT_INSTRUCTION_AT_RUN_TIME
#endif

#ifdef VELLORAN_COUNT_INSTRUCTION
VELLORAN_COUNT_INSTRUCTION std::size_t count_by_instruction(const PieceMoves* first,
                                                            const PieceMoves* last) {
    // Pawn groups come first (pushes, then en passant captures).
    std::size_t total = 0;
    std::uint64_t pawn_destinations = 0;
    const PieceMoves* group = first;
    for (; group != last && group->piece == Piece::Pawn; ++group) {
        total += static_cast<std::size_t>(std::popcount(group->to.bits));
        pawn_destinations |= group->to.bits;
    }
    for (; group != last; ++group) total += static_cast<std::size_t>(std::popcount(group->to.bits));
    return (pawn_destinations & PromotionRanks.bits) == 0
               ? total
               : total + extra_promotion_moves(first, last);
}
#endif

}  // namespace

std::size_t PieceMoves::move_count() const {
    const BitBoard promoting = piece == Piece::Pawn ? to & PromotionRanks : BitBoard{};
    return static_cast<std::size_t>(to.count()) + 3 * static_cast<std::size_t>(promoting.count());
}

void PieceMoves::expand_into(std::vector<Move>& moves) const {
    moves.reserve(moves.size() + move_count());
    for (const Square s : to) {
        if (piece == Piece::Pawn && PromotionRanks.contains(s)) {
            for (const Piece p : Promotions) moves.push_back(Move{from, s, p});
        } else {
            moves.push_back(Move{from, s, std::nullopt});
        }
    }
}

std::size_t PieceMovesList::move_count() const {
    // Counting is most of the work at the leaves of a perft.
#if defined(VELLORAN_COUNT_INSTRUCTION_AT_RUN_TIME)
    static const bool has_popcnt = __builtin_cpu_supports("popcnt");
    if (has_popcnt) return count_by_instruction(begin(), end());
    return count_bytewise(begin(), end());
#elif defined(VELLORAN_COUNT_INSTRUCTION)
    return count_by_instruction(begin(), end());
#else
    return count_bytewise(begin(), end());
#endif
}

PieceMovesList Board::legal_piece_moves() const {
    return side_to_move_ == Color::White ? generate<Color::White>(*this)
                                         : generate<Color::Black>(*this);
}

std::vector<Move> Board::legal_moves() const {
    const PieceMovesList groups = legal_piece_moves();
    std::vector<Move> moves;
    moves.reserve(groups.move_count());
    for (const PieceMoves& group : groups) group.expand_into(moves);
    return moves;
}

}  // namespace velloran
