#include "app/protocol/cecp/cecp_dialect.h"

#include "app/engine/move_choice.h"
#include "app/protocol/cecp/cecp_loop.h"

namespace pawnlark {
namespace {

using velloran::Color;
using velloran::Game;
using velloran::Move;

}  // namespace

CecpDialect::CecpDialect(CecpSession& session)
    : session_(session), pending_replies_(session.settings.info_quirk) {}

DialectMode CecpDialect::fault_mode() const { return cecp_fault_mode(session_.settings); }

std::string CecpDialect::move_answer(const Game&, Move, std::string_view text, bool,
                                     bool junk) const {
    return "move " + std::string(text) + (junk ? " junk" : "");
}

std::string CecpDialect::move_text(const Game&, Move move) const {
    return cecp_move_text(session_, move);
}

std::string CecpDialect::claim_line(ClaimKind claim, Color side) const {
    switch (claim) {
        case ClaimKind::Resign:
            return "resign";
        case ClaimKind::ClaimWin:
            return side == Color::White ? "1-0 {White mates}" : "0-1 {Black mates}";
        case ClaimKind::OfferDraw:
            return "offer draw";
        case ClaimKind::ClaimDraw:
            return "1/2-1/2 {Draw by repetition}";
        case ClaimKind::RejectUsermove:
            break;
    }
    return {};
}

std::string CecpDialect::report(std::int32_t score, std::uint32_t nodes, std::uint64_t,
                                std::string_view pv) const {
    return "1 " + std::to_string(score) + " 1 " + std::to_string(nodes) + " " + std::string(pv);
}

std::string CecpDialect::flood_line(const FaultSettings&, std::uint32_t depth,
                                    std::optional<std::string_view> first_move) const {
    const std::string d = std::to_string(depth);
    std::string line = d + " 0 0 " + d;
    if (first_move) line.append(" ").append(*first_move);
    return line;
}

// Thinking output as "ply score time nodes pv", time in centiseconds, while "post" is on, one
// line for each MultiPV line; mates as 100000 plus the moves to mate, as xboard reads them.
// Bound lines are UCI's alone.
std::optional<std::string> CecpDialect::thinking_line(const ThinkReport& report) const {
    if (!session_.state.post || report.kind != ThinkReport::Kind::Line
        || report.bound != ThinkReport::Bound::Exact) {
        return std::nullopt;
    }
    const std::int64_t score = report.mate_in ? 100000 + *report.mate_in : report.score_cp;
    std::string line = std::to_string(report.depth) + " " + std::to_string(score) + " "
                       + std::to_string(report.time_ms / 10) + " " + std::to_string(report.nodes);
    for (const std::string& move : report.pv) line += " " + move;
    return line;
}

// The status line of "." in analysis.
std::string CecpDialect::status_line(const ThinkingSearch& search, std::uint64_t time_ms) const {
    return "stat01: " + std::to_string(time_ms / 10) + " "
           + std::to_string(search.nodes_at(time_ms)) + " " + std::to_string(search.depth()) + " 0 "
           + std::to_string(search.candidate_count()) + " " + search.best_move_text();
}

Dialect& CecpDialect::pending_replies() { return pending_replies_; }

// The engine plays its own move as the manager will read it back, and announces the end of
// the game that move brings.
std::optional<std::string> CecpDialect::after_move(Move move) {
    const Move played = session_.state.game.move_read_back(move);
    session_.state.game.play(played);
    session_.state.xboard.record.played(played);
    return game_end(session_);
}

MidSearch CecpDialect::mid_search(const Command& command) const {
    const MidSearch kind = cecp_mid_search(command.word());
    // "?" moves now, but an analysis owes no move; a command that changes the game or the
    // mode ends an analysis, which then starts again on what it leaves.
    if (kind == MidSearch::MoveNow)
        return session_.state.analyzing ? MidSearch::Now : MidSearch::Stop;
    if (kind == MidSearch::AbortAnalysis) {
        return session_.state.analyzing ? MidSearch::Abort : MidSearch::Defer;
    }
    return kind;
}

LoopControl CecpDialect::handle(const Command& command) {
    return handle_cecp_line(session_, command);
}

std::string CecpPendingReplies::answer_word() const { return "bestmove"; }

std::string CecpPendingReplies::no_move() const { return "bestmove 0000"; }

std::string CecpPendingReplies::move_answer(const Game& game, Move move, std::string_view text,
                                            bool ponder, bool) const {
    std::string line = "bestmove " + std::string(text);
    if (ponder) {
        if (const auto reply = first_reply_text(game, move)) line += " ponder " + *reply;
    }
    return line;
}

std::string CecpPendingReplies::report(std::int32_t score, std::uint32_t nodes,
                                       std::uint64_t time_ms, std::string_view pv) const {
    return "info depth 1 score cp " + std::to_string(score) + " nodes " + std::to_string(nodes)
           + " time " + std::to_string(time_ms) + " pv " + std::string(pv);
}

}  // namespace pawnlark
