#include "filter/turbulence.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <vector>

#include "filter/parallel.h"
#include "filter/pixel.h"
#include "base/limits.h"

namespace svg {

namespace {

// The reference code's constants.
constexpr int kLatticeSize = 0x100;
constexpr int kLatticeMask = 0xFF;
constexpr int kPerlinOffset = 0x1000;
constexpr long kRandomModulus = 2147483647;
constexpr long kRandomMultiplier = 16807;
constexpr long kRandomQuotient = 127773;  // modulus / multiplier
constexpr long kRandomRemainder = 2836;   // modulus % multiplier
constexpr int kChannels = 4;

// Lattice coordinates this large would overflow even a 64-bit conversion;
// the lattice repeats every 256 and their fraction is 0, so they are reduced.
constexpr double kMaxLatticeCoordinate = 0x1p62;
// Stitch sizes are kept within this before they double once per octave.
constexpr double kMaxStitchValue = 1LL << 40;

long SetUpSeed(long seed)
{
    if (seed <= 0)
        seed = -(seed % (kRandomModulus - 1)) + 1;
    if (seed > kRandomModulus - 1)
        seed = kRandomModulus - 1;
    return seed;
}

long NextRandom(long seed)
{
    long result = kRandomMultiplier * (seed % kRandomQuotient) - kRandomRemainder * (seed / kRandomQuotient);
    if (result <= 0)
        result += kRandomModulus;
    return result;
}

// The lattice selector and the gradients of the four channels, with the
// wrap-around copies, made from a seed as the reference's init() makes them.
struct NoiseTables {
    int selector[kLatticeSize + kLatticeSize + 2] = {};
    double gradient[kChannels][kLatticeSize + kLatticeSize + 2][2] = {};

