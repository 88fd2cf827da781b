#include <gtest/gtest.h>

#include <thread>

#include "model/elem.h"
#include "model/message_log.h"
#include "model/messages.h"

using svg::CMessageLog;

TEST(MessageLog, DebugLinesAreDiscardedWhateverTheirArguments)
{
    CMessageLog log;
    log.Report("D Loading XML %s", "ignored");
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(log.LogText(), "");
    EXPECT_EQ(log.Summary(), "No Errors");
}

TEST(MessageLog, InformationIsStoredButNotCounted)
{
    CMessageLog log;
    log.Report(svg::msg::kOpeningFile, "a.svg");
    EXPECT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entry(0), "I Opening file a.svg");
    EXPECT_EQ(log.Summary(), "No Errors");
}

TEST(MessageLog, SummaryListsOnlyNonZeroCountsInOrder)
{
    CMessageLog log;
    log.Report("W one");
    log.Report("E %s", "two");
    log.Report("E three");
    EXPECT_EQ(log.Summary(), "2 Errors.  1 Warnings.  ");

    log.Reset();
    log.Report(svg::msg::kRootNotSvg, "/x.svg");
    EXPECT_EQ(log.Summary(), "1 Fatal Errors.  ");
    const svg::MessageCounts counts = log.Counts();
    EXPECT_EQ(counts.fatal, 1);
    EXPECT_EQ(counts.errors, 0);
}

TEST(MessageLog, LinesEndingInLineFeedGetNoSecondBreak)
{
    CMessageLog log;
    log.Report("E 1(2) : reason\r\n");
    log.Report("W plain");
    EXPECT_EQ(log.LogText(), "E 1(2) : reason\r\nW plain\r\n");
}

TEST(MessageLog, ElementMessagesCarryTheElementsLocation)
{
    CMessageLog log;
    svg::CElem rect("rect", nullptr);
    rect.line = 12;
    rect.column = 5;
    const std::string_view name = "width";
    log.Report(rect, svg::msg::kMustBePositive, "rect", static_cast<int>(name.size()), name.data(), "-5");
    EXPECT_EQ(log.Entry(0), "E rect width=\"-5\": must be positive value at 12(5)");
    log.Report(rect, "D %s", "discarded before it is formatted");
    EXPECT_EQ(log.Count(), 1u);
}

TEST(MessageLog, ConcurrentWritersAndAReaderSeeEveryLine)
{
    CMessageLog log;
    std::thread writer([&log] {
        for (int i = 0; i < 2000; ++i)
            log.Report("W from writer %d", i);
    });
    std::size_t seen = 0;
    while (seen < 2000)
        seen += log.EntriesFrom(seen).size();
    writer.join();
    EXPECT_EQ(log.Counts().warnings, 2000);
}
