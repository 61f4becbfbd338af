#include "tools/audit/scenario.h"

namespace pawnlark::audit {
namespace {

const std::string Ply = std::to_string(FaultPly);

Scenario make(std::string id, std::string summary, std::vector<std::string> arguments) {
    Scenario scenario;
    scenario.id = std::move(id);
    scenario.summary = std::move(summary);
    scenario.engine_arguments = std::move(arguments);
    return scenario;
}

Scenario uci_only(Scenario scenario) {
    scenario.cecp = false;
    return scenario;
}

Scenario cecp_only(Scenario scenario) {
    scenario.uci = false;
    return scenario;
}

// The faults a manager must notice without a clock, so they run under a node limit too.
Scenario with_nodes(Scenario scenario) {
    scenario.under_nodes = true;
    return scenario;
}

// The faults that end the engine by itself, with status 3.
Scenario exits(Scenario scenario) {
    scenario.exit_status = 3;
    return scenario;
}

Scenario garble(const std::string& kind, std::string summary) {
    return make("garble-" + kind, std::move(summary), {"--garble-at-ply", Ply, "--garble", kind});
}

Scenario flood(const std::string& kind, std::string summary) {
    return make("flood-" + kind, std::move(summary),
                {"--flood-at-ply", Ply, "--flood-lines", "1000", "--flood-kind", kind});
}

Scenario handshake(const std::string& kind, std::string summary) {
    return make("handshake-" + kind, std::move(summary), {"--handshake-fault", kind});
}

Scenario claim(const std::string& id, const std::string& kind, std::string summary) {
    return cecp_only(
        make(id, std::move(summary), {"--cecp-claim-at-ply", Ply, "--cecp-claim", kind}));
}

std::vector<Scenario> build_scenarios() {
    std::vector<Scenario> all{
        with_nodes(make("control", "no fault", {})),
        with_nodes(
            exits(make("crash", "exits (status 3) instead of answering", {"--crash-at-ply", Ply}))),
        exits(make("crash-after", "answers its move, then exits (status 3)",
                   {"--crash-after-ply", Ply})),
        with_nodes(make("stall", "stops answering for good", {"--stall-at-ply", Ply})),
        with_nodes(make("illegal", "answers the illegal move a1a1", {"--illegal-at-ply", Ply})),
        make("slow", "takes 15 ms per move, three quarters of the increment", {"--delay-ms", "15"}),
        make("flag", "answers 50 ms after its clock ran out", {"--flag-at-ply", Ply}),
        make("flag-late", "answers 1 s after its clock ran out",
             {"--flag-at-ply", Ply, "--flag-overrun-ms", "1000"}),
        handshake("no-ok", "never ends the handshake (UCI: no uciok; CECP: done=0 only)"),
        handshake("silent", "ignores the handshake request (uci / protover)"),
        exits(handshake("exit", "exits (status 3) during the handshake")),
        handshake("no-ready", "never answers isready / ping"),
        make("handshake-slow", "waits 1 s before answering the handshake",
             {"--handshake-delay-ms", "1000"}),
        garble("empty", "answers the move word alone: bestmove / move"),
        garble("null", "answers the null move 0000 though it has legal moves"),
        garble("kxr", "writes standard castling king onto rook (e1h1)"),
        garble("trailing", "adds a word after the move (bestmove X ponder / move X junk)"),
        garble("noeol", "leaves its answer without a line end"),
        exits(garble("noeol-exit", "leaves its answer without a line end, then exits")),
        flood("valid", "sends 1000 valid info lines before each move"),
        uci_only(flood("badpv", "sends 1000 info lines with an illegal PV before each move")),
        uci_only(flood("multipv", "sends 1000 info lines alternating multipv 1 and 2")),
        uci_only(flood("string", "sends 1000 info string lines before each move")),
        make("quit-slow", "takes 2 s to end after quit", {"--quit-delay-ms", "2000"}),
        make("quit-ignored", "ignores quit (ends only at the end of its input)", {"--ignore-quit"}),
        make("crlf", "ends its lines in CR LF", {"--line-end", "crlf"}),
        make("tab", "separates words by a tab", {"--token-sep", "tab"}),
        make("double-space", "separates words by two spaces", {"--token-sep", "double"}),
        claim("claim-resign", "resign", "resigns"),
        claim("claim-win", "claim-win", "claims a false mate (1-0 {White mates}) for itself"),
        claim("offer-draw", "offer-draw", "offers a draw, then moves"),
        claim("claim-draw", "claim-draw", "claims a false draw by repetition, then moves"),
        claim("reject-usermove", "reject-usermove",
              "answers a legal opponent move with Illegal move"),
    };
    Scenario ponder = uci_only(make("ponder", "ponders correctly", {"--ponder"}));
    ponder.ponder = true;
    Scenario premature =
        uci_only(make("ponder-premature", "answers go ponder at once, before ponderhit or stop",
                      {"--ponder", "--ponder-premature-at-ply", Ply}));
    premature.ponder = true;
    Scenario chess960 =
        uci_only(make("chess960-no-option", "plays Chess960 without announcing UCI_Chess960",
                      {"--no-chess960-option"}));
    chess960.chess960 = true;
    Scenario chess960_control = make("chess960", "no fault, in Chess960 games", {});
    chess960_control.chess960 = true;
    for (Scenario* scenario : {&ponder, &premature, &chess960_control, &chess960}) {
        all.push_back(std::move(*scenario));
    }
    return all;
}

}  // namespace

std::string_view name_of(Protocol protocol) { return protocol == Protocol::Uci ? "uci" : "cecp"; }

std::string_view name_of(Limit limit) { return limit == Limit::Clock ? "clock" : "nodes"; }

const std::vector<Scenario>& all_scenarios() {
    static const std::vector<Scenario> scenarios = build_scenarios();
    return scenarios;
}

std::string Cell::id() const {
    return scenario->id + "/" + std::string(name_of(protocol)) + "/" + std::string(name_of(limit));
}

std::vector<Cell> full_matrix(const Capabilities& capabilities) {
    std::vector<Cell> cells;
    for (const Scenario& scenario : all_scenarios()) {
        for (const Protocol protocol : {Protocol::Uci, Protocol::Cecp}) {
            const bool speaks =
                protocol == Protocol::Uci ? scenario.uci : scenario.cecp && capabilities.cecp;
            if (!speaks) continue;
            cells.push_back({&scenario, protocol, Limit::Clock});
            if (scenario.under_nodes && capabilities.nodes) {
                cells.push_back({&scenario, protocol, Limit::Nodes});
            }
        }
    }
    return cells;
}

bool cell_matches(const Cell& cell, std::string_view pattern) {
    const std::string id = cell.id();
    std::string_view rest = id;
    while (!pattern.empty()) {
        const std::size_t pattern_end = pattern.find('/');
        const std::size_t id_end = rest.find('/');
        const std::string_view want = pattern.substr(0, pattern_end);
        if (want != "*" && want != rest.substr(0, id_end)) return false;
        if (pattern_end == std::string_view::npos) return true;
        if (id_end == std::string_view::npos) return false;
        pattern.remove_prefix(pattern_end + 1);
        rest.remove_prefix(id_end + 1);
    }
    return true;
}

}  // namespace pawnlark::audit
