#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/protocol/dialect.h"
#include "velloran/chess/game.h"

namespace pawnlark {

struct CecpSession;

// The replies CECP gives to the UCI words it understands for a pending search ("go infinite",
// then "stop" or "ponderhit"): UCI's own, so that the same script drives both dialects.
class CecpPendingReplies final : public Dialect {
public:
    explicit CecpPendingReplies(std::optional<InfoQuirk> quirk) : quirk_(quirk) {}

    DialectMode fault_mode() const override { return DialectMode::Uci; }
    std::optional<InfoQuirk> info_quirk() const override { return quirk_; }
    std::string answer_word() const override;
    std::string no_move() const override;
    bool names_ponder_move() const override { return false; }
    std::string move_answer(const velloran::Game& game, velloran::Move move, std::string_view text,
                            bool ponder, bool junk) const override;
    std::string move_text(const velloran::Game& game, velloran::Move move) const override {
        return game.move_text(move);
    }
    std::string claim_line(ClaimKind, velloran::Color) const override { return no_move(); }
    std::string report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                       std::string_view pv) const override;
    std::string flood_line(const FaultSettings&, std::uint32_t,
                           std::optional<std::string_view>) const override {
        return {};
    }
    std::optional<std::string> thinking_line(const ThinkReport&) const override {
        return std::nullopt;
    }
    std::string status_line(const ThinkingSearch&, std::uint64_t) const override { return {}; }
    std::optional<std::string> after_move(velloran::Move) override { return std::nullopt; }
    MidSearch mid_search(const Command&) const override { return MidSearch::Defer; }
    LoopControl handle(const Command&) override { return LoopControl::Continue; }

private:
    std::optional<InfoQuirk> quirk_;
};

// Every line CECP writes in answer to a search, over the session it answers for. The engine
// plays its own move as the manager will read it back.
class CecpDialect final : public Dialect {
public:
    explicit CecpDialect(CecpSession& session);

    DialectMode fault_mode() const override;
    std::optional<InfoQuirk> info_quirk() const override { return std::nullopt; }
    std::string answer_word() const override { return "move"; }
    std::string no_move() const override { return "resign"; }
    bool names_ponder_move() const override { return false; }
    std::string move_answer(const velloran::Game& game, velloran::Move move, std::string_view text,
                            bool ponder, bool junk) const override;
    std::string move_text(const velloran::Game& game, velloran::Move move) const override;
    std::string claim_line(ClaimKind claim, velloran::Color side) const override;
    std::string report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                       std::string_view pv) const override;
    std::string flood_line(const FaultSettings& faults, std::uint32_t depth,
                           std::optional<std::string_view> first_move) const override;
    std::optional<std::string> thinking_line(const ThinkReport& report) const override;
    std::string status_line(const ThinkingSearch& search, std::uint64_t time_ms) const override;
    Dialect& pending_replies() override;
    std::optional<std::string> after_move(velloran::Move move) override;
    MidSearch mid_search(const Command& command) const override;
    LoopControl handle(const Command& command) override;

private:
    CecpSession& session_;
    CecpPendingReplies pending_replies_;
};

}  // namespace pawnlark
