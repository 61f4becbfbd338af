#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <vector>

#include "velloran/text.h"

namespace pawnlark {
namespace {

Settings scan(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return scan_arguments(list);
}

TEST(ParseUnsigned, ReadsDigitsWithOptionalPlusAndLeadingZeros) {
    EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>("0"), 0u);
    EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>("+7"), 7u);
    EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>("007"), 7u);
    EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>("18446744073709551615"),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(velloran::parse_unsigned<std::uint32_t>("4294967295"), 4294967295u);
}

TEST(ParseUnsigned, RejectsSignsBlanksOtherCharactersAndOverflow) {
    for (const std::string_view text :
         {"", "+", "-", "-1", "-0", "++1", "+-1", " 1", "1 ", "1x", "0x10", "1.0", "1e3", "abc"}) {
        EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>(text), std::nullopt)
            << '"' << text << '"';
    }
    EXPECT_EQ(velloran::parse_unsigned<std::uint64_t>("18446744073709551616"), std::nullopt);
    EXPECT_EQ(velloran::parse_unsigned<std::uint32_t>("4294967296"), std::nullopt);
}

TEST(ScanArguments, NoArgumentsGiveTheDefaults) {
    const Settings settings = scan({});
    EXPECT_EQ(settings.name, "pawnlark");
    EXPECT_EQ(settings.crash_at_ply, std::nullopt);
    EXPECT_EQ(settings.stall_at_ply, std::nullopt);
    EXPECT_EQ(settings.illegal_at_ply, std::nullopt);
    EXPECT_EQ(settings.delay_ms, 5u);
    EXPECT_EQ(settings.seed, 42u);
    EXPECT_FALSE(settings.random);
    EXPECT_EQ(settings.protocol, Protocol::Uci);
    EXPECT_FALSE(settings.bench);
}

TEST(ScanArguments, SetsEveryOption) {
    const Settings settings =
        scan({"--name", "Bob", "--crash-at-ply", "9", "--stall-at-ply", "8", "--illegal-at-ply",
              "7", "--delay-ms", "0", "--seed", "+123", "--random", "--proto", "cecp", "bench"});
    EXPECT_EQ(settings.name, "Bob");
    EXPECT_EQ(settings.crash_at_ply, 9u);
    EXPECT_EQ(settings.stall_at_ply, 8u);
    EXPECT_EQ(settings.illegal_at_ply, 7u);
    EXPECT_EQ(settings.delay_ms, 0u);
    EXPECT_EQ(settings.seed, 123u);
    EXPECT_TRUE(settings.random);
    EXPECT_EQ(settings.protocol, Protocol::Cecp);
    EXPECT_TRUE(settings.bench);
}

TEST(ScanArguments, ValueIsTheNextArgumentWhateverItLooksLike) {
    const Settings settings = scan({"--name", "--seed", "5"});
    EXPECT_EQ(settings.name, "--seed");
    EXPECT_EQ(settings.seed, 42u);  // the 5 is a stray argument

    const Settings bench_named = scan({"--name", "bench"});
    EXPECT_EQ(bench_named.name, "bench");
    EXPECT_FALSE(bench_named.bench);

    EXPECT_EQ(scan({"--proto", "--random"}).random, false);
}

TEST(ScanArguments, MissingValuesTakeTheFallBacks) {
    EXPECT_EQ(scan({"--name"}).name, "");
    EXPECT_EQ(scan({"--seed"}).seed, 42u);
    EXPECT_EQ(scan({"--delay-ms"}).delay_ms, 5u);
    EXPECT_EQ(scan({"--proto"}).protocol, Protocol::Uci);
    EXPECT_EQ(scan({"--crash-at-ply"}).crash_at_ply, std::nullopt);
    EXPECT_EQ(scan({"--stall-at-ply"}).stall_at_ply, std::nullopt);
    EXPECT_EQ(scan({"--illegal-at-ply"}).illegal_at_ply, std::nullopt);
}

TEST(ScanArguments, UnreadableNumbersTakeTheFallBacks) {
    EXPECT_EQ(scan({"--seed", ""}).seed, 42u);
    EXPECT_EQ(scan({"--seed", "-1"}).seed, 42u);
    EXPECT_EQ(scan({"--seed", "18446744073709551616"}).seed, 42u);
    EXPECT_EQ(scan({"--seed", "18446744073709551615"}).seed, 18446744073709551615u);
    EXPECT_EQ(scan({"--delay-ms", "abc"}).delay_ms, 5u);
    EXPECT_EQ(scan({"--illegal-at-ply", "4294967296"}).illegal_at_ply, std::nullopt);
    EXPECT_EQ(scan({"--illegal-at-ply", "0"}).illegal_at_ply, 0u);
    EXPECT_EQ(scan({"--stall-at-ply", "4294967295"}).stall_at_ply, 4294967295u);
}

TEST(ScanArguments, LastOccurrenceWinsIncludingTheFallBack) {
    EXPECT_EQ(scan({"--crash-at-ply", "5", "--crash-at-ply", "x"}).crash_at_ply, std::nullopt);
    EXPECT_EQ(scan({"--seed", "7", "--seed", "8"}).seed, 8u);
    EXPECT_EQ(scan({"--seed", "7", "--seed"}).seed, 42u);
    EXPECT_EQ(scan({"--proto", "cecp", "--proto", "uci"}).protocol, Protocol::Uci);
    EXPECT_EQ(scan({"--name", "a", "--name"}).name, "");
}

