#pragma once

#include <cstdint>
#include <optional>

namespace pawnlark {

// What the engine says instead of (or besides) its move when a CECP claim fires.
enum class ClaimKind : std::uint8_t {
    Resign,          // "resign" instead of the move
    ClaimWin,        // a false mate claim for the side to move, instead of the move
    OfferDraw,       // "offer draw", then the move
    ClaimDraw,       // a repetition claim, then the move
    RejectUsermove,  // the opponent's move is refused as illegal
};

// How the UCI or CECP handshake fails on purpose.
enum class HandshakeFault : std::uint8_t {
    NoOk,     // the handshake never completes: no "uciok", or "done=0"
    Silent,   // "uci" / "protover" get no answer at all
    Exit,     // end with status 3 at "uci" (after "id name") or "protover"
    NoReady,  // "isready" / "ping" are never answered
};

// How the answer to a search request is malformed on purpose.
enum class GarbleKind : std::uint8_t {
    Empty,      // "bestmove" / "move" without a move
    Null,       // the null move although there are legal moves
    Kxr,        // standard castling written king onto rook
    Trailing,   // junk after the move
    NoEol,      // the last line without its line feed
    NoEolExit,  // the same, then exit with status 3
};

// What the extra lines before an answer look like.
enum class FloodKind : std::uint8_t {
    Valid,    // well-formed info lines with a legal pv
    BadPv,    // an illegal move at the end of each pv
    MultiPv,  // alternating multipv 1 and 2
    String,   // "info string" lines that look like scores
};

// A shape of search report that real engines have printed and front ends have choked on.
enum class InfoQuirk : std::uint8_t {
    NegInfinite,    // "score -INFINITE" instead of "score cp N"
    Bounds,         // every report a "lowerbound"
    TrailingSpace,  // a space after the last word
    WdlFirst,       // "wdl W D L" before "score"
    LongPv,         // the pv continued by legal moves to 200 plies or the game's end
    HugeCounts,     // nodes beyond 2^53, nps beyond 2^63
    MateZero,       // "info depth 0 score mate 0" before a checkmated side's "bestmove 0000"
    StringScore,    // an "info string" with "score cp" and "pv" words after each report
};

// Faults at random but reproducible moments (--chaos, --chaos-seed, --chaos-faults).
struct ChaosSettings {
    std::uint32_t per_mille = 0;        // the chance, at each search request, that a fault fires
    std::optional<std::uint64_t> seed;  // absent: derived from --seed
    std::uint32_t faults = 0;           // the catalogue to draw from, a bit per ChaosFault; 0: all

    friend bool operator==(const ChaosSettings&, const ChaosSettings&) = default;
};

// The faults of the command line: what goes wrong, from which ply, and how.
struct FaultSettings {
    std::optional<std::uint32_t> crash_at_ply;       // exit with status 3 from this ply on
    std::optional<std::uint32_t> stall_at_ply;       // stop answering for good from this ply on
    std::optional<std::uint32_t> illegal_at_ply;     // answer "bestmove a1a1" from this ply on
    std::uint64_t delay_ms = 5;                      // pause before each answer to a search request
    std::optional<std::uint32_t> cecp_claim_at_ply;  // CECP: the claim fires from this ply on
    ClaimKind cecp_claim = ClaimKind::Resign;
    std::optional<std::uint32_t> flag_at_ply;  // lose on time: sleep past the own clock
    std::uint64_t flag_overrun_ms = 50;        // by this much
    std::optional<HandshakeFault> handshake_fault;
    std::uint64_t handshake_delay_ms = 0;          // before answering "uci" or "protover"
    std::optional<std::uint32_t> crash_after_ply;  // exit with status 3 after the answer
    std::optional<std::uint32_t> garble_at_ply;
    GarbleKind garble = GarbleKind::Empty;
    std::optional<std::uint32_t> flood_at_ply;
    std::uint32_t flood_lines = 1000;
    FloodKind flood_kind = FloodKind::Valid;
    std::uint64_t quit_delay_ms = 0;  // pause before ending on "quit"
    bool ignore_quit = false;
    std::optional<std::uint32_t> ponder_premature_at_ply;  // answer "go ponder" at once
    std::optional<InfoQuirk> info_quirk;
    ChaosSettings chaos;

    friend bool operator==(const FaultSettings&, const FaultSettings&) = default;
};

}  // namespace pawnlark
