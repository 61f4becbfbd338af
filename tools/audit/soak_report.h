#pragma once

// The soak run's report: a Markdown page with the run's figures, the faults and how their
// games ended, and each departure with its replay; a JSON record with the rates.

#include <string>
#include <vector>

#include "tools/audit/cli.h"
#include "tools/audit/soak.h"

namespace pawnlark::audit {

// The report of a judged soak run.
struct SoakReport {
    const Options* options = nullptr;
    SoakRun soak;
    SoakJudgement judgement;
    std::vector<std::string> replays;  // one per departure, empty when none
    std::string command;               // the manager's, for a shell
};
std::string soak_markdown(const SoakReport& report);
std::string soak_json(const SoakReport& report);

}  // namespace pawnlark::audit
