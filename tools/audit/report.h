#pragma once

// The audit's report: a Markdown matrix with every finding and its reproduction, and a JSON
// record of every cell.

#include <string>
#include <vector>

#include "tools/audit/expectations.h"
#include "tools/audit/judge.h"
#include "tools/audit/manager.h"

namespace pawnlark::audit {

struct CellResult {
    Cell cell;
    const Expectation* expectation = nullptr;
    CellRun run;
    Judgement judgement;
    std::string command;    // the manager's command line, for a shell
    std::string directory;  // the cell's files
};

struct AuditReport {
    Setup setup;
    std::vector<CellResult> cells;
    double wall_seconds = 0;
    int jobs = 1;
    int repeat = 1;  // runs of each cell
};

std::string markdown_report(const AuditReport& report);
std::string json_report(const AuditReport& report);

// "7 min 12 s", "42 s".
std::string duration_text(double seconds);

// The text as a Markdown table cell: no bars, no line ends.
std::string table_text(const std::string& text);
// The text as a JSON string, quotes included.
std::string json_string(const std::string& text);
// The value with two decimals: "1.50".
std::string json_number(double value);

}  // namespace pawnlark::audit
