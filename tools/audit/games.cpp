#include "tools/audit/games.h"

#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace pawnlark::audit {
namespace {

constexpr std::array<std::pair<Ending, std::string_view>, 9> EndingNames{{
    {Ending::Rules, "rules"},
    {Ending::Time, "time"},
    {Ending::Disconnect, "disconnect"},
    {Ending::Stall, "stall"},
    {Ending::Illegal, "illegal"},
    {Ending::Resign, "resign"},
    {Ending::FalseClaim, "claim"},
    {Ending::Void, "void"},
    {Ending::Unknown, "unknown"},
}};

// Words of managers' end-of-game texts, checked in this order: the first family with a match
// wins, so "claims illegal move" is a claim and "Error: ... exited" a disconnection.
struct Words {
    Ending ending = Ending::Unknown;
    std::array<std::string_view, 8> words;
};
constexpr std::array<Words, 8> EndingWords{{
    {Ending::FalseClaim,
     {"false win claim", "false draw claim", "false illegal-move claim", "invalid result claim",
      "claims illegal", "false claim"}},
    {Ending::Stall, {"stall", "not responsive", "no response", "unresponsive"}},
    {Ending::Disconnect,
     {"disconnect", "abandoned", "crash", "exited", "terminated", "connection closed",
      "error writing", "died"}},
    {Ending::Illegal, {"illegal", "invalid move", "forfeit due to", "infraction"}},
    {Ending::Time, {"on time", "time forfeit", "flag", "time-forfeit", "out of time"}},
    {Ending::Resign, {"resign"}},
    {Ending::Void, {"result error", "error", "could not", "aborted", "unterminated"}},
    {Ending::Rules,
     {"mate", "repetition", "insufficient", "50-move", "fifty", "draw", "adjudication", "normal"}},
}};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

Ending classify_text(std::string_view text) {
    const std::string words = lower(text);
    for (const Words& family : EndingWords) {
        for (const std::string_view word : family.words) {
            if (!word.empty() && words.find(word) != std::string::npos) return family.ending;
        }
    }
    return Ending::Unknown;
}

bool is_result(std::string_view token) {
    return token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*";
}

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Reads the tag pair `[Name "value"]` of a line, the value unescaped; false for any other line.
bool read_tag(std::string_view line, std::string& name, std::string& value) {
    if (line.size() < 2 || line.front() != '[') return false;
    const std::size_t space = line.find(' ');
    const std::size_t quote = line.find('"');
    if (space == std::string_view::npos || quote == std::string_view::npos) return false;
    name = std::string(line.substr(1, space - 1));
    value.clear();
    for (std::size_t i = quote + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value.push_back(line[i]);
    }
    return true;
}

std::string trim(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// A movetext token's move, if it holds one: move numbers ("12.", "12...", "12.e4") and
// annotations ("$1") are left out.
void add_move(std::string_view token, std::vector<std::string>& moves) {
    if (token.starts_with('$')) return;
    std::size_t digits = 0;
    while (digits < token.size() && std::isdigit(static_cast<unsigned char>(token[digits])) != 0) {
        ++digits;
    }
    if (digits > 0 && digits < token.size() && token[digits] == '.') {
        token.remove_prefix(digits);
        while (token.starts_with('.')) token.remove_prefix(1);
    }
    if (!token.empty()) moves.emplace_back(token);
}

}  // namespace

std::string_view name_of(Ending ending) {
    for (const auto& [value, name] : EndingNames) {
        if (value == ending) return name;
    }
    return "unknown";
}

std::optional<Ending> ending_named(std::string_view name) {
    for (const auto& [value, text] : EndingNames) {
        if (text == name) return value;
    }
    return std::nullopt;
}

std::vector<GameRecord> parse_pgn(std::string_view text) {
    std::vector<GameRecord> games;
    GameRecord game;
    std::string last_comment;
    bool in_game = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (is_space(c)) {
            ++at;
        } else if (c == '[' && (at == 0 || text[at - 1] == '\n')) {
            const std::size_t end = text.find('\n', at);
            const std::string_view line =
                text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
            std::string name;
            std::string value;
            if (read_tag(line, name, value)) {
                in_game = true;
                if (name == "White") game.white = value;
                if (name == "Black") game.black = value;
                if (name == "Result") game.result = value;
                if (name == "Termination") game.termination = value;
                if (name == "Round")
                    std::from_chars(value.data(), value.data() + value.size(), game.round);
            }
            at = end == std::string_view::npos ? text.size() : end + 1;
        } else if (c == '{') {
            const std::size_t end = text.find('}', at);
            if (end == std::string_view::npos) break;
            last_comment = trim(text.substr(at + 1, end - at - 1));
            at = end + 1;
        } else if (c == ';') {
            const std::size_t end = text.find('\n', at);
            at = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            std::size_t end = at;
            while (end < text.size() && !is_space(text[end]) && text[end] != '{') ++end;
            const std::string_view token = text.substr(at, end - at);
            if (is_result(token) && in_game) {
                game.result = std::string(token);
                game.reason = last_comment;
                games.push_back(std::move(game));
                game = GameRecord{};
                last_comment.clear();
                in_game = false;
            } else if (in_game) {
                add_move(token, game.moves);
            }
            at = end;
        }
    }
    return games;
}

