#include "rules/attacks.h"

#include <memory>

namespace velloran {
namespace {

// Multipliers found offline by a seeded trial search; each maps every blocker subset of its
// square to a slot holding the right attack set (checked against the ray walk by the tests).
constexpr std::array<std::uint64_t, 64> RookMultipliers{
    0x1080004008801020ULL, 0x0840092002C03000ULL, 0x1900200010400900ULL, 0x0880100008000480ULL,
    0x4200100420080200ULL, 0x8100020100080400ULL, 0x0200040110886200ULL, 0x0200008040220411ULL,
    0x0404800084400220ULL, 0x0000401000402000ULL, 0x0086001081220440ULL, 0x0408800800100280ULL,
    0x000A001201040820ULL, 0x8848800200840080ULL, 0x4001000100040200ULL, 0x0442000102105084ULL,
    0x9080010020804100ULL, 0x0040404000201009ULL, 0x0000808010002009ULL, 0x2200090021D00100ULL,
    0x0008008008040080ULL, 0x0004004002010040ULL, 0x0011040008015042ULL, 0x00000A0001768104ULL,
    0x0000800080204009ULL, 0x2010004140002001ULL, 0x9800200280100080ULL, 0x1000100080080080ULL,
    0x0442000A00049020ULL, 0x2100040080020080ULL, 0x0800120400900148ULL, 0x0010040A00128541ULL,
    0x2800804000800030ULL, 0x1010002000400041ULL, 0x4000200011004100ULL, 0x0610008410800800ULL,
    0x0400802402800800ULL, 0xC100020080800400ULL, 0x0002000802000401ULL, 0x0182085882000401ULL,
    0x0220204000808000ULL, 0x2860100040024022ULL, 0x0001002004110040ULL, 0x99101042000A0020ULL,
    0x0004080004008080ULL, 0x0010040002008080ULL, 0x2012004881020004ULL, 0x8300842444820011ULL,
    0x0088403882010200ULL, 0x0820400080210100ULL, 0x0110910040A00300ULL, 0x0801100280080480ULL,
    0x0242009008200600ULL, 0x1002000489500200ULL, 0x0040800200010080ULL, 0x0091800041000080ULL,
    0x0000209300488001ULL, 0x04C1002414824001ULL, 0x020020000B001041ULL, 0x7000100004200901ULL,
    0x8002002004100802ULL, 0x30010002084C0007ULL, 0x0888221800813004ULL, 0x4000002840840112ULL,
};
constexpr std::array<std::uint64_t, 64> BishopMultipliers{
    0xA010041108003100ULL, 0x006082020A002900ULL, 0x6810010619200000ULL, 0x08281A0520000408ULL,
    0x0001104001000400ULL, 0x0018901008048400ULL, 0x00040A0210245280ULL, 0x000200210808A402ULL,
    0x9140048410821200ULL, 0x0800091010820041ULL, 0x20504804832202C0ULL, 0x0100091401081000ULL,
    0x8021011140000012ULL, 0x0810020804450400ULL, 0x208B0542109008A2ULL, 0x0080084A08040204ULL,
    0x0040E2A80811244CULL, 0x2505022008008108ULL, 0x0430220100420040ULL, 0x010A040420220040ULL,
    0x1105000290400000ULL, 0x0093001200822120ULL, 0x4000A62048043004ULL, 0x280120048A015004ULL,
    0x006090002A020814ULL, 0x44042000240800D0ULL, 0x01102800040A4400ULL, 0x1004080080220040ULL,
    0x0001001011004024ULL, 0x0010044000805040ULL, 0x0914041200820100ULL, 0x0004821012821480ULL,
    0x0024040500C05021ULL, 0x0088611002080200ULL, 0x0116080A00040020ULL, 0x4000020080080080ULL,
    0x2450450140840040ULL, 0x0000880201484100ULL, 0x0222020404020092ULL, 0x8081110600002E00ULL,
    0x2842101105000801ULL, 0x1100809008001025ULL, 0x00020202221C0400ULL, 0x0422014022009020ULL,
    0x0210046102100C00ULL, 0xC004008082029102ULL, 0x00AA461801101200ULL, 0x0404080080201108ULL,
    0x020542108C205002ULL, 0x0410544804100100ULL, 0x0040910841100000ULL, 0x0400200042021100ULL,
    0x00004204850400C0ULL, 0x0200100410A42102ULL, 0x1040020801210102ULL, 0x0805040410420000ULL,
    0x2884804130100200ULL, 0x800C262201242000ULL, 0x1058000194108800ULL, 0x0014221054420204ULL,
    0x0104000012A02200ULL, 0x0200881003300100ULL, 0x0140400202840100ULL, 0x0402020801010201ULL,
};

constexpr std::uint64_t relevant_blockers(int square, int first_direction) {
    std::uint64_t mask = 0;
    for (int d = first_direction; d < first_direction + 4; ++d) {
        const BitBoard ray = Rays[d][square];
        if (ray.empty()) continue;
        // The last square of a ray never blocks anything beyond it.
        const std::uint64_t last =
            d % 2 == 0 ? std::bit_floor(ray.bits) : ray.bits & (0 - ray.bits);
        mask |= ray.bits & ~last;
    }
    return mask;
}

constexpr MagicTables make_magics() {
    MagicTables out{};
    std::uint32_t offset = 0;
    for (int s = 0; s < 64; ++s) {
        const std::uint64_t mask = relevant_blockers(s, 0);
        out.rook[s] = Magic{mask, RookMultipliers[s], offset,
                            static_cast<std::uint32_t>(64 - popcount(mask))};
        offset += std::uint32_t{1} << popcount(mask);
    }
    for (int s = 0; s < 64; ++s) {
        const std::uint64_t mask = relevant_blockers(s, 4);
        out.bishop[s] = Magic{mask, BishopMultipliers[s], offset,
                              static_cast<std::uint32_t>(64 - popcount(mask))};
        offset += std::uint32_t{1} << popcount(mask);
    }
    out.size = offset;
    return out;
}

// Attacks along two opposite directions for one occupancy: a ray and a lookup each.
BitBoard line_attacks(int square, std::uint64_t occupied, int up_direction) {
    BitBoard out;
    for (const int d : {up_direction, up_direction + 1}) {
        BitBoard ray = Rays[d][square];
        const std::uint64_t blockers = ray.bits & occupied;
        if (blockers != 0) {
            // Even directions go up the board, so their nearest blocker is the lowest square.
            const int nearest =
                d % 2 == 0 ? std::countr_zero(blockers) : 63 - std::countl_zero(blockers);
            ray ^= Rays[d][nearest];
        }
        out |= ray;
    }
    return out;
}

// A slider's blockers lie on two lines through its square, and the attacks along each line
// depend only on the blockers on that line. So every blocker subset of the second line and its
// attacks are listed once, and each subset of the first line combines with all of them: a few
// instructions per slot, which keeps building all the tables well under a millisecond.
void fill(std::uint64_t* table, const Magic& magic, int square, int first_direction) {
    const std::uint64_t first_line =
        magic.mask & (Rays[first_direction][square] | Rays[first_direction + 1][square]).bits;
    const std::uint64_t second_line = magic.mask & ~first_line;
    std::array<std::uint64_t, 64> second_subsets{};
    std::array<BitBoard, 64> second_attacks{};
    std::size_t count = 0;
    std::uint64_t subset = 0;
    do {
        second_subsets[count] = subset;
        second_attacks[count] = line_attacks(square, subset, first_direction + 2);
        ++count;
        subset = (subset - second_line) & second_line;
    } while (subset != 0);

    subset = 0;
    do {
        const BitBoard first_attacks = line_attacks(square, subset, first_direction);
        for (std::size_t i = 0; i < count; ++i) {
            table[magic.index(BitBoard{subset | second_subsets[i]})] =
                (first_attacks | second_attacks[i]).bits;
        }
        subset = (subset - first_line) & first_line;
    } while (subset != 0);
}

// Left unwritten at first: every slot a lookup can reach gets its set in `fill`.
std::unique_ptr<std::uint64_t[]> build_slider_table() {
    auto table = std::make_unique_for_overwrite<std::uint64_t[]>(Magics.size);
    for (int s = 0; s < 64; ++s) {
        fill(table.get(), Magics.rook[s], s, 0);
        fill(table.get(), Magics.bishop[s], s, 4);
    }
    return table;
}

}  // namespace

constexpr MagicTables Magics = make_magics();

const std::uint64_t* slider_table() {
    static const std::unique_ptr<std::uint64_t[]> table = build_slider_table();
    return table.get();
}

}  // namespace velloran
