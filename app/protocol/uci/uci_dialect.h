#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/engine/thinking.h"
#include "app/io/command.h"
#include "app/protocol/dialect.h"
#include "velloran/chess/game.h"

namespace pawnlark {

struct UciSession;

// "info ..." as UCI front ends read it.
std::string uci_info_line(const ThinkReport& report);

// Every line UCI writes in answer to a search, over the session it answers for.
class UciDialect final : public Dialect {
public:
    explicit UciDialect(UciSession& session) : session_(session) {}

    DialectMode fault_mode() const override { return DialectMode::Uci; }
    std::optional<InfoQuirk> info_quirk() const override;
    std::string answer_word() const override { return "bestmove"; }
    std::string no_move() const override { return "bestmove 0000"; }
    bool names_ponder_move() const override;
    std::string move_answer(const velloran::Game& game, velloran::Move move, std::string_view text,
                            bool ponder, bool junk) const override;
    std::string move_text(const velloran::Game& game, velloran::Move move) const override {
        return game.move_text(move);
    }
    std::string claim_line(ClaimKind claim, velloran::Color side) const override;
    std::string report(std::int32_t score, std::uint32_t nodes, std::uint64_t time_ms,
                       std::string_view pv) const override;
    std::string flood_line(const FaultSettings& faults, std::uint32_t depth,
                           std::optional<std::string_view> first_move) const override;
    std::optional<std::string> thinking_line(const ThinkReport& report) const override {
        return uci_info_line(report);
    }
    std::string status_line(const ThinkingSearch& search, std::uint64_t time_ms) const override;
    std::optional<std::string> after_move(velloran::Move) override { return std::nullopt; }
    MidSearch mid_search(const Command& command) const override;
    LoopControl handle(const Command& command) override;

private:
    UciSession& session_;
};

}  // namespace pawnlark