std::vector<GameRecord> parse_finished_lines(std::string_view text) {
    constexpr std::string_view Start = "Finished game ";
    std::vector<GameRecord> games;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t start = line.find(Start);
        if (start == std::string_view::npos) continue;
        const std::size_t open = line.find(" (", start);
        const std::size_t versus = line.find(" vs ", open);
        const std::size_t close = line.find("): ", versus);
        if (open == std::string_view::npos || versus == std::string_view::npos
            || close == std::string_view::npos) {
            continue;
        }
        GameRecord game;
        const std::string_view number =
            line.substr(start + Start.size(), open - start - Start.size());
        std::from_chars(number.data(), number.data() + number.size(), game.number);
        game.white = std::string(line.substr(open + 2, versus - open - 2));
        game.black = std::string(line.substr(versus + 4, close - versus - 4));
        const std::string_view rest = line.substr(close + 3);
        const std::size_t space = rest.find(' ');
        game.result = std::string(rest.substr(0, space));
        if (!is_result(game.result)) continue;
        if (space != std::string_view::npos) {
            std::string reason = trim(rest.substr(space + 1));
            if (reason.size() >= 2 && reason.front() == '{' && reason.back() == '}') {
                reason = reason.substr(1, reason.size() - 2);
            }
            game.reason = reason;
        }
        games.push_back(std::move(game));
    }
    return games;
}

std::vector<GameRecord> merge_games(const std::vector<GameRecord>& announced,
                                    const std::vector<GameRecord>& pgn) {
    if (announced.empty()) return pgn;
    std::vector<GameRecord> games = announced;
    std::vector<bool> used(pgn.size(), false);
    for (GameRecord& game : games) {
        for (std::size_t i = 0; i < pgn.size(); ++i) {
            if (used[i] || pgn[i].white != game.white || pgn[i].black != game.black
                || pgn[i].result != game.result) {
                continue;
            }
            used[i] = true;
            game.termination = pgn[i].termination;
            game.round = pgn[i].round;
            game.moves = pgn[i].moves;
            if (game.reason.empty()) game.reason = pgn[i].reason;
            break;
        }
    }
    return games;
}

Ending classify(const GameRecord& game) {
    if (game.result == "*") return Ending::Void;
    const Ending by_reason = classify_text(game.reason);
    if (by_reason != Ending::Unknown) return by_reason;
    return classify_text(game.termination);
}

std::vector<LoggedExit> parse_logged_exits(std::string_view log) {
    constexpr std::string_view Arrow = " ---> Process ";
    const auto number_after = [](std::string_view line, std::string_view words) {
        std::optional<int> value;
        const std::size_t at = line.find(words);
        if (at == std::string_view::npos) return value;
        const char* start = line.data() + at + words.size();
        int parsed = 0;
        if (std::from_chars(start, line.data() + line.size(), parsed).ec == std::errc{}) {
            value = parsed;
        }
        return value;
    };
    std::vector<LoggedExit> exits;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        const std::string_view line = log.substr(0, end);
        log = end == std::string_view::npos ? "" : log.substr(end + 1);
        const std::size_t arrow = line.find(Arrow);
        if (arrow == std::string_view::npos || arrow == 0) continue;
        const std::size_t name_start = line.rfind(' ', arrow - 1);
        LoggedExit exit;
        exit.engine = std::string(line.substr(name_start + 1, arrow - name_start - 1));
        const std::string_view rest = line.substr(arrow + Arrow.size());
        exit.status = number_after(rest, "exited normally with status ");
        exit.signal = number_after(rest, "terminated by signal ");
        if (exit.status || exit.signal) exits.push_back(std::move(exit));
    }
    return exits;
}

}  // namespace pawnlark::audit
