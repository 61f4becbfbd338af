#include "tools/audit/cli.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>

#include "tools/audit/soak.h"

namespace pawnlark::audit {
namespace {

namespace fs = std::filesystem;

// Debian installs games, xboard and polyglot among them, outside a root's usual search path.
const std::vector<std::string> GameDirectories{"/usr/games"};

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

// The program as a runnable absolute path, or the error naming what is wrong with it.
Checked<std::string> program_path(const std::string& what, const std::string& name,
                                  const Environment& environment) {
    const std::optional<std::string> found = find_program(name, environment.path, GameDirectories);
    if (!found) {
        if (name.find('/') != std::string::npos) {
            return usage_error(what + " " + name + " does not exist");
        }
        return usage_error(what + " '" + name + "' is not on the search path (give its path)");
    }
    if (const std::optional<std::string> why = not_runnable(*found)) {
        return usage_error(what + " " + *found + " cannot be run: " + *why);
    }
    std::error_code error;
    const fs::path absolute = fs::absolute(*found, error);
    return error ? *found : absolute.lexically_normal().string();
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

}  // namespace

std::optional<std::string> not_runnable(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return "it does not exist";
    if (fs::is_directory(status)) return "it is a directory";
    if (::access(path.c_str(), X_OK) != 0) return "it is not executable";
    std::ifstream file(path, std::ios::binary);
    std::string start(256, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file.gcount()));
    if (start.starts_with("\x7f"
                          "ELF")) {
        return std::nullopt;
    }
    if (!start.starts_with("#!")) return "it is neither a program nor a script with #!";
    std::string interpreter = start.substr(2, start.find('\n') - 2);
    interpreter.erase(0, interpreter.find_first_not_of(" \t"));
    interpreter = interpreter.substr(0, interpreter.find_first_of(" \t\r"));
    if (interpreter.empty() || ::access(interpreter.c_str(), X_OK) != 0) {
        return "its interpreter '" + interpreter + "' cannot be run";
    }
    return std::nullopt;
}

std::optional<std::string> find_program(const std::string& name, const std::string& search_path,
                                        const std::vector<std::string>& extra_directories) {
    if (name.empty()) return std::nullopt;
    std::error_code error;
    if (name.find('/') != std::string::npos) {
        if (!fs::exists(name, error)) return std::nullopt;
        return name;
    }
    std::vector<std::string> directories;
    std::string_view rest = search_path;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        directories.emplace_back(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
    }
    directories.insert(directories.end(), extra_directories.begin(), extra_directories.end());
    for (const std::string& directory : directories) {
        if (directory.empty()) continue;
        const fs::path candidate = fs::path(directory) / name;
        if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return std::nullopt;
}

Checked<Options> parse_command_line(const std::vector<std::string>& arguments,
                                    const Environment& environment) {
    Options options;
    std::string kind_name;
    std::string manager_path;
    std::string engine_path;
    std::string polyglot_path;
    bool template_given = false;
    bool soak_option_given = false;
    bool clock_given = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            return options;
        }
        if (option == "--list") {
            options.list = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            if (option.starts_with("-")) {
                const bool known =
                    option == "--manager" || option == "--path" || option == "--template"
                    || option == "--engine" || option == "--polyglot" || option == "--only"
                    || option == "-j" || option == "--out" || option == "--wall-limit"
                    || option == "--silence" || option == "--verdict-margin" || option == "--repeat"
                    || option == "--expectations" || is_soak_option(option);
                if (known) return usage_error(option + " needs a value");
            }
            return usage_error("unknown argument '" + option + "'");
        }
        const std::string& value = arguments[++i];
        if (option == "--manager") {
            kind_name = value;
        } else if (option == "--path") {
            manager_path = value;
        } else if (option == "--template") {
            options.setup.command_template = value;
            template_given = true;
        } else if (option == "--engine") {
            engine_path = value;
        } else if (option == "--polyglot") {
            polyglot_path = value;
        } else if (option == "--only") {
            options.only = split_commas(value);
        } else if (option == "-j") {
            const std::optional<int> jobs = positive_number(value);
            if (!jobs)
                return usage_error("-j takes a number of cells from 1 up, not '" + value + "'");
            options.jobs = *jobs;
        } else if (option == "--out") {
            options.out_directory = value;
        } else if (option == "--wall-limit") {
            const std::optional<int> seconds = positive_number(value);
            if (!seconds)
                return usage_error("--wall-limit takes seconds from 1 up, not '" + value + "'");
            options.wall_limit_seconds = *seconds;
        } else if (option == "--repeat") {
            const std::optional<int> times = positive_number(value);
            if (!times)
                return usage_error("--repeat takes a number from 1 up, not '" + value + "'");
            options.repeat = *times;
        } else if (option == "--silence" || option == "--verdict-margin") {
            const std::optional<int> seconds = positive_number(value);
            if (!seconds) {
                std::string text = option;
                text += " takes seconds from 1 up, not '" + value + "'";
                return usage_error(text);
            }
            (option == "--silence" ? options.silence_seconds : options.verdict_margin_seconds) =
                *seconds;
        } else if (option == "--expectations") {
            options.expectations_file = value;
        } else if (is_soak_option(option)) {
            if (const std::optional<Error> error = read_soak_option(option, value, options)) {
                return *error;
            }
            soak_option_given = true;
            clock_given |= option == "--tc";
        } else {
            return usage_error("unknown argument '" + option + "'");
        }
    }

