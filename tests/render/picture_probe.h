// Loads a small document, records it with RecordDocument and replays the
// picture into an image, for tests that check pixels. A document is written
// as its body only: it becomes the content of an svg root, 100 x 100 unless
// other root attributes are given. Probes name pixels of the replayed image.
#pragma once

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>

#include "model/document.h"
#include "render/render.h"
#include "test_support.h"

namespace vexo_test {

// A document for a table of cases: its body and what the case is.
struct NamedDocument {
    const char* name;
    const char* body;
};

// The alpha a probed pixel may have, both ends included.
struct AlphaRange {
    int low = 0;
    int high = 255;
};

// One probe of a picture: the pixel whose centre is (x + 0.5, y + 0.5) holds
// exactly `color` (straight, alpha included), or else an alpha in `alpha`.
struct PixelProbe {
    PixelProbe(int atX, int atY, svg::Rgba expected) : x(atX), y(atY), color(expected) {}
    PixelProbe(int atX, int atY, AlphaRange expected) : x(atX), y(atY), alpha(expected) {}
    int x;
    int y;
    std::optional<svg::Rgba> color;
    AlphaRange alpha;
};

// The pixel of an ARGB32 image at (x, y): premultiplied 0xAARRGGBB, and
// as a straight colour.
inline std::uint32_t PremultipliedArgb(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}
inline svg::Rgba StraightPixel(cairo_surface_t* surface, int x, int y)
{
    const std::uint32_t pixel = PremultipliedArgb(surface, x, y);
    const auto a = static_cast<std::uint8_t>(pixel >> 24);
    auto unpremultiply = [a](std::uint32_t c) {
        return static_cast<std::uint8_t>(a == 0 ? 0 : ((c & 0xFF) * 255 + a / 2) / a);
    };
    return {unpremultiply(pixel >> 16), unpremultiply(pixel >> 8), unpremultiply(pixel), a};
}

// The largest difference of one channel between two ARGB32 images of the
// same size, and the pixels of one that hold anything.
inline int LargestChannelDifference(cairo_surface_t* a, cairo_surface_t* b)
{
    int largest = 0;
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x) {
            const std::uint32_t p = PremultipliedArgb(a, x, y);
            const std::uint32_t q = PremultipliedArgb(b, x, y);
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
        }
    return largest;
}
inline int InkedPixels(cairo_surface_t* image)
{
    int inked = 0;
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(image); ++x)
            inked += PremultipliedArgb(image, x, y) != 0;
    return inked;
}

class PictureProbe : public LoadTest {
protected:
    using AlphaRange = vexo_test::AlphaRange;
    // Nothing at all (every channel 0), and full alpha in any colour.
    static constexpr AlphaRange kEmpty{0, 0};
    static constexpr AlphaRange kOpaque{255, 255};
    static constexpr AlphaRange AlphaNear(int alpha, int tolerance) { return {alpha - tolerance, alpha + tolerance}; }
    static constexpr AlphaRange AlphaAbove(int alpha) { return {alpha + 1, 255}; }
    // Opaque colours as the keywords name them.
    static constexpr svg::Rgba kRed{255, 0, 0, 255};
    static constexpr svg::Rgba kGreen{0, 128, 0, 255};
    static constexpr svg::Rgba kLime{0, 255, 0, 255};
    static constexpr svg::Rgba kBlue{0, 0, 255, 255};

    void TearDown() override
    {
        if (surface_ != nullptr)
            cairo_surface_destroy(surface_);
    }

    // `rootAttributes` go on the root; an element written after "\n" in the
    // body starts at line 2. Each call is a load of its own.
    svg::CElemDocument* Load(const std::string& body, const svg::CDocOptions& loadOptions = {},
                             const std::string& rootAttributes = "width='100' height='100'")
    {
        const std::string text = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' " +
            rootAttributes + ">" + body + "</svg>";
        NewLoad();
        options = loadOptions;
        document_ = LoadText(text, "/nonexistent/probe.svg", "probe.svg");
        return document_;
    }

    // Records the document for `recordScale` and replays it `replayScale`
    // times larger into an image of the root's size (at least 100 x 100)
    // times `replayScale`.
    void Paint(double recordScale = 1, double replayScale = 1)
    {
        ASSERT_NE(document_, nullptr);
        const auto picture = Current().Record(recordScale);
        ASSERT_NE(picture, nullptr);
        auto side = [replayScale](float user) { return static_cast<int>(std::ceil(std::max(100.f, user) * replayScale)); };
        if (surface_ != nullptr)
            cairo_surface_destroy(surface_);
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side(document_->region.width),
                                              side(document_->region.height));
        cairo_t* cr = cairo_create(surface_);
        picture->Replay(cr, svg::Matrix::Scale(replayScale, replayScale));
        cairo_destroy(cr);
        cairo_surface_flush(surface_);
    }

    void LoadAndPaint(const std::string& body, const svg::CDocOptions& loadOptions = {})
    {
        Load(body, loadOptions);
        Paint();
    }

    // Premultiplied 0xAARRGGBB.
    std::uint32_t Argb(int x, int y) const { return PremultipliedArgb(surface_, x, y); }
    // Straight colour of the pixel whose centre is (x + 0.5, y + 0.5).
    svg::Rgba Pixel(int x, int y) const { return StraightPixel(surface_, x, y); }
    int Alpha(int x, int y) const { return static_cast<int>(Argb(x, y) >> 24); }
    bool Opaque(int x, int y) const { return Alpha(x, y) == 255; }
    bool Empty(int x, int y) const { return Argb(x, y) == 0; }

    // Checks every probe, naming the pixel of each one that fails.
    void ExpectPixels(std::initializer_list<PixelProbe> probes) const
    {
        for (const PixelProbe& probe : probes) {
            const svg::Rgba pixel = Pixel(probe.x, probe.y);
            const std::string where = "pixel (" + std::to_string(probe.x) + ", " + std::to_string(probe.y) + ")";
            if (probe.color) {
                EXPECT_EQ(pixel, *probe.color)
                    << where << " is " << Describe(pixel) << ", expected " << Describe(*probe.color);
            } else if (probe.alpha.high == 0) {
                EXPECT_TRUE(Empty(probe.x, probe.y)) << where << " is " << Describe(pixel) << ", expected empty";
            } else {
                EXPECT_TRUE(pixel.a >= probe.alpha.low && pixel.a <= probe.alpha.high)
                    << where << " has alpha " << int(pixel.a) << ", expected " << probe.alpha.low << ".."
                    << probe.alpha.high;
            }
        }
    }
    static std::string Describe(const svg::Rgba& c)
    {
        return "rgba(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ", " +
            std::to_string(c.a) + ")";
    }

    svg::CElemDocument* document_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace vexo_test
