#include "app/protocol/option_text.h"

#include <charconv>
#include <system_error>

#include "velloran/text.h"

namespace pawnlark {
namespace {

// No catalogue name is longer; a name read beyond this cannot match and is not grown further.
constexpr std::size_t MaxNameLength = 64;

constexpr std::string_view SetoptionForm = "setoption name <id> [value <x>]";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const OptionSpec* find_option(std::span<const OptionSpec> catalogue, std::string_view name) {
    for (const OptionSpec& option : catalogue) {
        if (equal_ignoring_case(option.name, name)) return &option;
    }
    return nullptr;
}

std::optional<std::int64_t> parse_integer(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string invalid(const OptionSpec& option, std::string_view value, std::string_view expected) {
    return "Invalid value for option " + std::string(option.name) + ": " + printable(value)
           + " (expected " + std::string(expected) + ")";
}

std::string range_text(const OptionSpec& option) {
    return "an integer from " + std::to_string(option.min) + " to " + std::to_string(option.max);
}

std::string choices_text(const OptionSpec& option, std::string_view separator) {
    std::string text;
    for (const std::string_view choice : option.choices) {
        if (!text.empty()) text += separator;
        text += choice;
    }
    return text;
}

}  // namespace

OptionOutcome check_option_value(const OptionSpec& option, std::optional<std::string_view> value,
                                 OptionSyntax syntax) {
    const std::string name(option.name);
    if (option.type == OptionType::Button) {
        if (value && !value->empty()) return "Option " + name + " is a button and takes no value";
        return OptionSetting{&option, "", 0};
    }
    if (!value || (value->empty() && option.type != OptionType::String)) {
        return "Missing value for option " + name;
    }
    switch (option.type) {
        case OptionType::Spin: {
            const auto number = parse_integer(*value);
            if (!number) return invalid(option, *value, range_text(option));
            if (*number < option.min || *number > option.max) {
                return "Value out of range for option " + name + ": " + std::to_string(*number)
                       + " (expected " + range_text(option) + ")";
            }
            return OptionSetting{&option, std::to_string(*number), *number};
        }
        case OptionType::Check: {
            const bool uci = syntax == OptionSyntax::Uci;
            const std::string_view on = uci ? "true" : "1";
            const std::string_view off = uci ? "false" : "0";
            if (equal_ignoring_case(*value, on)) return OptionSetting{&option, std::string(on), 1};
            if (equal_ignoring_case(*value, off)) {
                return OptionSetting{&option, std::string(off), 0};
            }
            return invalid(option, *value, uci ? "true or false" : "0 or 1");
        }
        case OptionType::Combo:
            for (const std::string_view choice : option.choices) {
                if (equal_ignoring_case(*value, choice)) {
                    return OptionSetting{&option, std::string(choice), 0};
                }
            }
            return invalid(option, *value, "one of " + choices_text(option, ", "));
        case OptionType::String:
            if (syntax == OptionSyntax::Uci && *value == "<empty>") {
                return OptionSetting{&option, "", 0};
            }
            return OptionSetting{&option, std::string(*value), 0};
        case OptionType::Button:
            break;
    }
    return OptionSetting{&option, "", 0};
}

OptionOutcome read_setoption(std::span<const OptionSpec> catalogue, std::string_view line) {
    const velloran::Words words(line);
    auto word = words.begin();
    if (word != words.end()) ++word;  // the command itself
    if (word == words.end() || *word != "name")
        return "Malformed command: " + std::string(SetoptionForm);
    ++word;
    // The name grows word by word; at every "value" and at the end of the line the name so far
    // is looked up, and the last (longest) known name wins.
    std::string name;
    std::optional<std::string> first_name;
    const OptionSpec* found = nullptr;
    std::optional<std::string_view> found_value;
    for (;; ++word) {
        const bool at_end = word == words.end();
        if (at_end || *word == "value") {
            if (!first_name) first_name = name;
            if (const OptionSpec* option = find_option(catalogue, name)) {
                found = option;
                found_value = std::nullopt;
                if (!at_end) {
                    auto after = std::next(word);
                    found_value = after == words.end() ? std::string_view() : words.from(after);
                }
            }
            if (at_end) break;
        }
        if (name.size() <= MaxNameLength) {
            if (!name.empty()) name += ' ';
            name += *word;
        }
    }
    if (found) return check_option_value(*found, found_value, OptionSyntax::Uci);
    if (first_name->empty()) return "Malformed command: " + std::string(SetoptionForm);
    return "No such option: " + printable(*first_name);
}

OptionOutcome read_xboard_option(std::span<const OptionSpec> catalogue, std::string_view text) {
    const std::size_t equals = text.find('=');
    const std::string_view name = velloran::trim_whitespace(text.substr(0, equals));
    if (name.empty()) return "Malformed command: option NAME[=VALUE]";
    const OptionSpec* option = find_option(catalogue, name);
    if (!option) return "No such option: " + printable(name);
    const std::optional<std::string_view> value =
        equals == std::string_view::npos ? std::nullopt : std::optional(text.substr(equals + 1));
    return check_option_value(*option, value, OptionSyntax::Xboard);
}

std::string describe(const OptionSetting& setting) {
    const std::string name(setting.option->name);
    if (setting.option->type == OptionType::Button) return name + " pressed";
    return name + " set to " + (setting.value.empty() ? "<empty>" : printable(setting.value));
}

std::string uci_option_line(const OptionSpec& option) {
    std::string line = "option name " + std::string(option.name) + " type ";
    switch (option.type) {
        case OptionType::Spin:
            return line + "spin default " + std::string(option.default_value) + " min "
                   + std::to_string(option.min) + " max " + std::to_string(option.max);
        case OptionType::Check:
            return line + "check default " + std::string(option.default_value);
        case OptionType::Combo:
            line += "combo default " + std::string(option.default_value);
            for (const std::string_view choice : option.choices)
                line.append(" var ").append(choice);
            return line;
        case OptionType::Button:
            return line + "button";
        case OptionType::String:
            return line + "string default "
                   + (option.default_value.empty() ? "<empty>" : std::string(option.default_value));
    }
    return line;
}

std::string xboard_option_feature(const OptionSpec& option) {
    std::string text =
        "option=\"" + std::string(option.name) + " " + std::string(option.xboard_type);
    switch (option.type) {
        case OptionType::Spin:
            text += " " + std::string(option.default_value) + " " + std::to_string(option.min) + " "
                    + std::to_string(option.max);
            break;
        case OptionType::Check:
            text += option.default_value == "true" ? " 1" : " 0";
            break;
        case OptionType::Combo:
            // The current choice is marked with a star.
            for (std::size_t i = 0; i < option.choices.size(); ++i) {
                text += i == 0 ? " " : " /// ";
                if (option.choices[i] == option.default_value) text += '*';
                text += option.choices[i];
            }
            break;
        case OptionType::Button:
            break;
        case OptionType::String:
            // xboard finds the type by " -path " with its space, also before an empty value.
            text += " " + std::string(option.default_value);
            break;
    }
    return text + "\"";
}

std::string printable(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // Unicode's control characters: C0 with DEL, and C1 (U+0080 to U+009F), which UTF-8
        // writes as 0xC2 and one more byte.
        const bool c1 = byte == 0xC2 && i + 1 < text.size()
                        && static_cast<unsigned char>(text[i + 1]) <= 0x9F
                        && static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if (c1) ++i;
        result += byte < 0x20 || byte == 0x7F || c1 ? '?' : text[i];
    }
    return result;
}

bool apply_search_option(EngineOptions& options, std::string_view name,
                         std::optional<std::string_view> value) {
    const OptionSpec* option = find_option(search_options(), name);
    if (!option) return false;
    const OptionOutcome outcome = check_option_value(*option, value, OptionSyntax::Uci);
    const auto* setting = std::get_if<OptionSetting>(&outcome);
    if (setting) apply_option(*setting, options);
    return setting != nullptr;
}

}  // namespace pawnlark
