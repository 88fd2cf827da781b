// Every output format written and read back: the raster formats decoded
// again (size and probed pixels), the vector formats' page size read from
// their text.
#include <webp/decode.h>

#include <regex>

#include "picture_probe.h"
#include "render/image_decode.h"
#include "render/output.h"

namespace svg {
namespace {

using vexo_test::StraightPixel;

TEST(OutputFormatTest, FormatFollowsTheExtensionInAnyCase)
{
    const std::pair<const char*, std::optional<OutputFormat>> cases[] = {
        {"a.png", OutputFormat::Png},        {"dir/A.PNG", OutputFormat::Png},   {"a.Pdf", OutputFormat::Pdf},
        {"a.svg", OutputFormat::Svg},        {"a.ps", OutputFormat::Ps},         {"a.EPS", OutputFormat::Eps},
        {"a.jpg", OutputFormat::Jpeg},       {"a.JPEG", OutputFormat::Jpeg},     {"a.tif", OutputFormat::Tiff},
        {"a.tiff", OutputFormat::Tiff},      {"a.gif", OutputFormat::Gif},       {"a.bmp", OutputFormat::Bmp},
        {"a.WebP", OutputFormat::Webp},      {"a.svg.png", OutputFormat::Png},   {"a.emf", std::nullopt},
        {"png", std::nullopt},               {"dir.png/file", std::nullopt},     {"a.", std::nullopt},
    };
    for (const auto& [path, format] : cases)
        EXPECT_EQ(FormatFromPath(path), format) << path;
    EXPECT_EQ(FormatFromName("TIFF"), OutputFormat::Tiff);
    EXPECT_FALSE(FormatFromName(".png"));
    for (OutputFormat format : {OutputFormat::Png, OutputFormat::Jpeg, OutputFormat::Tiff, OutputFormat::Webp,
                                OutputFormat::Pdf, OutputFormat::Eps}) {
        EXPECT_EQ(FormatFromName(FormatExtension(format)), format) << FormatExtension(format);
    }
    EXPECT_TRUE(IsRasterFormat(OutputFormat::Gif));
    EXPECT_FALSE(IsRasterFormat(OutputFormat::Ps));
}

class OutputTest : public vexo_test::PictureProbe {
protected:
    // A 40 x 20 picture: its left half red, its right half empty.
    void SetUp() override
    {
        ASSERT_NE(Load("<rect width='20' height='20' fill='red'/>", {}, "width='40' height='20'"), nullptr);
        picture_ = Current().Record();
        ASSERT_NE(picture_, nullptr);
    }

    std::string Write(OutputFormat format)
    {
        const OutputSize size = ComputeOutputSize(picture_->Frame(), std::nullopt, std::nullopt, 1);
        std::string bytes;
        std::string error;
        EXPECT_TRUE(WritePictureToBytes(*picture_, format, size, std::nullopt, bytes, error))
            << FormatExtension(format) << ": " << error;
        return bytes;
    }

    std::unique_ptr<CPicture> picture_;
};

struct RasterCase {
    OutputFormat format;
    // What the empty half becomes: transparent, or white where the format has no alpha.
    Rgba empty;
    int tolerance;
};

TEST_F(OutputTest, RasterFormatsReadBackWithTheirPixels)
{
    constexpr Rgba kTransparent{0, 0, 0, 0};
    constexpr Rgba kWhite{255, 255, 255, 255};
    const RasterCase cases[] = {
        {OutputFormat::Png, kTransparent, 0}, {OutputFormat::Tiff, kTransparent, 0},
        {OutputFormat::Gif, kTransparent, 0}, {OutputFormat::Bmp, kWhite, 0},
        {OutputFormat::Jpeg, kWhite, 12},
    };
    for (const RasterCase& c : cases) {
        SCOPED_TRACE(FormatExtension(c.format));
        const std::string bytes = Write(c.format);
        const std::shared_ptr<const CRasterImage> image = DecodeRasterImage(bytes);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Width(), 40);
        EXPECT_EQ(image->Height(), 20);
        const Rgba red = StraightPixel(image->Surface(), 5, 10);
        const Rgba empty = StraightPixel(image->Surface(), 35, 10);
        EXPECT_NEAR(red.r, 255, c.tolerance);
        EXPECT_NEAR(red.g, 0, c.tolerance);
        EXPECT_NEAR(red.b, 0, c.tolerance);
        EXPECT_EQ(red.a, 255);
        EXPECT_NEAR(empty.r, c.empty.r, c.tolerance);
        EXPECT_NEAR(empty.g, c.empty.g, c.tolerance);
        EXPECT_EQ(empty.a, c.empty.a);
    }
}

TEST_F(OutputTest, WebpIsLosslessWithAlpha)
{
    const std::string bytes = Write(OutputFormat::Webp);
    int width = 0;
    int height = 0;
    std::uint8_t* rgba = WebPDecodeRGBA(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &width,
                                        &height);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 20);
    auto at = [&](int x, int y) { return rgba + (std::size_t(y) * width + x) * 4; };
    EXPECT_EQ(std::vector<int>(at(5, 10), at(5, 10) + 4), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(at(35, 10)[3], 0);
    WebPFree(rgba);
}

TEST_F(OutputTest, VectorFormatsHaveThePictureSize)
{
    // 40 x 20 CSS pixels are 30 x 15 points.
    const std::pair<OutputFormat, const char*> cases[] = {
        {OutputFormat::Pdf, R"(/MediaBox \[ ?0 0 30 15 ?\])"},
        {OutputFormat::Ps, R"(%%DocumentMedia: \S+ 30 15 )"},
        // An EPS file's bounding box is what is drawn on it: the red half.
        {OutputFormat::Eps, R"(^%!PS-Adobe-3\.0 EPSF-3\.0[\s\S]*%%BoundingBox: 0 0 15 15)"},
        {OutputFormat::Svg, R"(<svg[^>]* width="40(px)?" height="20(px)?")"},
    };
    for (const auto& [format, pattern] : cases) {
        const std::string bytes = Write(format);
        EXPECT_TRUE(std::regex_search(bytes, std::regex(pattern))) << FormatExtension(format) << ":\n"
                                                                   << bytes.substr(0, 400);
    }
}

TEST_F(OutputTest, OneFileOfEveryFormat)
{
    for (const char* name : {"x.png", "x.pdf", "x.svg", "x.ps", "x.eps", "x.jpg", "x.tif", "x.gif", "x.bmp", "x.webp"}) {
        const std::string path = vexo_test::TempDirectory() + "/" + name;
        const OutputSize size = ComputeOutputSize(picture_->Frame(), std::nullopt, std::nullopt, 1);
        std::string error;
        ASSERT_TRUE(WritePicture(*picture_, path, *FormatFromPath(path), size, std::nullopt, error)) << name << error;
        EXPECT_GT(vexo_test::ReadFile(path).size(), 30u) << name;
    }
}

}  // namespace
}  // namespace svg