    if (kind_name.empty()) return usage_error("--manager is required");
    const std::optional<ManagerKind> kind = manager_kind_named(kind_name);
    if (!kind) {
        return usage_error("unknown manager kind '" + kind_name
                           + "' (fastchess, cutechess, xboard or custom)");
    }
    Setup& setup = options.setup;
    setup.kind = *kind;
    if (setup.kind == ManagerKind::Custom) {
        if (!template_given) return usage_error("--manager custom needs --template");
        const std::vector<std::string_view> missing = missing_placeholders(setup.command_template);
        if (!missing.empty()) {
            std::string names;
            for (const std::string_view name : missing) {
                names += (names.empty() ? "" : ", ") + std::string(name);
            }
            return usage_error("the template lacks the placeholders " + names);
        }
    } else if (template_given) {
        return usage_error("--template is only for --manager custom");
    }
    if (options.soak.games > 0) {
        if (setup.kind != ManagerKind::Fastchess && setup.kind != ManagerKind::Cutechess) {
            return usage_error("--soak runs under fastchess or cutechess");
        }
        if (!options.only.empty() || options.repeat > 1 || options.list) {
            return usage_error("--only, --repeat and --list are for the matrix, not --soak");
        }
        if (!clock_given) {
            setup.clock_seconds = 1;
            setup.increment_seconds = 0.01;
        }
    } else if (soak_option_given) {
        return usage_error(
            "--concurrency, --chaos, --chaos-seed, --chaos-faults and --tc need --soak");
    }
    if (options.out_directory.empty()) {
        options.out_directory = (options.soak.games > 0 ? "soak-" : "audit-") + kind_name;
    }
    if (options.wall_limit_seconds == 0 && options.soak.games > 0) {
        // Each game at most both clocks and a long stall's wait, spread over the slots.
        options.wall_limit_seconds = 120
                                     + options.soak.games
                                           * static_cast<int>(2 * setup.clock_seconds + 20)
                                           / options.soak.concurrency;
    }
    if (options.wall_limit_seconds == 0) {
        // Above the longest wait each manager is known to take by design (fastchess: 60 s
        // for an engine that ignores quit; cutechess: 35 s for a start), so that only a
        // manager that waits for good is called hung.
        switch (setup.kind) {
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
    if (options.list) return options;

    // Every program is checked before the first cell starts.
    if (setup.kind == ManagerKind::Custom) {
        if (!manager_path.empty()) return usage_error("--path is not for --manager custom");
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
        const std::string name =
            manager_path.empty() ? std::string(default_program(setup.kind)) : manager_path;
        Checked<std::string> manager = program_path("manager", name, environment);
        if (!manager) return manager.error();
        setup.manager = std::move(manager).value();
    }
    Checked<std::string> engine = program_path(
        "engine", engine_path.empty() ? environment.own_directory + "/pawnlark" : engine_path,
        environment);
    if (!engine) return engine.error();
    setup.engine = std::move(engine).value();

    if (setup.kind == ManagerKind::Xboard) {
        Checked<std::string> xvfb = program_path("xvfb-run", "xvfb-run", environment);
        if (!xvfb) {
            return usage_error(xvfb.error().text + "; xboard needs it for a virtual display");
        }
        setup.xvfb_run = std::move(xvfb).value();
        Checked<std::string> polyglot = program_path(
            "polyglot", polyglot_path.empty() ? "polyglot" : polyglot_path, environment);
        if (polyglot) {
            setup.polyglot = std::move(polyglot).value();
        } else if (!polyglot_path.empty()) {
            return polyglot.error();
        }
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