    explicit NoiseTables(long seed)
    {
        seed = SetUpSeed(seed);
        int i = 0;
        for (int k = 0; k < kChannels; ++k) {
            for (i = 0; i < kLatticeSize; ++i) {
                selector[i] = i;
                for (int j = 0; j < 2; ++j) {
                    seed = NextRandom(seed);
                    gradient[k][i][j] =
                        static_cast<double>((seed % (kLatticeSize + kLatticeSize)) - kLatticeSize) / kLatticeSize;
                }
                const double length = std::sqrt(gradient[k][i][0] * gradient[k][i][0] +
                                                gradient[k][i][1] * gradient[k][i][1]);
                // The reference divides by zero for a (0, 0) gradient; it stays (0, 0).
                if (length > 0.0) {
                    gradient[k][i][0] /= length;
                    gradient[k][i][1] /= length;
                }
            }
        }
        while (--i) {
            const int kept = selector[i];
            seed = NextRandom(seed);
            const int j = static_cast<int>(seed % kLatticeSize);
            selector[i] = selector[j];
            selector[j] = kept;
        }
        for (i = 0; i < kLatticeSize + 2; ++i) {
            selector[kLatticeSize + i] = selector[i];
            for (int k = 0; k < kChannels; ++k)
                for (int j = 0; j < 2; ++j)
                    gradient[k][kLatticeSize + i][j] = gradient[k][i][j];
        }
    }
};

struct StitchInfo {
    long long width = 0;
    long long height = 0;
    long long wrapX = 0;
    long long wrapY = 0;
};

double SCurve(double t) { return t * t * (3.0 - 2.0 * t); }
double Lerp(double t, double a, double b) { return a + t * (b - a); }

// The lattice cell and the fraction within it of one coordinate, as the
// reference's (int)t and t - (int)t (truncation, also for negative t); the
// cell is wrapped into the lattice only after stitching.
void LatticeCell(double coordinate, long long& cell, double& fraction)
{
    double t = coordinate + kPerlinOffset;
    if (!(std::abs(t) < kMaxLatticeCoordinate))
        t = std::isfinite(t) ? std::fmod(t, static_cast<double>(kLatticeSize)) : 0.0;
    cell = static_cast<long long>(t);
    fraction = t - static_cast<double>(cell);
}

// The noise of all four channels at one point: they share the lattice cell
// and its curve, and differ only in their gradients.
void Noise2(const NoiseTables& tables, double x, double y, const StitchInfo* stitch, double (&noise)[kChannels])
{
    long long bx0 = 0, by0 = 0;
    double rx0 = 0.0, ry0 = 0.0;
    LatticeCell(x, bx0, rx0);
    LatticeCell(y, by0, ry0);
    long long bx1 = bx0 + 1;
    long long by1 = by0 + 1;
    const double rx1 = rx0 - 1.0;
    const double ry1 = ry0 - 1.0;
    if (stitch != nullptr) {
        if (bx0 >= stitch->wrapX)
            bx0 -= stitch->width;
        if (bx1 >= stitch->wrapX)
            bx1 -= stitch->width;
        if (by0 >= stitch->wrapY)
            by0 -= stitch->height;
        if (by1 >= stitch->wrapY)
            by1 -= stitch->height;
    }
    bx0 &= kLatticeMask;
    bx1 &= kLatticeMask;
    by0 &= kLatticeMask;
    by1 &= kLatticeMask;
    const int i = tables.selector[bx0];
    const int j = tables.selector[bx1];
    const int g00 = tables.selector[i + by0];
    const int g10 = tables.selector[j + by0];
    const int g01 = tables.selector[i + by1];
    const int g11 = tables.selector[j + by1];
    const double sx = SCurve(rx0);
    const double sy = SCurve(ry0);
    for (int channel = 0; channel < kChannels; ++channel) {
        const auto& gradients = tables.gradient[channel];
        const double* q00 = gradients[g00];
        const double* q10 = gradients[g10];
        const double* q01 = gradients[g01];
        const double* q11 = gradients[g11];
        const double a = Lerp(sx, rx0 * q00[0] + ry0 * q00[1], rx1 * q10[0] + ry0 * q10[1]);
        const double b = Lerp(sx, rx0 * q01[0] + ry1 * q01[1], rx1 * q11[0] + ry1 * q11[1]);
        noise[channel] = Lerp(sy, a, b);
    }
}

// The reference's frequency adjustment: the nearer of the two frequencies
// that fit a whole number of lattice cells into the tile.
double StitchFrequency(double frequency, double tileSize)
{
    if (frequency == 0.0)
        return frequency;
    const double low = std::floor(tileSize * frequency) / tileSize;
    const double high = std::ceil(tileSize * frequency) / tileSize;
    return frequency / low < high / frequency ? low : high;
}

long long ClampedStitchValue(double value)
{
    return static_cast<long long>(std::clamp(value, -kMaxStitchValue, kMaxStitchValue));
}

// Everything one evaluation needs besides the point.
struct TurbulenceSetup {
    const NoiseTables& tables;
    double frequencyX;
    double frequencyY;
    int octaves;
    bool fractalNoise;
    bool stitch;
    StitchInfo firstStitch;

