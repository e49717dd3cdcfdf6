#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "MipChain.h"

namespace
{
std::vector<uint8_t> LevelBytes(const MipChain& chain, size_t level)
{
    const MipChain::Level& at = chain.levels[level];
    const size_t count = static_cast<size_t>(at.width) * at.height * chain.channels * chain.bytesPerComponent;
    const uint8_t* texels = static_cast<const uint8_t*>(chain.Texels(level));
    return std::vector<uint8_t>(texels, texels + count);
}
} // namespace

// Each block of four is reduced as a GPU's bilinear sample at its centre rounds, not as the plain
// mean: 8-bit components take the mean of each pair rounded half up, then of the two pairs.
TEST(MipChain, EightBitBlocksRoundAsTheGpuSamplesThem)
{
    struct Case
    {
        uint8_t topLeft, topRight, bottomLeft, bottomRight, expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0},
        {255, 255, 255, 255, 255},
        {0, 0, 0, 1, 1},     // pairs 0 and 1, whose mean rounds up; the plain mean 0.25 would give 0
        {0, 1, 0, 1, 1},     // pairs 1 and 1
        {10, 20, 30, 40, 25},
        {0, 255, 0, 0, 64},  // pairs 128 and 0
        {254, 255, 255, 255, 255},
    };
    for (const Case& block : cases)
    {
        const uint8_t base[4] = {block.topLeft, block.topRight, block.bottomLeft, block.bottomRight};
        const MipChain chain = MipChain::Build(base, 2, 2, 1, 1);
        ASSERT_EQ(chain.levels.size(), 1u);
        EXPECT_EQ(LevelBytes(chain, 0)[0], block.expected)
            << int(block.topLeft) << ' ' << int(block.topRight) << ' ' << int(block.bottomLeft) << ' ' << int(block.bottomRight);
    }
}

// 16-bit components are sampled in normalised single precision: a mean that falls halfway
// between two values goes whichever way the float arithmetic lands, never further.
TEST(MipChain, SixteenBitBlocksStayWithinHalfAStepOfTheMean)
{
    const uint16_t exact[4] = {100, 200, 300, 400};
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(MipChain::Build(exact, 2, 2, 1, 2).Texels(0))[0], 250);
    const uint16_t extremes[4] = {65535, 65535, 65535, 65535};
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(MipChain::Build(extremes, 2, 2, 1, 2).Texels(0))[0], 65535);
    for (uint32_t sum = 0; sum < 4 * 65535; sum += 4099)
    {
        const uint16_t block[4] = {static_cast<uint16_t>(sum / 4), static_cast<uint16_t>(sum / 4),
                                   static_cast<uint16_t>(sum / 4), static_cast<uint16_t>(sum - 3 * (sum / 4))};
        const uint16_t reduced = reinterpret_cast<const uint16_t*>(MipChain::Build(block, 2, 2, 1, 2).Texels(0))[0];
        EXPECT_LE(std::abs(4.0 * reduced - sum), 2.0) << sum;
    }
}

TEST(MipChain, LevelsHalveEachSideDownToOneByOne)
{
    std::vector<uint8_t> base(16 * 4 * 3);
    for (size_t k = 0; k < base.size(); ++k)
        base[k] = static_cast<uint8_t>(k * 7);
    const MipChain chain = MipChain::Build(base.data(), 16, 4, 3, 1);
    const std::vector<std::pair<uint32_t, uint32_t>> sizes = {{8, 2}, {4, 1}, {2, 1}, {1, 1}};
    ASSERT_EQ(chain.levels.size(), sizes.size());
    size_t bytes = 0;
    for (size_t k = 0; k < sizes.size(); ++k)
    {
        EXPECT_EQ(chain.levels[k].width, sizes[k].first);
        EXPECT_EQ(chain.levels[k].height, sizes[k].second);
        EXPECT_EQ(chain.levels[k].offset, bytes);
        bytes += static_cast<size_t>(sizes[k].first) * sizes[k].second * 3;
    }
    EXPECT_EQ(chain.ByteCount(), bytes);
    // Below a height of 1 the single row stands for both rows of each block, so a row of 2 x 1
    // halves to the mean of its pair.
    const std::vector<uint8_t> twoByOne = LevelBytes(chain, 2);
    const std::vector<uint8_t> oneByOne = LevelBytes(chain, 3);
    for (size_t c = 0; c < 3; ++c)
        EXPECT_EQ(oneByOne[c], (twoByOne[c] + twoByOne[3 + c] + 1) / 2);
    // Channels are reduced apart.
    const std::vector<uint8_t> firstLevel = LevelBytes(chain, 0);
    for (size_t c = 0; c < 3; ++c)
    {
        const auto at = [&](size_t x, size_t y) { return base[(y * 16 + x) * 3 + c]; };
        const uint32_t top = (at(0, 0) + at(1, 0) + 1) / 2;
        const uint32_t bottom = (at(0, 1) + at(1, 1) + 1) / 2;
        EXPECT_EQ(firstLevel[c], (top + bottom + 1) / 2);
    }
}

// Only power-of-two bases and the 8- and 16-bit layouts get levels; the driver keeps the rest.
TEST(MipChain, BasesItCannotReduceExactlyGetNoLevels)
{
    const std::vector<uint8_t> base(64 * 64 * 4 * 2, 9);
    struct Case
    {
        const void* texels;
        uint32_t width, height, channels, bytes;
    };
    const Case cases[] = {
        {base.data(), 6, 4, 1, 1},  {base.data(), 4, 3, 1, 1}, {base.data(), 0, 4, 1, 1},
        {base.data(), 4, 4, 0, 1},  {base.data(), 4, 4, 5, 1}, {base.data(), 4, 4, 1, 4},
        {nullptr, 4, 4, 1, 1},      {base.data(), 1, 1, 1, 2},
    };
    for (const Case& refused : cases)
        EXPECT_TRUE(MipChain::Build(refused.texels, refused.width, refused.height, refused.channels, refused.bytes).levels.empty())
            << refused.width << " x " << refused.height << ", " << refused.channels << " channels of " << refused.bytes;
}
