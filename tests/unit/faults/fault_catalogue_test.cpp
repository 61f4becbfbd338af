#include "app/faults/fault_catalogue.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace pawnlark {
namespace {

using Arguments = std::vector<std::string_view>;

FaultSettings scan_faults(const Arguments& arguments) { return scan_arguments(arguments); }

Arguments with_value(const FaultOption& option, std::optional<std::string_view> value) {
    Arguments arguments{option.word};
    if (value) arguments.push_back(*value);
    return arguments;
}

// The option with every value worth trying: each of its words, or numbers; a flag alone.
std::vector<Arguments> samples(const FaultOption& option) {
    if (!option.takes_value) return {with_value(option, std::nullopt)};
    std::vector<std::string_view> values{"0", "7", "18446744073709551615"};
    if (!option.words.empty()) values.assign(option.words.begin(), option.words.end());
    std::vector<Arguments> lines;
    lines.reserve(values.size());
    for (const std::string_view value : values) lines.push_back(with_value(option, value));
    return lines;
}

TEST(FaultCatalogue, OptionWordsAreUniqueAndEveryFaultHasOne) {
    std::set<std::string_view> seen;
    for (const FaultDeclaration& entry : fault_catalogue()) {
        EXPECT_FALSE(entry.options.empty());
        for (const FaultOption& option : entry.options) {
            EXPECT_TRUE(seen.insert(option.word).second) << option.word;
            EXPECT_EQ(find_fault_option(option.word), &option) << option.word;
        }
    }
    EXPECT_EQ(find_fault_option("--name"), nullptr);
    EXPECT_EQ(find_fault_option("garble"), nullptr);
}

TEST(FaultCatalogue, EveryOptionIsAcceptedWithEachOfItsWords) {
    for (const FaultDeclaration& entry : fault_catalogue()) {
        for (const FaultOption& option : entry.options) {
            for (const Arguments& arguments : samples(option)) {
                EXPECT_EQ(unknown_arguments(arguments), Arguments{}) << arguments.back();
            }
            if (!option.takes_value) continue;
            EXPECT_EQ(unknown_arguments(with_value(option, {})), Arguments{option.word});
            if (!option.words.empty()) {
                EXPECT_EQ(unknown_arguments(with_value(option, "Nope")), Arguments{"Nope"});
            }
        }
    }
}

TEST(FaultCatalogue, EveryWordRoundTripsIntoItsField) {
    for (const FaultDeclaration& entry : fault_catalogue()) {
        for (const FaultOption& option : entry.options) {
            for (std::size_t index = 0; index < option.words.size(); ++index) {
                const FaultSettings faults = scan_faults(with_value(option, option.words[index]));
                ASSERT_NE(option.word_held, nullptr) << option.word;
                EXPECT_EQ(option.word_held(faults), index)
                    << option.word << ' ' << option.words[index];
            }
        }
    }
}

// The fall-back of every option is its default: a missing or unreadable value, or an unknown
// word, reads as if the option were not given; a readable one changes the settings.
TEST(FaultCatalogue, UnreadableValuesLeaveTheDefaultAndReadableOnesDoNot) {
    for (const FaultDeclaration& entry : fault_catalogue()) {
        for (const FaultOption& option : entry.options) {
            if (!option.takes_value) {
                EXPECT_NE(scan_faults(with_value(option, {})), FaultSettings{}) << option.word;
                continue;
            }
            for (const std::optional<std::string_view> value :
                 {std::optional<std::string_view>(), std::optional<std::string_view>("x"),
                  std::optional<std::string_view>("-1")}) {
                EXPECT_EQ(scan_faults(with_value(option, value)), FaultSettings{}) << option.word;
            }
            if (option.words.empty()) {
                EXPECT_NE(scan_faults(with_value(option, "7")), FaultSettings{}) << option.word;
            }
        }
    }
}

// A fault placed in the answer changes the plan exactly in the dialects that honour it; a fault
// outside it changes no plan, whatever its values.
TEST(FaultCatalogue, PlacesAgreeWithThePlan) {
    const AnswerRequest request{.ply = 0, .own_time_ms = 100, .thinks = false};
    for (const DialectMode mode :
         {DialectMode::Uci, DialectMode::Cecp, DialectMode::CecpStandard}) {
        const DialectFaults dialect = dialect_faults(mode);
        const AnswerPlan plain = plan_answer(FaultSettings{}, dialect, request);
        for (const FaultDeclaration& entry : fault_catalogue()) {
            const std::string context = std::string(entry.options.front().word) + " in dialect "
                                        + std::to_string(static_cast<int>(mode));
            if (entry.place) {
                const FaultSettings faults = scan_faults(with_value(entry.options.front(), "0"));
                const bool changes = plan_answer(faults, dialect, request) != plain;
                EXPECT_EQ(changes, honours(mode, entry.honoured_in)) << context;
                continue;
            }
            for (const FaultOption& option : entry.options) {
                for (const Arguments& arguments : samples(option)) {
                    EXPECT_EQ(plan_answer(scan_faults(arguments), dialect, request), plain)
                        << context << ' ' << arguments.back();
                }
            }
        }
    }
}

TEST(FaultCatalogue, DialectsHonourWhatTheCatalogueDeclares) {
    struct Row {
        DialectMode mode = DialectMode::Uci;
        DialectFaults faults;
    };
    for (const Row& row : {
             Row{DialectMode::Uci, {.honours_stall_and_illegal = true, .makes_claims = false}},
             Row{DialectMode::Cecp, {.honours_stall_and_illegal = false, .makes_claims = true}},
             Row{DialectMode::CecpStandard,
                 {.honours_stall_and_illegal = true, .makes_claims = true}},
         }) {
        EXPECT_EQ(dialect_faults(row.mode), row.faults) << static_cast<int>(row.mode);
    }
    EXPECT_TRUE(honours(DialectMode::Uci, declaration(Fault::PonderPremature).honoured_in));
    EXPECT_FALSE(
        honours(DialectMode::CecpStandard, declaration(Fault::PonderPremature).honoured_in));
}

}  // namespace
}  // namespace pawnlark
