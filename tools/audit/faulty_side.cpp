#include "tools/audit/faulty_side.h"

#include <algorithm>
#include <cctype>

namespace pawnlark::audit {
namespace {

std::string lower_case(const std::string& text) {
    std::string lowered = text;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

bool contains(const std::string& text, std::string_view word) {
    return lower_case(text).find(word) != std::string::npos;
}

}  // namespace

std::optional<bool> faulty_is_white(const GameRecord& game) {
    // A manager that never learnt an engine's name calls it by its program ("pawnlark") or
    // "unknown"; then the side that is not the plain engine's is the faulty one.
    for (const std::string_view name : {"faulty", "normal"}) {
        const bool white = contains(game.white, name);
        if (white != contains(game.black, name)) return white == (name == "faulty");
    }
    return std::nullopt;
}

std::optional<bool> blamed_side(const std::string& reason) {
    const std::string text = lower_case(reason);
    const auto colour_first = [](std::string_view words) {
        return words.starts_with("white") || words.starts_with("black");
    };
    // Words a manager may put before the colour: "Xboard: White ...".
    std::string_view rest = text;
    if (const std::size_t colon = rest.find(": ");
        !colour_first(rest) && colon != std::string_view::npos) {
        rest.remove_prefix(colon + 2);
    }
    bool white = false;
    if (rest.starts_with("white")) {
        white = true;
    } else if (!rest.starts_with("black")) {
        return std::nullopt;
    }
    rest.remove_prefix(5);
    if (rest.starts_with(" wins")) return !white;
    return white;
}

Score faulty_score(const GameRecord& game) {
    const std::optional<bool> white = faulty_is_white(game);
    if (!white || game.result == "*") return Score::None;
    if (game.result == "1/2-1/2") return Score::Drawn;
    return (game.result == "1-0") == *white ? Score::Won : Score::Lost;
}

std::string describe(const GameRecord& game) {
    const std::optional<bool> white = faulty_is_white(game);
    std::string text = white ? (*white ? "faulty White: " : "faulty Black: ")
                             : game.white + " - " + game.black + ": ";
    text += game.result;
    if (!game.reason.empty()) text += " {" + game.reason + "}";
    if (!game.termination.empty()) text += " [" + game.termination + "]";
    return text;
}

std::string short_game(const GameRecord& game) {
    std::string how;
    switch (classify(game)) {
        case Ending::Rules:
            how = "by rule";
            break;
        case Ending::Time:
            how = "on time";
            break;
        case Ending::Disconnect:
            how = "by disconnection";
            break;
        case Ending::Stall:
            how = "by stall";
            break;
        case Ending::Illegal:
            how = "by illegal move";
            break;
        case Ending::Resign:
            how = "by resignation";
            break;
        case Ending::FalseClaim:
            how = "by false claim";
            break;
        case Ending::Void:
            return "void";
        case Ending::Unknown:
            how = "(unexplained)";
            break;
    }
    switch (faulty_score(game)) {
        case Score::Won:
            return "won " + how;
        case Score::Lost:
            return "lost " + how;
        case Score::Drawn:
            return "drawn " + how;
        case Score::None:
            break;
    }
    return game.result + " " + how;
}

}  // namespace pawnlark::audit
