#include "tools/audit/cli.h"

#include <array>
#include <charconv>
#include <limits>

#include "tools/audit/soak.h"

namespace pawnlark::audit {
namespace {

Error usage_error(const std::string& text) { return Error{text}; }

std::optional<int> number_in(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> positive_number(std::string_view text) {
    return number_in(text, 1, std::numeric_limits<int>::max());
}

std::vector<std::string> split_commas(std::string_view text) {
    std::vector<std::string> parts;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        if (comma != 0) parts.emplace_back(text.substr(0, comma));
        text = comma == std::string_view::npos ? "" : text.substr(comma + 1);
    }
    return parts;
}

std::string_view default_program(ManagerKind kind) {
    switch (kind) {
        case ManagerKind::Fastchess:
            return "fastchess";
        case ManagerKind::Cutechess:
            return "cutechess-cli";
        case ManagerKind::Xboard:
            return "xboard";
        case ManagerKind::Custom:
            break;
    }
    return "";
}

bool is_soak_option(std::string_view option) {
    return option == "--soak" || option == "--concurrency" || option == "--chaos"
           || option == "--chaos-seed" || option == "--chaos-faults" || option == "--tc";
}

// "1+0.01": seconds and increment, each a decimal number.
bool read_clock(std::string_view text, Setup& setup) {
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos) return false;
    double seconds = 0;
    double increment = 0;
    const std::string_view base = text.substr(0, plus);
    const std::string_view extra = text.substr(plus + 1);
    const auto read = [](std::string_view part, double& value) {
        return !part.empty()
               && std::from_chars(part.data(), part.data() + part.size(), value).ptr
                      == part.data() + part.size();
    };
    if (!read(base, seconds) || !read(extra, increment) || seconds <= 0 || increment < 0) {
        return false;
    }
    setup.clock_seconds = seconds;
    setup.increment_seconds = increment;
    return true;
}

std::optional<Error> read_soak_option(const std::string& option, const std::string& value,
                                      Options& options) {
    Soak& soak = options.soak;
    if (option == "--soak") {
        const std::optional<int> games = positive_number(value);
        if (!games || *games % 2 != 0) {
            return usage_error("--soak takes an even number of games (pairs of colours), not '"
                               + value + "'");
        }
        soak.games = *games;
    } else if (option == "--concurrency") {
        const std::optional<int> slots = positive_number(value);
        if (!slots)
            return usage_error("--concurrency takes a number from 1 up, not '" + value + "'");
        soak.concurrency = *slots;
    } else if (option == "--chaos") {
        const std::optional<int> per_mille = number_in(value, 0, 1000);
        if (!per_mille) {
            return usage_error("--chaos takes a rate per mille from 0 to 1000, not '" + value
                               + "'");
        }
        soak.chaos = *per_mille;
    } else if (option == "--chaos-seed") {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            return usage_error("--chaos-seed takes a number, not '" + value + "'");
        }
        soak.chaos_seed = value;
    } else if (option == "--chaos-faults") {
        for (const std::string& name : split_commas(value)) {
            if (!effect_of(name))
                return usage_error("--chaos-faults: unknown fault '" + name + "'");
        }
        if (split_commas(value).empty()) return usage_error("--chaos-faults names no fault");
        soak.chaos_faults = value;
    } else if (!read_clock(value, options.setup)) {
        return usage_error("--tc takes seconds+increment such as 1+0.01, not '" + value + "'");
    }
    return std::nullopt;
}

// The words of the command line that are not options' final values.
struct Words {
    std::string kind_name;
    std::string manager_path;
    std::string engine_path;
    std::string polyglot_path;
    bool template_given = false;
    bool soak_option_given = false;
    bool clock_given = false;
};

// The options that take a number from 1 up, and what their errors say they take.
struct NumberOption {
    std::string_view name;
    int Options::*field;
    std::string_view takes;
};
const std::array<NumberOption, 5> NumberOptions{{
    {"-j", &Options::jobs, "a number of cells from 1 up"},
    {"--wall-limit", &Options::wall_limit_seconds, "seconds from 1 up"},
    {"--repeat", &Options::repeat, "a number from 1 up"},
    {"--silence", &Options::silence_seconds, "seconds from 1 up"},
    {"--verdict-margin", &Options::verdict_margin_seconds, "seconds from 1 up"},
}};

