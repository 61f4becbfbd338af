#include "app/protocol/option_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "app/protocol/option_text.h"
#include "sessions.h"

namespace pawnlark {
namespace {

// "NAME=VALUE" for an accepted option, "!" and the reason for a refused one.
std::string outcome_text(const OptionOutcome& outcome) {
    if (const auto* error = std::get_if<std::string>(&outcome)) return "!" + *error;
    const auto& setting = std::get<OptionSetting>(outcome);
    return std::string(setting.option->name) + "=" + setting.value;
}

std::string setoption(std::string_view line) {
    return outcome_text(read_setoption(option_catalogue(Protocol::Uci, true), line));
}

TEST(ReadSetoption, UciGrammarWithSpacesCaseAndTheWordValue) {
    const std::vector<std::pair<std::string_view, std::string_view>> cases{
        {"setoption name Hash value 64", "Hash=64"},
        {"setoption name move  OVERHEAD value +07", "Move Overhead=7"},
        {"setoption name Piece value Scale value 120", "Piece value Scale=120"},
        {"setoption name Greeting value it has value  and spaces",
         "Greeting=it has value  and spaces"},
        {"setoption name Playing Style value very SOLID", "Playing Style=Very Solid"},
        {"setoption name SyzygyPath value <empty>", "SyzygyPath="},
        {"setoption name SyzygyPath value", "SyzygyPath="},
        {"setoption name Clear Hash", "Clear Hash="},
        {"setoption name UCI_Chess960 value TRUE", "UCI_Chess960=true"},
        {"setoption name Contempt value -100", "Contempt=-100"},
        // "VALUE" is no separator: the keyword is lower case, names are not.
        {"setoption name Piece VALUE Scale value 50", "Piece value Scale=50"},
        {"setoption name Piece value Scale", "!Missing value for option Piece value Scale"},
        {"setoption name Piece value 5", "!No such option: Piece"},
        {"setoption name Hash value 99999999999999999999",
         "!Invalid value for option Hash: 99999999999999999999 (expected an integer from 1 to "
         "33554432)"},
        {"setoption name Contempt value -101",
         "!Value out of range for option Contempt: -101 (expected an integer from -100 to 100)"},
        {"setoption name Ponder value 1",
         "!Invalid value for option Ponder: 1 (expected true or false)"},
        {"setoption name Clear Hash value x", "!Option Clear Hash is a button and takes no value"},
        {"setoption name Greeting value a\x01z", "Greeting=a\x01z"},
        {"setoption name No\x01Such value 1", "!No such option: No?Such"},
        {"setoption value 1", "!Malformed command: setoption name <id> [value <x>]"},
        {"setoption name value 1", "!Malformed command: setoption name <id> [value <x>]"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(setoption(line), expected) << line;
}

TEST(ReadXboardOption, NameUpToTheEqualsSignAndXboardChecks) {
    const auto catalogue = option_catalogue(Protocol::Cecp, true);
    const auto option = [&](std::string_view text) {
        return outcome_text(read_xboard_option(catalogue, text));
    };
    EXPECT_EQ(option("Playing Style=Risky Play"), "Playing Style=Risky Play");
    EXPECT_EQ(option("OwnBook=1"), "OwnBook=1");
    EXPECT_EQ(option("OwnBook=true"), "!Invalid value for option OwnBook: true (expected 0 or 1)");
    EXPECT_EQ(option("Greeting=a=b"), "Greeting=a=b");
    EXPECT_EQ(option("SyzygyPath=<empty>"), "SyzygyPath=<empty>");
    EXPECT_EQ(option("Reset Settings"), "Reset Settings=");
    EXPECT_EQ(option("Ponder=1"), "!No such option: Ponder");  // UCI only
    EXPECT_EQ(option("Hash"), "!Missing value for option Hash");
}

// Whatever an option announces, its own default must pass its checks and its name must read
// back from a setoption line, in both dialects.
// Regression: a tab and U+0085 were echoed as they came.
TEST(Printable, EveryControlCharacterBecomesOneQuestionMark) {
    EXPECT_EQ(printable("a\tb\x01"
                        "c\x7f"
                        "d\xc2\x85"
                        "e\xc2\x9f"
                        "\xc2\xa0\xc3\xa9\x1b"),
              "a?b?c?d?e?\xc2\xa0\xc3\xa9?");
}

TEST(OptionCatalogue, EveryAnnouncedDefaultReadsBack) {
    for (const OptionSpec& option : option_catalogue(Protocol::Uci, true)) {
        const std::string line = uci_option_line(option);
        const std::size_t at = line.find(" default ");
        std::string value = at == std::string::npos ? "" : line.substr(at + 9);
        value = value.substr(0, value.find(" min ")).substr(0, value.find(" var "));
        const std::string sent =
            "setoption name " + std::string(option.name) + (value.empty() ? "" : " value " + value);
        EXPECT_EQ(setoption(sent).substr(0, option.name.size() + 1), std::string(option.name) + "=")
            << line;
    }
    for (const OptionSpec& option : option_catalogue(Protocol::Cecp, true)) {
        const std::string feature = xboard_option_feature(option);
        std::string value =
            feature.substr(feature.find(option.xboard_type) + option.xboard_type.size());
        value = value.substr(value.empty() ? 0 : 1, value.size() - (value.empty() ? 0 : 2));
        if (option.type == OptionType::Spin) value = value.substr(0, value.find(' '));
        if (option.type == OptionType::Combo) value = std::string(option.default_value);
        const OptionOutcome outcome = check_option_value(
            option, option.type == OptionType::Button ? std::nullopt : std::optional(value),
            OptionSyntax::Xboard);
        EXPECT_TRUE(std::holds_alternative<OptionSetting>(outcome)) << feature;
    }
}

TEST(ApplySearchOption, OnlyTheThreeSearchOptionsWithValidValues) {
    EngineOptions options;
    EXPECT_TRUE(apply_search_option(options, "multipv", "4"));
    EXPECT_TRUE(apply_search_option(options, "UCI_ShowWDL", "true"));
    EXPECT_TRUE(apply_search_option(options, "Move Overhead", "0"));
    EXPECT_FALSE(apply_search_option(options, "MultiPV", "0"));
    EXPECT_FALSE(apply_search_option(options, "MultiPV", std::nullopt));
    EXPECT_FALSE(apply_search_option(options, "Noise", "3"));
    EXPECT_EQ(options.multipv, 4u);
    EXPECT_TRUE(options.show_wdl);
    EXPECT_EQ(options.move_overhead_ms, 0u);
    EXPECT_EQ(options.noise, NoiseAmplitude);
}

using UciOptionsTest = test::UciSessionTest;

TEST_F(UciOptionsTest, CatalogueOptionsActOnTheDialectState) {
    settings.options = OptionsMode::Full;
    settings.ponder = true;  // announced once, by the catalogue
    static_cast<void>(send("uci"));
    EXPECT_EQ(std::count(out.lines.begin(), out.lines.end(),
                         "option name Ponder type check default false"),
              1);
    for (const std::string_view line :
         {"setoption name UCI_Chess960 value true", "setoption name MultiPV value 3",
          "setoption name UCI_ShowWDL value true", "setoption name Move Overhead value 70",
          "setoption name Noise value 0", "setoption name Ponder value true"}) {
        static_cast<void>(send(line));
    }
    const EngineOptions& options = session.state.options;
    EXPECT_TRUE(session.state.chess960 && options.show_wdl && options.ponder);
    EXPECT_EQ(options.multipv, 3u);
    EXPECT_EQ(options.move_overhead_ms, 70u);
    EXPECT_EQ(options.noise, 0);
    static_cast<void>(send("setoption name Reset Settings"));
    EXPECT_FALSE(session.state.chess960 || session.state.options.ponder);
    EXPECT_EQ(session.state.options.noise, NoiseAmplitude);
}

TEST_F(UciOptionsTest, WithoutChess960OptionTheCatalogueHasNone) {
    settings.options = OptionsMode::Full;
    settings.no_chess960_option = true;
    static_cast<void>(send("setoption name UCI_Chess960 value true"));
    EXPECT_FALSE(session.state.chess960);
    EXPECT_EQ(out.lines, std::vector<std::string>{"info string No such option: UCI_Chess960"});
}

}  // namespace
}  // namespace pawnlark
