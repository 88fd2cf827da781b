#include "filter/pixel.h"

#include <algorithm>
#include <vector>

namespace svg {

namespace {

std::vector<std::uint8_t> BuildUnpremultiplyTable()
{
    std::vector<std::uint8_t> table(256 * 256, 0);
    for (std::uint32_t alpha = 1; alpha < 256; ++alpha)
        for (std::uint32_t channel = 0; channel < 256; ++channel)
            table[alpha * 256 + channel] =
                static_cast<std::uint8_t>((std::min(channel, alpha) * 255 + alpha / 2) / alpha);
    return table;
}

}  // namespace

std::uint32_t Unpremultiply(std::uint32_t channel, std::uint32_t alpha)
{
    static const std::vector<std::uint8_t> table = BuildUnpremultiplyTable();
    return table[(alpha & 0xFF) * 256 + (channel & 0xFF)];
}

}  // namespace svg
