#include <gtest/gtest.h>

#include <thread>

#include "model/message_log.h"
#include "test_support.h"

using svg::GetMessageSummary;
using svg::MessageLog;
using svg::ReportMessage;

class MessageLogTest : public ::testing::Test {
protected:
    void SetUp() override { vexo_test::ResetGlobalState(); }
};

TEST_F(MessageLogTest, DebugLinesAreDiscardedWhateverTheirArguments)
{
    ReportMessage("D Loading XML %s", "ignored");
    EXPECT_EQ(MessageLog::Instance().Count(), 0u);
    EXPECT_EQ(MessageLog::Instance().LogText(), "");
    EXPECT_EQ(GetMessageSummary(), "No Errors");
}

TEST_F(MessageLogTest, InformationIsStoredButNotCounted)
{
    ReportMessage("I Opening file %s", "a.svg");
    EXPECT_EQ(MessageLog::Instance().Count(), 1u);
    EXPECT_EQ(MessageLog::Instance().Entry(0), "I Opening file a.svg");
    EXPECT_EQ(GetMessageSummary(), "No Errors");
}

TEST_F(MessageLogTest, SummaryListsOnlyNonZeroCountsInOrder)
{
    ReportMessage("W one");
    ReportMessage("E %s", "two");
    ReportMessage("E three");
    EXPECT_EQ(GetMessageSummary(), "2 Errors.  1 Warnings.  ");

    MessageLog::Instance().Reset();
    ReportMessage("F %s :Root element is NOT SVG", "/x.svg");
    EXPECT_EQ(GetMessageSummary(), "1 Fatal Errors.  ");
    const svg::MessageCounts counts = MessageLog::Instance().Counts();
    EXPECT_EQ(counts.fatal, 1);
    EXPECT_EQ(counts.errors, 0);
}

TEST_F(MessageLogTest, LinesEndingInLineFeedGetNoSecondBreak)
{
    ReportMessage("E 1(2) : reason\r\n");
    ReportMessage("W plain");
    EXPECT_EQ(MessageLog::Instance().LogText(), "E 1(2) : reason\r\nW plain\r\n");
}

TEST_F(MessageLogTest, LocatedMessageFormat)
{
    ReportMessage("E %s width=\"%s\": must be positive value at %d(%d)", "rect", "-5", 12, 5);
    EXPECT_TRUE(vexo_test::HasMessage("E rect width=\"-5\": must be positive value at 12(5)"));
}

TEST_F(MessageLogTest, ConcurrentWritersAndAReaderSeeEveryLine)
{
    std::thread writer([] {
        for (int i = 0; i < 2000; ++i)
            ReportMessage("W from writer %d", i);
    });
    std::size_t seen = 0;
    while (seen < 2000)
        seen += MessageLog::Instance().EntriesFrom(seen).size();
    writer.join();
    EXPECT_EQ(MessageLog::Instance().Counts().warnings, 2000);
}
