// Loads a small document, records it with RecordDocument and replays the
// picture into an image, for tests that check pixels. A document is written
// as its body only: it becomes the content of an svg root, 100 x 100 unless
// other root attributes are given.
#pragma once

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <string>

#include "model/document.h"
#include "render/render.h"
#include "test_support.h"

namespace vexo_test {

class PictureProbe : public LoadTest {
protected:
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
    // times larger into a (100 x replayScale) square image.
    void Paint(double recordScale = 1, double replayScale = 1)
    {
        ASSERT_NE(document_, nullptr);
        const auto picture = Current().Record(recordScale);
        ASSERT_NE(picture, nullptr);
        const int size = static_cast<int>(100 * replayScale);
        if (surface_ != nullptr)
            cairo_surface_destroy(surface_);
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
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
    std::uint32_t Argb(int x, int y) const
    {
        const unsigned char* row =
            cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        return reinterpret_cast<const std::uint32_t*>(row)[x];
    }
    // Straight colour of the pixel whose centre is (x + 0.5, y + 0.5).
    svg::Rgba Pixel(int x, int y) const
    {
        const std::uint32_t pixel = Argb(x, y);
        const auto a = static_cast<std::uint8_t>(pixel >> 24);
        auto unpremultiply = [a](std::uint32_t c) {
            return static_cast<std::uint8_t>(a == 0 ? 0 : ((c & 0xFF) * 255 + a / 2) / a);
        };
        return {unpremultiply(pixel >> 16), unpremultiply(pixel >> 8), unpremultiply(pixel), a};
    }
    int Alpha(int x, int y) const { return static_cast<int>(Argb(x, y) >> 24); }
    bool Opaque(int x, int y) const { return Alpha(x, y) == 255; }
    bool Empty(int x, int y) const { return Argb(x, y) == 0; }

    svg::CElemDocument* document_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace vexo_test
