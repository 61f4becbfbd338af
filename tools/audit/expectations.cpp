#include "tools/audit/expectations.h"

#include <cctype>
#include <charconv>

namespace pawnlark::audit {
namespace {

constexpr int FieldCount = 8;

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits at '|' into trimmed fields; the last field (the reason) keeps any further '|'.
std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    while (static_cast<int>(fields.size()) < FieldCount - 1) {
        const std::size_t bar = line.find('|');
        if (bar == std::string_view::npos) break;
        fields.push_back(trim(line.substr(0, bar)));
        line.remove_prefix(bar + 1);
    }
    fields.push_back(trim(line));
    return fields;
}

Error bad_row(int line, const std::string& what) {
    return Error{"expectations, line " + std::to_string(line) + ": " + what};
}

// Fills the row from its fields; the error text when a field is not understood.
std::optional<std::string> read_row(const std::vector<std::string_view>& fields, Expectation& row) {
    row.scenario = std::string(fields[0]);
    bool known = false;
    for (const Scenario& scenario : all_scenarios()) known |= scenario.id == row.scenario;
    if (!known) return "unknown scenario '" + row.scenario + "'";

    if (fields[1] == "uci") {
        row.protocol = Protocol::Uci;
    } else if (fields[1] == "cecp") {
        row.protocol = Protocol::Cecp;
    } else if (fields[1] != "any") {
        return "protocol '" + std::string(fields[1]) + "' is not uci, cecp or any";
    }
    if (fields[2] == "clock") {
        row.limit = Limit::Clock;
    } else if (fields[2] == "nodes") {
        row.limit = Limit::Nodes;
    } else if (fields[2] != "any") {
        return "limit '" + std::string(fields[2]) + "' is not clock, nodes or any";
    }
    if (fields[3] == "expect") {
        row.stance = Stance::Expect;
    } else if (fields[3] == "open") {
        row.stance = Stance::Open;
    } else {
        return "verdict '" + std::string(fields[3]) + "' is not expect or open";
    }

    std::string_view games = fields[4];
    if (games == "rules") {
        row.games = GamesRule::Rules;
    } else if (games == "unplayed") {
        row.games = GamesRule::Unplayed;
    } else if (games == "any") {
        row.games = GamesRule::Any;
    } else if (games.starts_with("lost")) {
        row.games = GamesRule::FaultyLoses;
        games.remove_prefix(4);
        if (games.starts_with(":")) {
            games.remove_prefix(1);
            while (!games.empty()) {
                const std::size_t comma = games.find(',');
                const std::string_view name = games.substr(0, comma);
                const std::optional<Ending> ending = ending_named(name);
                if (!ending) return "unknown ending '" + std::string(name) + "'";
                row.endings.push_back(*ending);
                games = comma == std::string_view::npos ? "" : games.substr(comma + 1);
            }
        } else if (!games.empty()) {
            return "games '" + std::string(fields[4]) + "' is not lost or lost:ENDING,...";
        }
    } else {
        return "games '" + std::string(games) + "' is not rules, lost, unplayed or any";
    }

    if (fields[5] == "0") {
        row.exit = ExitRule::Zero;
    } else if (fields[5] == "cut") {
        row.exit = ExitRule::FailsIfCut;
    } else if (fields[5] == "any") {
        row.exit = ExitRule::Any;
    } else {
        return "exit '" + std::string(fields[5]) + "' is not 0, cut or any";
    }

    const std::string_view slack = fields[6];
    if (slack == "wait") {
        row.may_wait = true;
    } else if (slack != "-") {
        int seconds = 0;
        const auto [end, error] =
            std::from_chars(slack.data(), slack.data() + slack.size(), seconds);
        if (error != std::errc{} || end != slack.data() + slack.size() || seconds < 0) {
            return "slack '" + std::string(slack) + "' is not seconds, wait or -";
        }
        row.slack = seconds;
    }
    row.reason = std::string(fields[7]);
    if (row.reason.empty()) return "the reason is missing";
    return std::nullopt;
}

}  // namespace

Checked<std::vector<Expectation>> parse_expectations(std::string_view text) {
    std::vector<Expectation> table;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? "" : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::vector<std::string_view> fields = fields_of(line);
        if (static_cast<int>(fields.size()) != FieldCount) {
            return bad_row(number, std::to_string(FieldCount) + " fields separated by | expected");
        }
        Expectation row;
        row.line = number;
        if (const std::optional<std::string> problem = read_row(fields, row)) {
            return bad_row(number, *problem);
        }
        table.push_back(std::move(row));
    }
    return table;
}

const Expectation* find_expectation(const std::vector<Expectation>& table, const Cell& cell) {
    for (const Expectation& row : table) {
        if (row.scenario == cell.scenario->id
            && row.protocol.value_or(cell.protocol) == cell.protocol
            && row.limit.value_or(cell.limit) == cell.limit) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace pawnlark::audit
