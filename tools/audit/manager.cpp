#include "tools/audit/manager.h"

#include <array>
#include <cmath>
#include <utility>

namespace pawnlark::audit {
namespace {

constexpr std::array<std::pair<ManagerKind, std::string_view>, 4> KindNames{{
    {ManagerKind::Fastchess, "fastchess"},
    {ManagerKind::Cutechess, "cutechess"},
    {ManagerKind::Xboard, "xboard"},
    {ManagerKind::Custom, "custom"},
}};

// A Chess960 start position whose rooks are the outermost ones, so KQkq names them in every
// FEN dialect.
constexpr std::string_view Chess960Opening = "bbqnnrkr/pppppppp/8/8/8/8/PPPPPPPP/BBQNNRKR w KQkq -";

// Up to three decimals, no trailing zeros: "2", "0.02".
std::string decimal(double value) {
    const long thousandths = std::lround(value * 1000);
    std::string text = std::to_string(thousandths / 1000);
    long fraction = thousandths % 1000;
    if (fraction == 0) return text;
    std::string digits = std::to_string(fraction + 1000).substr(1);
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

// xboard's -tc takes minutes[:seconds].
std::string xboard_clock(double seconds) {
    const long whole = std::lround(seconds);
    const long rest = whole % 60;
    return std::to_string(whole / 60) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

void append(std::vector<std::string>& to, std::initializer_list<std::string> words) {
    to.insert(to.end(), words.begin(), words.end());
}

std::vector<std::string> fastchess_command(const Setup& setup, const Cell& cell,
                                           const CellFiles& files, std::string& openings) {
    std::vector<std::string> faulty = engine_command(setup, cell, true);
    std::vector<std::string> normal = engine_command(setup, cell, false);
    faulty.erase(faulty.begin());
    normal.erase(normal.begin());
    std::vector<std::string> line{setup.manager};
    append(line, {"-engine", "cmd=" + setup.engine, "name=faulty", "args=" + joined(faulty),
                  "-engine", "cmd=" + setup.engine, "name=normal", "args=" + joined(normal)});
    append(line, {"-each", cell.limit == Limit::Nodes ? "nodes=" + std::to_string(setup.nodes)
                                                      : "tc=" + clock_text(setup)});
    if (cell.scenario->chess960) {
        openings = std::string(Chess960Opening) + "\n";
        append(line, {"-variant", "fischerandom", "-openings", "file=" + files.openings,
                      "format=epd", "order=sequential"});
    }
    append(line, {"-rounds", "1", "-games", "2", "-pgnout", "file=" + files.pgn, "-log",
                  "file=" + files.directory + "/fastchess.log", "level=info", "engine=true",
                  "-ping-ms", std::string(FastchessPingMs)});
    return line;
}

std::vector<std::string> cutechess_command(const Setup& setup, const Cell& cell,
                                           const CellFiles& files, std::string& openings) {
    const std::string proto = cell.protocol == Protocol::Uci ? "proto=uci" : "proto=xboard";
    std::vector<std::string> line{setup.manager};
    for (const bool faulty : {true, false}) {
        const std::vector<std::string> engine = engine_command(setup, cell, faulty);
        append(line,
               {"-engine", "cmd=" + engine.front(), faulty ? "name=faulty" : "name=normal", proto});
        for (std::size_t i = 1; i < engine.size(); ++i) line.push_back("arg=" + engine[i]);
    }
    line.emplace_back("-each");
    if (cell.limit == Limit::Nodes) {
        append(line, {"tc=inf", "nodes=" + std::to_string(setup.nodes)});
    } else {
        line.push_back("tc=" + clock_text(setup));
    }
    if (cell.scenario->ponder) line.emplace_back("ponder");
    if (cell.scenario->chess960) {
        openings = std::string(Chess960Opening) + "\n";
        append(line, {"-variant", "fischerandom", "-openings", "file=" + files.openings,
                      "format=epd", "order=sequential", "-repeat"});
    }
    append(line, {"-rounds", "1", "-games", "2", "-pgnout", files.pgn, "-debug", "all"});
    return line;
}

std::vector<std::string> xboard_command(const Setup& setup, const Cell& cell,
                                        const CellFiles& files, int display) {
    std::vector<std::string> line{setup.xvfb_run, "-a", "-n", std::to_string(display),
                                  setup.manager};
    // -matchPause: the default 10 s between games guards engines without ping, which both
    // engines here answer.
    append(line, {"-noGUI", "-mm", "-matchGames", "2", "-matchPause", "1000", "-tc",
                  xboard_clock(setup.clock_seconds), "-inc", decimal(setup.increment_seconds),
                  "-autoCallFlag", "true", cell.scenario->ponder ? "-ponder" : "-xponder"});
    append(line, {"-fcp", shell_line(engine_command(setup, cell, true)), "-fd", files.directory,
                  "-scp", shell_line(engine_command(setup, cell, false)), "-sd", files.directory});
    if (cell.protocol == Protocol::Uci) {
        append(line, {"-fUCI", "-sUCI", "-adapterCommand",
                      shell_quote(setup.polyglot) + " -noini -ec \"%fcp\" -ed \"%fd\""});
    }
    if (cell.scenario->chess960) append(line, {"-variant", "fischerandom"});
    append(line, {"-saveGameFile", files.pgn, "-debug", "-nameOfDebugFile",
                  files.directory + "/xboard.debug"});
    return line;
}

// Replaces every placeholder; the engine lines and the path go in as single shell words.
std::string fill_template(const Setup& setup, const Cell& cell, const CellFiles& files) {
    const std::array<std::pair<std::string_view, std::string>, 5> values{{
        {FaultyPlaceholder, shell_quote(shell_line(engine_command(setup, cell, true)))},
        {NormalPlaceholder, shell_quote(shell_line(engine_command(setup, cell, false)))},
        {PgnPlaceholder, shell_quote(files.pgn)},
        {ClockPlaceholder, clock_text(setup)},
        {ProtoPlaceholder, std::string(name_of(cell.protocol))},
    }};
    std::string text;
    std::string_view rest = setup.command_template;
    while (!rest.empty()) {
        bool replaced = false;
        for (const auto& [placeholder, value] : values) {
            if (rest.starts_with(placeholder)) {
                text += value;
                rest.remove_prefix(placeholder.size());
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            text.push_back(rest.front());
            rest.remove_prefix(1);
        }
    }
    return text;
}

}  // namespace

std::optional<ManagerKind> manager_kind_named(std::string_view name) {
    for (const auto& [kind, text] : KindNames) {
        if (text == name) return kind;
    }
    return std::nullopt;
}

std::string_view name_of(ManagerKind kind) {
    for (const auto& [value, text] : KindNames) {
        if (value == kind) return text;
    }
    return "custom";
}

Capabilities capabilities_of(const Setup& setup) {
    switch (setup.kind) {
        case ManagerKind::Fastchess:
            return {false, true};
        case ManagerKind::Cutechess:
            return {true, true};
        case ManagerKind::Xboard:
            return {true, false};
        case ManagerKind::Custom:
            break;
    }
    return {setup.command_template.find(ProtoPlaceholder) != std::string::npos, false};
}

std::string clock_text(const Setup& setup) {
    return decimal(setup.clock_seconds) + "+" + decimal(setup.increment_seconds);
}

CellFiles cell_files(const std::string& directory) {
    return {directory, directory + "/games.pgn", directory + "/openings.epd"};
}

std::vector<std::string> engine_command(const Setup& setup, const Cell& cell, bool faulty) {
    std::vector<std::string> line{setup.engine, "--name", faulty ? "faulty" : "normal"};
    if (cell.protocol == Protocol::Cecp) append(line, {"--proto", "cecp", "--cecp-standard"});
    if (faulty) {
        line.insert(line.end(), cell.scenario->engine_arguments.begin(),
                    cell.scenario->engine_arguments.end());
    } else if (cell.scenario->ponder) {
        line.emplace_back("--ponder");
    }
    return line;
}

ManagerCommand manager_command(const Setup& setup, const Cell& cell, const CellFiles& files,
                               int display) {
    ManagerCommand command;
    switch (setup.kind) {
        case ManagerKind::Fastchess:
            command.arguments = fastchess_command(setup, cell, files, command.openings);
            break;
        case ManagerKind::Cutechess:
            command.arguments = cutechess_command(setup, cell, files, command.openings);
            break;
        case ManagerKind::Xboard:
            command.arguments = xboard_command(setup, cell, files, display);
            command.runs_until_stopped = true;
            break;
        case ManagerKind::Custom:
            command.arguments = {"/bin/sh", "-c", fill_template(setup, cell, files)};
            break;
    }
    return command;
}

std::string shell_quote(std::string_view word) {
    const bool plain = !word.empty()
                       && word.find_first_not_of(
                              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU"
                              "VWXYZ0123456789_-+=/.,:%@")
                              == std::string::npos;
    if (plain) return std::string(word);
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "'";
}

std::string shell_line(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& word : arguments) {
        line += (line.empty() ? "" : " ") + shell_quote(word);
    }
    return line;
}

std::vector<std::string_view> missing_placeholders(std::string_view command_template) {
    std::vector<std::string_view> missing;
    for (const std::string_view placeholder :
         {FaultyPlaceholder, NormalPlaceholder, PgnPlaceholder}) {
        if (command_template.find(placeholder) == std::string_view::npos) {
            missing.push_back(placeholder);
        }
    }
    return missing;
}

}  // namespace pawnlark::audit