bool takes_a_value(std::string_view option) {
    for (const NumberOption& number : NumberOptions) {
        if (number.name == option) return true;
    }
    return option == "--manager" || option == "--path" || option == "--template"
           || option == "--engine" || option == "--polyglot" || option == "--only"
           || option == "--out" || option == "--expectations" || is_soak_option(option);
}

std::optional<Error> read_value(const std::string& option, const std::string& value,
                                Options& options, Words& words) {
    for (const NumberOption& number : NumberOptions) {
        if (number.name != option) continue;
        const std::optional<int> read = positive_number(value);
        if (!read) {
            std::string text = option;
            text.append(" takes ").append(number.takes).append(", not '").append(value) += "'";
            return usage_error(text);
        }
        options.*number.field = *read;
        return std::nullopt;
    }
    if (option == "--manager") {
        words.kind_name = value;
    } else if (option == "--path") {
        words.manager_path = value;
    } else if (option == "--template") {
        options.setup.command_template = value;
        words.template_given = true;
    } else if (option == "--engine") {
        words.engine_path = value;
    } else if (option == "--polyglot") {
        words.polyglot_path = value;
    } else if (option == "--only") {
        options.only = split_commas(value);
    } else if (option == "--out") {
        options.out_directory = value;
    } else if (option == "--expectations") {
        options.expectations_file = value;
    } else {
        words.soak_option_given = true;
        words.clock_given |= option == "--tc";
        return read_soak_option(option, value, options);
    }
    return std::nullopt;
}

std::optional<Error> read_words(const std::vector<std::string>& arguments, Options& options,
                                Words& words) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            return std::nullopt;
        }
        if (option == "--list") {
            options.list = true;
        } else if (!takes_a_value(option)) {
            return usage_error("unknown argument '" + option + "'");
        } else if (i + 1 >= arguments.size()) {
            return usage_error(option + " needs a value");
        } else if (std::optional<Error> error =
                       read_value(option, arguments[++i], options, words)) {
            return error;
        }
    }
    return std::nullopt;
}

std::optional<Error> check_kind(const Words& words, Options& options) {
    if (words.kind_name.empty()) return usage_error("--manager is required");
    const std::optional<ManagerKind> kind = manager_kind_named(words.kind_name);
    if (!kind) {
        return usage_error("unknown manager kind '" + words.kind_name
                           + "' (fastchess, cutechess, xboard or custom)");
    }
    Setup& setup = options.setup;
    setup.kind = *kind;
    if (setup.kind != ManagerKind::Custom) {
        if (words.template_given) return usage_error("--template is only for --manager custom");
        return std::nullopt;
    }
    if (!words.template_given) return usage_error("--manager custom needs --template");
    if (!words.manager_path.empty()) return usage_error("--path is not for --manager custom");
    const std::vector<std::string_view> missing = missing_placeholders(setup.command_template);
    if (!missing.empty()) {
        std::string names;
        for (const std::string_view name : missing) {
            names += (names.empty() ? "" : ", ") + std::string(name);
        }
        return usage_error("the template lacks the placeholders " + names);
    }
    return std::nullopt;
}

std::optional<Error> check_soak(const Words& words, Options& options) {
    if (options.soak.games == 0) {
        if (!words.soak_option_given) return std::nullopt;
        return usage_error(
            "--concurrency, --chaos, --chaos-seed, --chaos-faults and --tc need --soak");
    }
    const ManagerKind kind = options.setup.kind;
    if (kind != ManagerKind::Fastchess && kind != ManagerKind::Cutechess) {
        return usage_error("--soak runs under fastchess or cutechess");
    }
    if (!options.only.empty() || options.repeat > 1 || options.list) {
        return usage_error("--only, --repeat and --list are for the matrix, not --soak");
    }
    if (!words.clock_given) {
        options.setup.clock_seconds = 1;
        options.setup.increment_seconds = 0.01;
    }
    return std::nullopt;
}