TEST(ScanArguments, ProtoIsCecpOnlyForTheExactWord) {
    EXPECT_EQ(scan({"--proto", "cecp"}).protocol, Protocol::Cecp);
    for (const std::string_view word : {"CECP", "xboard", "cecp ", "uci"}) {
        EXPECT_EQ(scan({"--proto", word}).protocol, Protocol::Uci) << word;
    }
}

TEST(ScanArguments, UnrecognisedArgumentsAreSkippedOneByOne) {
    const Settings random_three = scan({"--random", "3"});
    EXPECT_TRUE(random_three.random);
    EXPECT_EQ(random_three, scan({"--random"}));

    EXPECT_EQ(scan({"--seed=5"}).seed, 42u);
    EXPECT_EQ(scan({"--Seed", "5", "-seed", "6", "BENCH", "--bench"}), Settings{});
    // A stray word before an option does not shift the pairing of option and value.
    EXPECT_EQ(scan({"x", "--seed", "9"}).seed, 9u);
}

TEST(ScanArguments, CecpPlayOptions) {
    const Settings settings =
        scan({"--cecp-standard", "--cecp-claim-at-ply", "+4", "--cecp-claim", "claim-draw"});
    EXPECT_TRUE(settings.cecp_standard);
    EXPECT_EQ(settings.cecp_claim_at_ply, 4u);
    EXPECT_EQ(settings.cecp_claim, ClaimKind::ClaimDraw);
    // An unknown kind keeps the default; an unreadable ply leaves the claim off.
    EXPECT_EQ(scan({"--cecp-claim", "claim-draw", "--cecp-claim", "Resign"}).cecp_claim,
              ClaimKind::Resign);
    EXPECT_EQ(scan({"--cecp-claim-at-ply", "-1"}).cecp_claim_at_ply, std::nullopt);
    EXPECT_EQ(scan({"--cecp-claim"}).cecp_claim, ClaimKind::Resign);
}

TEST(ScanArguments, FaultKindsAndModifiers) {
    const Settings settings = scan(
        {"--handshake-fault", "no-ready", "--garble", "kxr", "--flood-kind", "multipv",
         "--flood-lines", "7", "--line-end", "crlf", "--token-sep", "double", "--flag-overrun-ms",
         "0", "--quit-delay-ms", "9", "--ignore-quit", "--ponder", "--no-chess960-option"});
    EXPECT_EQ(settings.handshake_fault, HandshakeFault::NoReady);
    EXPECT_EQ(settings.garble, GarbleKind::Kxr);
    EXPECT_EQ(settings.flood_kind, FloodKind::MultiPv);
    EXPECT_EQ(settings.flood_lines, 7u);
    EXPECT_EQ(settings.line_end, LineEnd::CrLf);
    EXPECT_EQ(settings.token_separator, TokenSeparator::Double);
    EXPECT_EQ(settings.flag_overrun_ms, 0u);
    EXPECT_EQ(settings.quit_delay_ms, 9u);
    EXPECT_TRUE(settings.ignore_quit && settings.ponder && settings.no_chess960_option);
    // Unknown words: a fault stays off, a modifier keeps its default.
    const Settings unknown = scan({"--handshake-fault", "NO-OK", "--garble", "x", "--flood-kind",
                                   "", "--flood-lines", "-1", "--line-end", "cr"});
    EXPECT_EQ(unknown.handshake_fault, std::nullopt);
    EXPECT_EQ(unknown.garble, GarbleKind::Empty);
    EXPECT_EQ(unknown.flood_kind, FloodKind::Valid);
    EXPECT_EQ(unknown.flood_lines, 1000u);
    EXPECT_EQ(unknown.line_end, LineEnd::Lf);
}

TEST(ScanArguments, OptionsQuirksAndDraws) {
    const Settings settings =
        scan({"--options", "echo", "--info-quirk", "long-pv", "--cecp-accept-draw"});
    EXPECT_EQ(settings.options, OptionsMode::Echo);
    EXPECT_EQ(settings.info_quirk, InfoQuirk::LongPv);
    EXPECT_TRUE(settings.cecp_accept_draw);
    // An unknown word: the basic options and no quirk, as without the argument.
    const Settings unknown = scan({"--options", "Full", "--info-quirk", "bounds", "--info-quirk"});
    EXPECT_EQ(unknown.options, OptionsMode::Basic);
    EXPECT_EQ(unknown.info_quirk, std::nullopt);
}

TEST(UnknownArguments, ListsWhatTheScannerWouldSkipOrReadAsAFallBack) {
    struct Row {
        std::vector<std::string_view> arguments;
        std::vector<std::string_view> unknown;
    };
    const std::vector<Row> rows = {
        {{"--proto", "cecp", "--garble-at-ply", "10", "--garble", "noeol", "--ponder", "bench"},
         {}},
        {{"--name", "--seed", "--info-quirk", "bounds"}, {}},  // any name, even an option's
        {{"--garbel", "null", "--seed", "5"}, {"--garbel", "null"}},
        {{"--garble", "nul", "--proto", "xboard"}, {"nul", "xboard"}},
        {{"--random", "--flood-kind"}, {"--flood-kind"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(unknown_arguments(row.arguments), row.unknown) << row.arguments.front();
    }
}

}  // namespace
}  // namespace pawnlark
