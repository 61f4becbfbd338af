#include "tools/audit/report.h"

#include <cmath>
#include <cstdio>

namespace pawnlark::audit {
namespace {

struct Column {
    Protocol protocol;
    Limit limit;
    std::string title;
};

const CellResult* find_result(const AuditReport& report, const Scenario& scenario,
                              const Column& column) {
    for (const CellResult& result : report.cells) {
        if (result.cell.scenario == &scenario && result.cell.protocol == column.protocol
            && result.cell.limit == column.limit) {
            return &result;
        }
    }
    return nullptr;
}

std::string verdict_mark(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Finding:
            return "**finding**";
        case Verdict::Open:
            return "open";
    }
    return "open";
}

// "**finding** in 2 of 5" when the cell ran more than once.
std::string verdict_text(const Judgement& judgement) {
    std::string text = verdict_mark(judgement.verdict);
    if (judgement.verdict == Verdict::Finding && judgement.runs > 1) {
        text += " in " + std::to_string(judgement.finding_runs) + " of "
                + std::to_string(judgement.runs);
    }
    return text;
}

int count(const AuditReport& report, Verdict verdict) {
    int n = 0;
    for (const CellResult& result : report.cells) n += result.judgement.verdict == verdict;
    return n;
}

std::string json_optional(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string json_strings(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items) out += (out.size() > 1 ? ", " : "") + json_string(item);
    return out + "]";
}

}  // namespace

std::string table_text(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '|') {
            out += "\\|";
        } else if (c == '\n') {
            out += ' ';
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out.push_back(c);
                }
        }
    }
    return out + "\"";
}

std::string json_number(double value) {
    const long hundredths = std::lround(value * 100);
    const std::string fraction = std::to_string(100 + std::labs(hundredths) % 100).substr(1);
    return (hundredths < 0 ? "-" : "") + std::to_string(std::labs(hundredths) / 100) + "."
           + fraction;
}

