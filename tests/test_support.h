// Helpers shared by the tests: fixture paths, scratch files, loads that a
// test drives with a message log of its own, and checks that take a list of
// cases (messages, hits, resolved properties) and name the case that fails.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/stop_token.h"
#include "model/message_log.h"
#include "pipeline/document_load.h"

namespace vexo_test {

// Absolute path of a file under tests/.
std::string DataPath(const std::string& relative);

// A file in a fresh scratch directory, removed with the directory at exit.
std::string WriteTempFile(const std::string& name, const std::string& content);
std::string TempDirectory();

std::string ReadFile(const std::string& path);

// `data` compressed as a gzip stream, as in .svgz files.
std::string Gzip(const std::string& data);

// What a click at (x, y), in the parent's user space of `elem`, hits.
const svg::CElem* HitTestAt(const svg::CElem& elem, double x, double y);

// Whether `log` holds a message equal to `line` / starting with `prefix`,
// and how many equal to `line`.
bool HasLine(const svg::CMessageLog& log, const std::string& line);
bool HasLinePrefix(const svg::CMessageLog& log, const std::string& prefix);
int CountLines(const svg::CMessageLog& log, const std::string& line);

// A click at (x, y) should hit the element of id `hitId`, or nothing when it is empty.
struct HitProbe {
    double x;
    double y;
    std::string hitId;
};
// Checks each probe against HitTestAt(root, x, y).
void ExpectHits(const svg::CElem& root, std::initializer_list<HitProbe> probes);

// Expects `actual` to hold exactly the lines of `expected`, in any order.
inline void ExpectSameLines(std::vector<std::string> actual, std::vector<std::string> expected)
{
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);
}

// One load a test drives: its log, its stop token and the load itself.
class TestLoad {
public:
    explicit TestLoad(svg::CDocOptions options = {});

    // A document from a file, relative to `baseDirectory` (or the current
    // directory), into this load.
    svg::CElemDocument* LoadFile(const std::string& path, const std::string& baseDirectory = {});
    // A document from text, named `fullPath` (whose directory resolves its
    // relative references) and shown as `shownName` in messages.
    svg::CElemDocument* LoadText(const std::string& text, const std::string& fullPath = "/nonexistent/test.svg",
                                 const std::string& shownName = "test.svg");
    // The main document's picture.
    std::unique_ptr<svg::CPicture> Record(double deviceScale = 1);

    // The element `reference` ("#id", "file#id") names from the main document.
    svg::CElem* Find(const std::string& reference);

    std::vector<std::string> Messages() const { return log_.EntriesFrom(0); }
    // True when some message equals `line` exactly / starts with `prefix`.
    bool HasMessage(const std::string& line) const { return HasLine(log_, line); }
    bool HasMessagePrefix(const std::string& prefix) const { return HasLinePrefix(log_, prefix); }
    int CountMessages(const std::string& line) const { return CountLines(log_, line); }
    // Expects exactly these messages, in any order.
    void ExpectMessages(std::vector<std::string> expected) const { ExpectSameLines(Messages(), std::move(expected)); }
    // Expects each of these messages, among others perhaps.
    void ExpectMessagesInclude(const std::vector<std::string>& expected) const;
    std::string Summary() const { return log_.Summary(); }

    svg::CMessageLog& Log() { return log_; }
    svg::CStopToken& Stop() { return stop_; }
    svg::CDocumentLoad& Load() { return *load_; }
    svg::CLoadContext& Context() { return load_->Context(); }

private:
    svg::CMessageLog log_;
    svg::CStopToken stop_;
    std::unique_ptr<svg::CDocumentLoad> load_;
};

// A test with one load at a time, made with `options` when first used.
class LoadTest : public ::testing::Test {
protected:
    // The current load; a new one after NewLoad().
    TestLoad& Current();
    // Forgets the current load (and its documents); the next use makes a new one.
    void NewLoad() { load_.reset(); }

    svg::CElemDocument* LoadDocument(const std::string& path, const std::string& baseDirectory = {})
    {
        return Current().LoadFile(path, baseDirectory);
    }
    svg::CElemDocument* LoadText(const std::string& text, const std::string& fullPath = "/nonexistent/test.svg",
                                 const std::string& shownName = "test.svg")
    {
        return Current().LoadText(text, fullPath, shownName);
    }
    svg::CElem* Find(const std::string& reference) { return Current().Find(reference); }
    // Expects the resolved `field` of each element, named by id, to hold its value.
    template <class T>
    void ExpectProps(T svg::ResolvedProperties::*field, std::initializer_list<std::pair<const char*, T>> cases)
    {
        for (const auto& [id, value] : cases) {
            const svg::CElem* elem = Find(std::string("#") + id);
            ASSERT_NE(elem, nullptr) << id;
            if constexpr (std::is_floating_point_v<T>)
                EXPECT_FLOAT_EQ(elem->props.*field, value) << id;
            else
                EXPECT_EQ(elem->props.*field, value) << id;
        }
    }
    // The element `reference` names from `from`, which may be in any document of the load.
    svg::CElem* FindIn(const svg::CElem& from, const std::string& reference);
    std::vector<std::string> Messages() { return Current().Messages(); }
    bool HasMessage(const std::string& line) { return Current().HasMessage(line); }
    bool HasMessagePrefix(const std::string& prefix) { return Current().HasMessagePrefix(prefix); }
    int CountMessages(const std::string& line) { return Current().CountMessages(line); }
    // Expects each of these messages exactly once: a fault met again is reported once.
    void ExpectMessagesOnce(const std::vector<std::string>& expected)
    {
        for (const std::string& line : expected)
            EXPECT_EQ(CountMessages(line), 1) << line;
    }
    void ExpectMessages(std::vector<std::string> expected) { Current().ExpectMessages(std::move(expected)); }
    void ExpectMessagesInclude(const std::vector<std::string>& expected) { Current().ExpectMessagesInclude(expected); }
    std::string Summary() { return Current().Summary(); }

    svg::CDocOptions options;

private:
    std::unique_ptr<TestLoad> load_;
};

}  // namespace vexo_test
