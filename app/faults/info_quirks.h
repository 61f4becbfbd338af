#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/faults/fault_settings.h"
#include "velloran/chess/game.h"

namespace pawnlark {

// Rewrites the search reports among one answer's lines as the quirk says, in place; without a
// quirk nothing changes. A search report is an "info" line other than "info string"; every
// other line is kept as it is. `game` is the position searched: long-pv continues each pv from
// it, and with mate-zero a checkmated side's answer gains "info depth 0 score mate 0" first.
// Streamed reports go through here one at a time, as a vector of one line.
void apply_info_quirk(std::optional<InfoQuirk> quirk, std::vector<std::string>& lines,
                      const velloran::Game& game);

// One line under the quirk: a search report rewritten, followed for string-score by an info
// string that carries "score" and "pv" words of its own; any other line unchanged.
std::vector<std::string> quirk_report(InfoQuirk quirk, std::string_view line,
                                      const velloran::Game& game);

}  // namespace pawnlark