std::string duration_text(double seconds) {
    const long whole = std::lround(seconds);
    if (whole < 60) return std::to_string(whole) + " s";
    return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

std::string markdown_report(const AuditReport& report) {
    const Setup& setup = report.setup;
    std::string md = "# pawnlark-audit: " + std::string(name_of(setup.kind)) + "\n\n";
    md += "Manager `" +
          (setup.kind == ManagerKind::Custom ? setup.command_template : setup.manager) +
          "`, engine `" + setup.engine + "`. Each cell is one pair of games (colours swapped) "
          "between a faulty and a plain pawnlark, under a clock of " + clock_text(setup) +
          " s or a limit of " + std::to_string(setup.nodes) + " nodes; per-ply faults fire "
          "from ply " + std::to_string(FaultPly) + ".\n\n";
    md += std::to_string(report.cells.size()) + " cells"
          + (report.repeat > 1 ? ", each run " + std::to_string(report.repeat) + " times," : "")
          + " in " + duration_text(report.wall_seconds) + " (" + std::to_string(report.jobs)
          + " at a time): " + std::to_string(count(report, Verdict::Ok)) + " ok, "
          + std::to_string(count(report, Verdict::Finding)) + " findings, "
          + std::to_string(count(report, Verdict::Open)) + " with no single right answer.\n\n";

    std::vector<Column> columns;
    for (const Protocol protocol : {Protocol::Uci, Protocol::Cecp}) {
        for (const Limit limit : {Limit::Clock, Limit::Nodes}) {
            bool used = false;
            for (const CellResult& result : report.cells) {
                used |= result.cell.protocol == protocol && result.cell.limit == limit;
            }
            if (!used) continue;
            columns.push_back({protocol, limit,
                               std::string(protocol == Protocol::Uci ? "UCI" : "CECP")
                                   + (limit == Limit::Clock ? ", clock" : ", nodes")});
        }
    }
    md +=
        "## Matrix\n\nEach cell: the verdict, then each game from the faulty engine's side "
        "and how it ended.\n\n| Scenario | Fault |";
    std::string rule = "|---|---|";
    for (const Column& column : columns) {
        md += " " + column.title + " |";
        rule += "---|";
    }
    md += "\n" + rule + "\n";
    for (const Scenario& scenario : all_scenarios()) {
        std::string row = "| " + scenario.id + " | " + table_text(scenario.summary) + " |";
        bool any = false;
        for (const Column& column : columns) {
            const CellResult* result = find_result(report, scenario, column);
            if (result == nullptr) {
                row += " |";
                continue;
            }
            any = true;
            row += " " + verdict_text(result->judgement) + ": "
                   + table_text(result->judgement.outcome) + " |";
        }
        if (any) md += row + "\n";
    }

    md += "\n## Findings\n";
    if (count(report, Verdict::Finding) == 0) md += "\nNone.\n";
    for (const CellResult& result : report.cells) {
        if (result.judgement.verdict != Verdict::Finding) continue;
        md += "\n### " + result.cell.id() + "\n\n";
        if (result.judgement.runs > 1) {
            md += "Found in " + std::to_string(result.judgement.finding_runs) + " of "
                  + std::to_string(result.judgement.runs) + " runs. ";
        }
        md += "The faulty engine " + result.cell.scenario->summary + ". ";
        if (result.expectation != nullptr) md += "Expected: " + result.expectation->reason;
        md += "\n\n";
        for (const std::string& problem : result.judgement.problems) md += "- " + problem + "\n";
        md += "\nWhat happened: " + result.judgement.summary + ".\n\n";
        md += "Reproduce:\n\n```sh\n" + result.command + "\n```\n";
    }

    md += "\n## No single right answer\n";
    if (count(report, Verdict::Open) == 0) md += "\nNone.\n";
    for (const CellResult& result : report.cells) {
        if (result.judgement.verdict != Verdict::Open) continue;
        md += "\n- **" + result.cell.id() + "**: " + result.judgement.summary + ". ";
        if (result.expectation != nullptr) md += result.expectation->reason;
        md += "\n";
    }
    return md;
}

std::string json_report(const AuditReport& report) {
    const Setup& setup = report.setup;
    std::string js = "{\n";
    js += "  \"manager\": " + json_string(std::string(name_of(setup.kind))) + ",\n";
    js += "  \"path\": " + json_string(setup.manager) + ",\n";
    js += "  \"template\": " + json_string(setup.command_template) + ",\n";
    js += "  \"engine\": " + json_string(setup.engine) + ",\n";
    js += "  \"clock\": " + json_string(clock_text(setup)) + ",\n";
    js += "  \"nodes\": " + std::to_string(setup.nodes) + ",\n";
    js += "  \"fault_ply\": " + std::to_string(FaultPly) + ",\n";
    js += "  \"jobs\": " + std::to_string(report.jobs) + ",\n";
    js += "  \"wall_seconds\": " + json_number(report.wall_seconds) + ",\n";
    js += "  \"counts\": {\"ok\": " + std::to_string(count(report, Verdict::Ok))
          + ", \"finding\": " + std::to_string(count(report, Verdict::Finding))
          + ", \"open\": " + std::to_string(count(report, Verdict::Open)) + "},\n";
    js += "  \"cells\": [";
    bool first = true;
    for (const CellResult& result : report.cells) {
        const CellRun& run = result.run;
        js += first ? "\n" : ",\n";
        first = false;
        js += "    {\"id\": " + json_string(result.cell.id())
              + ", \"scenario\": " + json_string(result.cell.scenario->id)
              + ", \"protocol\": " + json_string(std::string(name_of(result.cell.protocol)))
              + ", \"limit\": " + json_string(std::string(name_of(result.cell.limit))) + ",\n";
        js += "     \"verdict\": " + json_string(std::string(name_of(result.judgement.verdict)))
              + ", \"runs\": " + std::to_string(result.judgement.runs)
              + ", \"finding_runs\": " + std::to_string(result.judgement.finding_runs)
              + ", \"problems\": " + json_strings(result.judgement.problems) + ",\n";
        js += "     \"summary\": " + json_string(result.judgement.summary) + ",\n";
        js += "     \"expected\": "
              + json_string(result.expectation != nullptr ? result.expectation->reason : "")
              + ",\n";
        js += "     \"exit_code\": " + json_optional(run.exit_code) + ", \"signal\": "
              + json_optional(run.signal) + ", \"hung\": " + (run.hung ? "true" : "false")
              + ", \"stopped_by_audit\": " + (run.stopped_by_audit ? "true" : "false")
              + ", \"wall_seconds\": " + json_number(run.wall_seconds)
              + ", \"leftover_engines\": " + json_strings(run.leftovers)
              + ", \"start_failure\": " + json_string(run.failure) + ",\n";
        js += "     \"games\": [";
        for (std::size_t i = 0; i < run.games.size(); ++i) {
            const GameRecord& game = run.games[i];
            js += (i == 0 ? "" : ", ") + std::string("{\"white\": ") + json_string(game.white)
                  + ", \"black\": " + json_string(game.black) + ", \"result\": "
                  + json_string(game.result) + ", \"termination\": " + json_string(game.termination)
                  + ", \"reason\": " + json_string(game.reason)
                  + ", \"ending\": " + json_string(std::string(name_of(classify(game)))) + "}";
        }
        js += "],\n";
        js += "     \"command\": " + json_string(result.command)
              + ", \"directory\": " + json_string(result.directory) + "}";
    }
    js += "\n  ]\n}\n";
    return js;
}

}  // namespace pawnlark::audit
