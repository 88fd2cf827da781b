// GIF through giflib, read from memory: the first frame only, drawn onto the
// logical screen (transparent where the frame does not reach), with the
// transparent colour of the graphic control block that precedes it. Records
// are read one by one, so a file with thousands of frames costs no more than
// its first.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "render/codec_libraries.h"
#include "render/raster_writer.h"

namespace svg {
namespace {

struct GifSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(length, 0)), source->size - source->position);
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Reads extensions up to the first image descriptor; the transparent index
// of the last graphic control block met, or NO_TRANSPARENT_COLOR.
bool SkipToFirstImage(GifFileType* gif, int& transparentIndex)
{
    transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return false;
        if (record == IMAGE_DESC_RECORD_TYPE)
            return true;
        if (record != EXTENSION_RECORD_TYPE)
            return false;  // the trailer, or garbage, before any image
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        GraphicsControlBlock control;
        // A block starts with its length byte.
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] == 4 &&
            DGifExtensionToGCB(4, block + 1, &control) == GIF_OK)
            transparentIndex = control.TransparentColor;
        while (block != nullptr)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
    }
}

// The rows of the frame in the order the file stores them.
std::vector<int> FrameRowOrder(int height, bool interlaced)
{
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    constexpr int kStart[4] = {0, 4, 2, 1};
    constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
            order.push_back(y);
    return order;
}

}  // namespace

bool DecodeGif(std::string_view bytes, CRasterWriter& writer)
{
    GifSource source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    int error = 0;
    GifPtr gif(DGifOpen(&source, ReadFromMemory, &error));
    int transparentIndex = NO_TRANSPARENT_COLOR;
    if (!gif || !SkipToFirstImage(gif.get(), transparentIndex) || DGifGetImageDesc(gif.get()) == GIF_ERROR)
        return false;

    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colors = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colors == nullptr || frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        return false;
    // The logical screen, grown when the frame reaches beyond it.
    const std::uint64_t width = std::max<std::uint64_t>(gif->SWidth, std::uint64_t(frame.Left) + frame.Width);
    const std::uint64_t height = std::max<std::uint64_t>(gif->SHeight, std::uint64_t(frame.Top) + frame.Height);
    if (!writer.Begin(width, height))
        return false;

    std::vector<GifPixelType> indexes(static_cast<std::size_t>(frame.Width));
    // Transparent outside the frame.
    std::vector<unsigned char> rgba(static_cast<std::size_t>(writer.Width()) * 4, 0);
    for (int frameY : FrameRowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif.get(), indexes.data(), frame.Width) == GIF_ERROR)
            return false;
        for (int x = 0; x < frame.Width; ++x) {
            unsigned char* out = &rgba[static_cast<std::size_t>(frame.Left + x) * 4];
            const int index = indexes[static_cast<std::size_t>(x)];
            // An index beyond the colour table shows nothing rather than reading past it.
            if (index == transparentIndex || index >= colors->ColorCount) {
                std::memset(out, 0, 4);
                continue;
            }
            const GifColorType& color = colors->Colors[index];
            out[0] = color.Red;
            out[1] = color.Green;
            out[2] = color.Blue;
            out[3] = 255;
        }
        writer.PutRow(frame.Top + frameY, rgba.data(), RowLayout::Rgba);
    }
    return true;
}

}  // namespace svg
