#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <zlib.h>

#include "model/references.h"

namespace vexo_test {
namespace fs = std::filesystem;

namespace {
struct ScratchDir {
    fs::path path;
    ScratchDir()
    {
        std::string pattern = (fs::temp_directory_path() / "vexo-test-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data()))
            path = made;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

ScratchDir& Scratch()
{
    static ScratchDir dir;
    return dir;
}
}  // namespace

std::string DataPath(const std::string& relative)
{
    return std::string(VEXO_TEST_DATA_DIR) + "/" + relative;
}

std::string TempDirectory() { return Scratch().path.string(); }

std::string WriteTempFile(const std::string& name, const std::string& content)
{
    const fs::path path = Scratch().path / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path.string();
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Gzip(const std::string& data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

const svg::CElem* HitTestAt(const svg::CElem& elem, double x, double y)
{
    svg::CRenderPass pass(nullptr, svg::CStopToken::Never());
    return svg::HitTest(elem, x, y, pass);
}

bool HasLine(const svg::CMessageLog& log, const std::string& line) { return CountLines(log, line) > 0; }

bool HasLinePrefix(const svg::CMessageLog& log, const std::string& prefix)
{
    for (const std::string& message : log.EntriesFrom(0))
        if (message.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

int CountLines(const svg::CMessageLog& log, const std::string& line)
{
    const std::vector<std::string> messages = log.EntriesFrom(0);
    return static_cast<int>(std::count(messages.begin(), messages.end(), line));
}

void ExpectHits(const svg::CElem& root, std::initializer_list<HitProbe> probes)
{
    for (const HitProbe& probe : probes) {
        const svg::CElem* hit = HitTestAt(root, probe.x, probe.y);
        EXPECT_EQ(hit != nullptr ? hit->IdAttribute() : "(nothing)", probe.hitId.empty() ? "(nothing)" : probe.hitId)
            << "at (" << probe.x << ", " << probe.y << ")";
    }
}

TestLoad::TestLoad(svg::CDocOptions options)
    : load_(std::make_unique<svg::CDocumentLoad>(log_, stop_, std::move(options)))
{
}

svg::CElemDocument* TestLoad::LoadFile(const std::string& path, const std::string& baseDirectory)
{
    return load_->LoadReferencedDocument(path, baseDirectory, nullptr);
}

svg::CElemDocument* TestLoad::LoadText(const std::string& text, const std::string& fullPath,
                                       const std::string& shownName)
{
    return load_->LoadBytes(text, fullPath, shownName);
}

std::unique_ptr<svg::CPicture> TestLoad::Record(double deviceScale) { return load_->Record(deviceScale); }

svg::CElem* TestLoad::Find(const std::string& reference)
{
    svg::CElemDocument* main = load_->Main();
    return main != nullptr ? svg::FindReference(*main, reference, load_->Context()) : nullptr;
}

void TestLoad::ExpectMessagesInclude(const std::vector<std::string>& expected) const
{
    for (const std::string& line : expected)
        EXPECT_TRUE(HasMessage(line)) << "no message \"" << line << "\"";
}

svg::CElem* LoadTest::FindIn(const svg::CElem& from, const std::string& reference)
{
    return svg::FindReference(from, reference, Current().Context());
}

TestLoad& LoadTest::Current()
{
    if (!load_)
        load_ = std::make_unique<TestLoad>(options);
    return *load_;
}

}  // namespace vexo_test