void set_defaults(const Words& words, Options& options) {
    const bool soak = options.soak.games > 0;
    if (options.out_directory.empty()) {
        options.out_directory = (soak ? "soak-" : "audit-") + words.kind_name;
    }
    if (options.wall_limit_seconds != 0) return;
    if (soak) {
        // Each game at most both clocks and a long stall's wait, spread over the slots.
        options.wall_limit_seconds = 120
                                     + options.soak.games
                                           * static_cast<int>(2 * options.setup.clock_seconds + 20)
                                           / options.soak.concurrency;
        return;
    }
    // Above the longest wait each manager is known to take by design (fastchess: 60 s for an
    // engine that ignores quit; cutechess: 35 s for a start), so that only a manager that
    // waits for good is called hung.
    switch (options.setup.kind) {
        case ManagerKind::Fastchess:
            options.wall_limit_seconds = 150;
            break;
        case ManagerKind::Cutechess:
        case ManagerKind::Custom:
            options.wall_limit_seconds = 120;
            break;
        case ManagerKind::Xboard:
            options.wall_limit_seconds = 40;
            break;
    }
}

// Every program is checked before the first cell starts.
std::optional<Error> find_programs(const Words& words, const Environment& environment,
                                   Setup& setup) {
    if (setup.kind == ManagerKind::Custom) {
        const std::string& text = setup.command_template;
        const std::size_t start = text.find_first_not_of(" \t");
        const std::string first =
            start == std::string::npos
                ? ""
                : text.substr(start, text.find_first_of(" \t", start) - start);
        if (first.find('/') != std::string::npos && first.find('{') == std::string::npos) {
            if (const std::optional<std::string> why = not_runnable(first)) {
                return usage_error("manager " + first + " cannot be run: " + *why);
            }
        }
    } else {
        const std::string name = words.manager_path.empty()
                                     ? std::string(default_program(setup.kind))
                                     : words.manager_path;
        Checked<std::string> manager = program_path("manager", name, environment.path);
        if (!manager) return manager.error();
        setup.manager = std::move(manager).value();
    }
    Checked<std::string> engine = program_path(
        "engine",
        words.engine_path.empty() ? environment.own_directory + "/pawnlark" : words.engine_path,
        environment.path);
    if (!engine) return engine.error();
    setup.engine = std::move(engine).value();
    if (setup.kind != ManagerKind::Xboard) return std::nullopt;

    Checked<std::string> xvfb = program_path("xvfb-run", "xvfb-run", environment.path);
    if (!xvfb) return usage_error(xvfb.error().text + "; xboard needs it for a virtual display");
    setup.xvfb_run = std::move(xvfb).value();
    Checked<std::string> polyglot =
        program_path("polyglot", words.polyglot_path.empty() ? "polyglot" : words.polyglot_path,
                     environment.path);
    if (polyglot) {
        setup.polyglot = std::move(polyglot).value();
    } else if (!words.polyglot_path.empty()) {
        return polyglot.error();
    }
    return std::nullopt;
}

}  // namespace

Checked<Options> parse_command_line(const std::vector<std::string>& arguments,
                                    const Environment& environment) {
    Options options;
    Words words;
    if (std::optional<Error> error = read_words(arguments, options, words)) return *error;
    if (options.help) return options;
    if (std::optional<Error> error = check_kind(words, options)) return *error;
    if (std::optional<Error> error = check_soak(words, options)) return *error;
    set_defaults(words, options);
    if (options.list) return options;
    if (std::optional<Error> error = find_programs(words, environment, options.setup)) {
        return *error;
    }
    return options;
}

Checked<std::vector<Cell>> selected_cells(const Options& options) {
    const std::vector<Cell> all = full_matrix(capabilities_of(options.setup));
    if (options.only.empty()) return all;
    for (const std::string& pattern : options.only) {
        bool any = false;
        for (const Cell& cell : all) any |= cell_matches(cell, pattern);
        if (!any) return Error{"--only: '" + pattern + "' names no cell (see --list)"};
    }
    std::vector<Cell> cells;
    for (const Cell& cell : all) {
        bool wanted = false;
        for (const std::string& pattern : options.only) wanted |= cell_matches(cell, pattern);
        if (!wanted && cell.scenario->id == "control") {
            for (const Cell& other : all) {
                bool chosen = false;
                for (const std::string& pattern : options.only) {
                    chosen |= cell_matches(other, pattern);
                }
                wanted |= chosen && other.protocol == cell.protocol && other.limit == cell.limit;
            }
        }
        if (wanted) cells.push_back(cell);
    }
    return cells;
}

}  // namespace pawnlark::audit
