#include "velloran/random/random_generator.h"

#include <bit>
#include <utility>

#include "random/chacha.h"
#include "random/wide_multiply.h"
#include "velloran/fatal.h"

namespace velloran {

namespace {

// O'Neill's PCG-XSH-RR, the state advanced before each output.
std::uint32_t pcg32_next(std::uint64_t& state) {
    state = state * 6364136223846793005ULL + 11634580027462260723ULL;
    const auto x = static_cast<std::uint32_t>(((state >> 18) ^ state) >> 27);
    const auto r = static_cast<int>(state >> 59);
    return std::rotr(x, r);
}

// The high and low halves of x * range, each as wide as the operands.
std::pair<std::uint32_t, std::uint32_t> widening_product(std::uint32_t x, std::uint32_t range) {
    const std::uint64_t product = std::uint64_t{x} * range;
    return {static_cast<std::uint32_t>(product >> 32), static_cast<std::uint32_t>(product)};
}

std::pair<std::uint64_t, std::uint64_t> widening_product(std::uint64_t x, std::uint64_t range) {
    const wide::Product128 product = wide::multiply(x, range);
    return {product.high, product.low};
}

// Widening multiplication with one optional correcting draw (never a loop): the high half of
// x * range, plus one when the low half is close enough to the top that the next draw's
// contribution could carry into it.
template <typename Word, typename Draw>
Word widening_sample(Word range, Draw draw) {
    auto [high, low] = widening_product(draw(), range);
    if (low > static_cast<Word>(-range)) {
        const Word extra = widening_product(draw(), range).first;
        if (static_cast<Word>(low + extra) < low) ++high;
    }
    return high;
}

}  // namespace

RandomGenerator RandomGenerator::with_seed(std::uint64_t seed) {
    // Picks the block function's form now rather than in the middle of the first draw.
    static_cast<void>(chacha::active_path());
    RandomGenerator generator;
    for (std::size_t i = 0; i < 4; ++i) generator.state_[i] = chacha::Constant[i];
    std::uint64_t pcg = seed;
    for (std::size_t i = 0; i < 8; ++i) generator.state_[4 + i] = pcg32_next(pcg);
    return generator;
}

void RandomGenerator::refill() {
    chacha::refill(state_, buffer_);
    chacha::set_counter(state_, chacha::counter(state_) + chacha::BlocksPerRefill);
    position_ = 0;
}

std::uint32_t RandomGenerator::next_word32() {
    if (position_ >= buffer_.size()) refill();
    return buffer_[position_++];
}

std::uint64_t RandomGenerator::next_word64() {
    if (position_ + 1 < buffer_.size()) {
        const std::uint64_t low = buffer_[position_];
        const std::uint64_t high = buffer_[position_ + 1];
        position_ += 2;
        return (high << 32) | low;
    }
    // Position 63 or 64: the two words straddle a refill, or both come from the next one.
    const std::uint64_t low = next_word32();
    return (std::uint64_t{next_word32()} << 32) | low;
}

std::uint64_t RandomGenerator::sample_range(std::uint64_t low, std::uint64_t high) {
    if (low >= high) fatal(EmptyRangeMessage);
    if (high <= 0xFFFFFFFFULL) {
        const auto range = static_cast<std::uint32_t>(high - low);
        const auto draw = [this] { return next_word32(); };
        return low + widening_sample<std::uint32_t>(range, draw);
    }
    const auto draw = [this] { return next_word64(); };
    return low + widening_sample<std::uint64_t>(high - low, draw);
}

std::int32_t RandomGenerator::sample_range_inclusive_i32(std::int32_t low, std::int32_t high) {
    if (high < low) fatal(EmptyRangeMessage);
    const std::uint32_t range =
        static_cast<std::uint32_t>(high) - static_cast<std::uint32_t>(low) + 1U;
    if (range == 0) return static_cast<std::int32_t>(next_word32());
    const auto draw = [this] { return next_word32(); };
    const std::uint32_t offset = widening_sample<std::uint32_t>(range, draw);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + offset);
}

}  // namespace velloran
