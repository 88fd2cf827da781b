// The desktop thumbnailer, run the way a file manager runs it: the Exec line
// of vexo.thumbnailer with %i, %o and %s filled in. The PNG keeps the
// picture's aspect ratio with its longer side at the size asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <zlib.h>

#include "test_support.h"

namespace {

std::string ExecLine()
{
    std::ifstream file(std::string(VEXO_TEST_DATA_DIR) + "/../src/app/resources/vexo.thumbnailer");
    std::string line;
    while (std::getline(file, line))
        if (line.rfind("Exec=", 0) == 0)
            return line.substr(5);
    return {};
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The exit status of the thumbnailer for `input` into `output` at `size`.
int RunThumbnailer(const std::string& input, const std::string& output, int size)
{
    std::string command = ExecLine();
    // The file manager finds the program on PATH; here it is the one just built.
    if (command.rfind("vexo-render ", 0) != 0)
        return -1;
    command.replace(0, std::string("vexo-render").size(), VEXO_RENDER_PATH);
    ReplaceAll(command, "%i", "'" + input + "'");
    ReplaceAll(command, "%o", "'" + output + "'");
    ReplaceAll(command, "%s", std::to_string(size));
    const int raw = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Width and height from a PNG's IHDR; zeros for anything else.
std::pair<int, int> PngSize(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P' || header[12] != 'I')
        return {0, 0};
    const auto be32 = [&header](int at) {
        return int(header[at]) << 24 | int(header[at + 1]) << 16 | int(header[at + 2]) << 8 | int(header[at + 3]);
    };
    return {be32(16), be32(20)};
}

std::string Gzip(const std::string& text)
{
    std::string out(compressBound(uLong(text.size())) + 64, '\0');
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

TEST(Thumbnailer, PngKeepsTheAspectRatioAtTheRequestedSize)
{
    ASSERT_FALSE(ExecLine().empty());
    const struct {
        const char* name;
        const char* size;  // the root's width and height attributes
        bool compressed;
        int thumbnailSize;
        int width;
        int height;
    } kCases[] = {
        {"wide.svg", "width='200' height='100'", false, 128, 128, 64},
        {"tall.svg", "width='50' height='200'", false, 256, 64, 256},
        {"square.svg", "width='10mm' height='10mm'", false, 128, 128, 128},
        {"viewbox.svg", "viewBox='0 0 400 100'", false, 256, 256, 64},
        {"small.svgz", "width='200' height='100'", true, 64, 64, 32},
    };
    for (const auto& test : kCases) {
        const std::string svg = std::string("<svg xmlns='http://www.w3.org/2000/svg' ") + test.size +
                                "><circle cx='50%' cy='50%' r='40%' fill='teal'/></svg>";
        const std::string input =
            vexo_test::WriteTempFile(std::string("thumbnailer/") + test.name, test.compressed ? Gzip(svg) : svg);
        const std::string output = input + ".png";
        std::remove(output.c_str());
        EXPECT_EQ(RunThumbnailer(input, output, test.thumbnailSize), 0) << test.name;
        EXPECT_EQ(PngSize(output), std::make_pair(test.width, test.height)) << test.name;
    }
}

TEST(Thumbnailer, BrokenFileGivesNoThumbnailAndFails)
{
    const std::string input = vexo_test::WriteTempFile("thumbnailer/broken.svg", "<svg");
    const std::string output = input + ".png";
    std::remove(output.c_str());
    EXPECT_NE(RunThumbnailer(input, output, 128), 0);
    EXPECT_EQ(PngSize(output), std::make_pair(0, 0));
}