    // The sums of the four channels at (x, y).
    void Evaluate(double x, double y, double (&sums)[kChannels]) const
    {
        StitchInfo info = firstStitch;
        double vx = x * frequencyX;
        double vy = y * frequencyY;
        double ratio = 1.0;
        double noise[kChannels];
        std::fill(std::begin(sums), std::end(sums), 0.0);
        for (int octave = 0; octave < octaves; ++octave) {
            Noise2(tables, vx, vy, stitch ? &info : nullptr, noise);
            for (int channel = 0; channel < kChannels; ++channel)
                sums[channel] += (fractalNoise ? noise[channel] : std::abs(noise[channel])) / ratio;
            vx *= 2;
            vy *= 2;
            ratio *= 2;
            if (stitch) {
                // Subtracting the offset before doubling and adding it back
                // after is subtracting it once.
                info.width *= 2;
                info.wrapX = 2 * info.wrapX - kPerlinOffset;
                info.height *= 2;
                info.wrapY = 2 * info.wrapY - kPerlinOffset;
            }
        }
    }
};

bool AllFinite(const TurbulenceParams& params)
{
    const Matrix& m = params.userToPixel;
    const double numbers[] = {params.baseFrequencyX, params.baseFrequencyY, params.seed, params.tileX, params.tileY,
                              params.tileWidth, params.tileHeight};
    const auto finite = [](double v) { return std::isfinite(v); };
    return m.IsFinite() && std::all_of(std::begin(numbers), std::end(numbers), finite);
}

TurbulenceSetup MakeSetup(const NoiseTables& tables, const TurbulenceParams& params)
{
    TurbulenceSetup setup{tables,
                          std::max(params.baseFrequencyX, 0.0),
                          std::max(params.baseFrequencyY, 0.0),
                          std::clamp(params.numOctaves, 0, limits::kMaxTurbulenceOctaves),
                          params.fractalNoise,
                          params.stitchTiles && params.tileWidth > 0.0 && params.tileHeight > 0.0,
                          {}};
    if (setup.stitch) {
        setup.frequencyX = StitchFrequency(setup.frequencyX, params.tileWidth);
        setup.frequencyY = StitchFrequency(setup.frequencyY, params.tileHeight);
        StitchInfo& info = setup.firstStitch;
        info.width = ClampedStitchValue(params.tileWidth * setup.frequencyX + 0.5);
        info.wrapX =
            ClampedStitchValue(params.tileX * setup.frequencyX + kPerlinOffset + static_cast<double>(info.width));
        info.height = ClampedStitchValue(params.tileHeight * setup.frequencyY + 0.5);
        info.wrapY =
            ClampedStitchValue(params.tileY * setup.frequencyY + kPerlinOffset + static_cast<double>(info.height));
    }
    return setup;
}

}  // namespace

std::unique_ptr<CRtBitmap> Turbulence(const TurbulenceParams& params, const PixelRect& outRect, const CStopToken& stop)
{
    const std::optional<Matrix> pixelToUser = params.userToPixel.Inverse();
    if (!AllFinite(params) || !pixelToUser)
        return nullptr;
    std::unique_ptr<CRtBitmap> out = CRtBitmap::Create(outRect, false);
    if (!out)
        return nullptr;
    const auto seed = static_cast<long>(std::clamp(std::trunc(params.seed), -kMaxStitchValue, kMaxStitchValue));
    const auto tables = std::make_unique<NoiseTables>(seed);
    const TurbulenceSetup setup = MakeSetup(*tables, params);
    const std::size_t work = out->PixelCount() * kChannels * static_cast<std::size_t>(std::max(setup.octaves, 1)) * 8;
    const unsigned threads = FilterThreadCount(params.threads, work);
    const bool completed = ParallelFor(outRect.height, threads, [&](int begin, int end) {
        for (int y = begin; y < end && !stop.StopRequested(); ++y) {
            std::uint32_t* target = out->Row(y);
            for (int x = 0; x < outRect.width; ++x) {
                const PointD user = pixelToUser->Apply({static_cast<double>(outRect.x + x),
                                                              static_cast<double>(outRect.y + y)});
                double sums[kChannels];
                setup.Evaluate(user.x, user.y, sums);
                float channels[kChannels];
                for (int channel = 0; channel < kChannels; ++channel)
                    channels[channel] = static_cast<float>(setup.fractalNoise ? (sums[channel] + 1.0) / 2.0
                                                                              : sums[channel]);
                target[x] = PackUnpremultiplied(channels[3], channels[0], channels[1], channels[2]);
            }
        }
    });
    if (!completed || stop.StopRequested())
        return nullptr;
    return out;
}

}  // namespace svg
