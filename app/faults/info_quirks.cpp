#include "app/faults/info_quirks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "app/engine/move_choice.h"
#include "velloran/text.h"

namespace pawnlark {
namespace {

using Tokens = std::vector<std::string>;

constexpr std::size_t LongPvPlies = 200;
constexpr std::uint64_t PastDoublePrecision = (std::uint64_t{1} << 53) + 1;
constexpr std::string_view PastSigned64 = "9223372036854775809";

Tokens split(std::string_view line) {
    Tokens tokens;
    for (const std::string_view word : velloran::Words(line)) tokens.emplace_back(word);
    return tokens;
}

std::string join(const Tokens& tokens) {
    std::string line;
    for (const std::string& token : tokens) {
        if (!line.empty()) line += ' ';
        line += token;
    }
    return line;
}

std::optional<std::size_t> find(const Tokens& tokens, std::string_view word) {
    const auto at = std::find(tokens.begin(), tokens.end(), word);
    if (at == tokens.end()) return std::nullopt;
    return static_cast<std::size_t>(at - tokens.begin());
}

// The index of "score" when a kind and a number follow it.
std::optional<std::size_t> find_score(const Tokens& tokens) {
    const auto at = find(tokens, "score");
    if (!at || *at + 2 >= tokens.size()) return std::nullopt;
    if (tokens[*at + 1] != "cp" && tokens[*at + 1] != "mate") return std::nullopt;
    return at;
}

std::optional<std::int64_t> number_at(const Tokens& tokens, std::size_t at) {
    const std::string_view text = tokens[at];
    const bool negative = text.starts_with('-');
    const auto magnitude = velloran::parse_unsigned<std::uint32_t>(text.substr(negative ? 1 : 0));
    if (!magnitude) return std::nullopt;
    return negative ? -std::int64_t{*magnitude} : std::int64_t{*magnitude};
}

// A plausible win/draw/loss split in permille for a score: more draws near equality, the
// winning side's share growing with the score, a mate all one way.
Tokens wdl_for(const Tokens& tokens, std::size_t score) {
    const std::int64_t value = number_at(tokens, score + 2).value_or(0);
    std::int64_t win = 0;
    std::int64_t draw = 0;
    if (tokens[score + 1] == "mate") {
        win = value > 0 ? 1000 : 0;
    } else {
        const std::int64_t bounded = std::clamp<std::int64_t>(value, -1000, 1000);
        draw = std::max<std::int64_t>(0, 500 - std::abs(bounded) / 2);
        win = (1000 - draw) * (1000 + bounded) / 2000;
    }
    return {"wdl", std::to_string(win), std::to_string(draw), std::to_string(1000 - win - draw)};
}

// The pv continued by legal moves from the searched position until it is 200 plies long or
// the game is over; a pv that does not read in the position is left alone. The moves are
// picked in turn from the sorted list, so the line wanders instead of repeating at once.
void lengthen_pv(Tokens& tokens, const velloran::Game& game) {
    const auto pv = find(tokens, "pv");
    if (!pv) return;
    velloran::Game line = game;
    for (std::size_t i = *pv + 1; i < tokens.size(); ++i) {
        const auto move = line.parse_move(tokens[i]);
        if (!move.has_value()) return;
        line.play(move.value());
    }
    for (std::size_t plies = tokens.size() - *pv - 1;
         plies < LongPvPlies && line.status() == velloran::GameStatus::Ongoing; ++plies) {
        const auto moves = sorted_legal_moves(line);
        const velloran::Move move = moves[plies % moves.size()];
        tokens.push_back(line.move_text(move));
        line.play(move);
    }
}

void make_counts_huge(Tokens& tokens) {
    const auto nodes = find(tokens, "nodes");
    if (!nodes || *nodes + 1 >= tokens.size()) return;
    const std::uint64_t count =
        velloran::parse_unsigned<std::uint64_t>(tokens[*nodes + 1]).value_or(0);
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - PastDoublePrecision;
    tokens[*nodes + 1] = std::to_string(PastDoublePrecision + std::min(count, room));
    if (const auto nps = find(tokens, "nps"); nps && *nps + 1 < tokens.size()) {
        tokens[*nps + 1] = PastSigned64;
    } else {
        const auto after = tokens.begin() + static_cast<std::ptrdiff_t>(*nodes + 2);
        tokens.insert(after, {"nps", std::string(PastSigned64)});
    }
}

bool is_search_report(std::string_view line) {
    return line.starts_with("info ") && !line.starts_with("info string");
}

}  // namespace

std::vector<std::string> quirk_report(InfoQuirk quirk, std::string_view line,
                                      const velloran::Game& game) {
    if (!is_search_report(line)) return {std::string(line)};
    Tokens tokens = split(line);
    const auto score = find_score(tokens);
    switch (quirk) {
        case InfoQuirk::NegInfinite:
            if (score) {
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(*score + 2));
                tokens[*score + 1] = "-INFINITE";
            }
            break;
        case InfoQuirk::Bounds:
            if (score) {
                const std::size_t after = *score + 3;
                if (after < tokens.size()
                    && (tokens[after] == "lowerbound" || tokens[after] == "upperbound")) {
                    tokens[after] = "lowerbound";
                } else {
                    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(after),
                                  "lowerbound");
                }
            }
            break;
        case InfoQuirk::TrailingSpace:
            return {join(tokens) + " "};
        case InfoQuirk::WdlFirst:
            if (score) {
                Tokens wdl = wdl_for(tokens, *score);
                if (const auto at = find(tokens, "wdl"); at && *at + 3 < tokens.size()) {
                    const auto from = tokens.begin() + static_cast<std::ptrdiff_t>(*at);
                    wdl.assign(from, from + 4);
                    tokens.erase(from, from + 4);
                }
                tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(*score), wdl.begin(),
                              wdl.end());
            }
            break;
        case InfoQuirk::LongPv:
            lengthen_pv(tokens, game);
            break;
        case InfoQuirk::HugeCounts:
            make_counts_huge(tokens);
            break;
        case InfoQuirk::MateZero:
            break;
        case InfoQuirk::StringScore:
            if (score) {
                // A score that differs from the report's, so a parser that takes it shows.
                const std::int64_t value = number_at(tokens, *score + 2).value_or(0);
                std::string text =
                    "info string score " + tokens[*score + 1] + " " + std::to_string(-value - 1);
                if (const auto pv = find(tokens, "pv")) {
                    for (std::size_t i = *pv; i < tokens.size(); ++i) text += " " + tokens[i];
                }
                return {join(tokens), text};
            }
            break;
    }
    return {join(tokens)};
}

void apply_info_quirk(std::optional<InfoQuirk> quirk, std::vector<std::string>& lines,
                      const velloran::Game& game) {
    if (!quirk) return;
    std::vector<std::string> result;
    // Stockfish's answer when it is mated: mate 0 carries no sign for the winner.
    if (quirk == InfoQuirk::MateZero && game.status() == velloran::GameStatus::Checkmate) {
        result.emplace_back("info depth 0 score mate 0");
    }
    for (const std::string& line : lines) {
        for (std::string& out : quirk_report(*quirk, line, game)) result.push_back(std::move(out));
    }
    lines = std::move(result);
}

}  // namespace pawnlark
