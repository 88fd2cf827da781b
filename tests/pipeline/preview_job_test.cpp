// The part view's rendering thread: hand-over of the newest result only,
// cancelling, and joining before the tree goes.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "pipeline/preview_job.h"
#include "test_support.h"

namespace svg {
namespace {

// Collects the generations whose drawings have ended.
class Endings {
public:
    CPreviewJob::Completion Callback()
    {
        return [this](std::uint64_t generation) {
            const std::lock_guard lock(mutex_);
            ended_.insert(generation);
            changed_.notify_all();
        };
    }
    void WaitFor(std::uint64_t generation)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_.count(generation) > 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::uint64_t> ended_;
};

std::string ManyShapes(int count)
{
    std::string body = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'><g id='big'>";
    for (int i = 0; i < count; ++i)
        body += "<circle cx='" + std::to_string(i % 100) + "' cy='50' r='30' fill='none' stroke='red' "
                "stroke-dasharray='0.5 0.25'/>";
    return body + "</g><rect id='small' x='1' y='2' width='3' height='4'/></svg>";
}

class PreviewJobTest : public vexo_test::LoadTest {};

TEST_F(PreviewJobTest, OnlyTheNewestDrawingIsHandedOver)
{
    ASSERT_NE(LoadText(ManyShapes(20)), nullptr);
    CPreviewJob job;
    Endings endings;
    const std::uint64_t first = job.Start(*Find("#big"), false, endings.Callback());
    const std::uint64_t second = job.Start(*Find("#small"), false, endings.Callback());
    EXPECT_GT(second, first);
    endings.WaitFor(first);
    endings.WaitFor(second);
    EXPECT_EQ(job.Take(first), nullptr);
    std::unique_ptr<PreviewResult> result = job.Take(second);
    ASSERT_NE(result, nullptr);
    ASSERT_TRUE(result->recording.has_value());
    EXPECT_EQ(result->recording->extent, (RectF{1, 2, 3, 4}));
    EXPECT_EQ(job.Take(second), nullptr);  // taken once
    EXPECT_FALSE(job.Running());
}

TEST_F(PreviewJobTest, ACancelledDrawingEndsWithoutResult)
{
    ASSERT_NE(LoadText(ManyShapes(3000)), nullptr);
    CPreviewJob job;
    Endings endings;
    std::atomic<int> finished{0};
    const std::uint64_t generation =
        job.Start(*Find("#big"), false, endings.Callback(),
                  [&finished](const PreviewResult&, const CStopToken&) { ++finished; });
    job.Cancel();
    endings.WaitFor(generation);
    EXPECT_FALSE(job.Running());
    EXPECT_EQ(job.Take(generation), nullptr);
    EXPECT_EQ(finished, 0);  // a stopped drawing is not finished for the caller
}

TEST_F(PreviewJobTest, TheCallersFinishingWorkRunsOnTheDrawingsThreadBeforeTheHandOver)
{
    ASSERT_NE(LoadText(ManyShapes(20)), nullptr);
    CPreviewJob job;
    Endings endings;
    std::thread::id finishedOn;
    std::optional<RectF> extent;
    const std::uint64_t generation =
        job.Start(*Find("#small"), false, endings.Callback(), [&](const PreviewResult& result, const CStopToken&) {
            finishedOn = std::this_thread::get_id();
            extent = result.recording ? std::optional(result.recording->extent) : std::nullopt;
        });
    endings.WaitFor(generation);
    EXPECT_NE(finishedOn, std::thread::id());
    EXPECT_NE(finishedOn, std::this_thread::get_id());
    EXPECT_EQ(extent, (RectF{1, 2, 3, 4}));
    EXPECT_NE(job.Take(generation), nullptr);
}

TEST_F(PreviewJobTest, StopAndJoinLetsTheTreeGo)
{
    ASSERT_NE(LoadText(ManyShapes(3000)), nullptr);
    {
        CPreviewJob job;
        for (int i = 0; i < 10; ++i)
            job.Start(*Find(i % 2 == 0 ? "#big" : "#small"), i % 3 == 0);
        job.StopAndJoin();
        EXPECT_FALSE(job.Running());
        // The tree may go now: no drawing reads it any more.
        NewLoad();
        job.StopAndJoin();
    }
}

TEST_F(PreviewJobTest, ElementsWithoutFrameGiveAnEmptyResult)
{
    ASSERT_NE(LoadText("<svg xmlns='http://www.w3.org/2000/svg'><filter id='f'><feFlood id='flood'/></filter></svg>"),
              nullptr);
    CPreviewJob job;
    Endings endings;
    const std::uint64_t generation = job.Start(*Find("#flood"), false, endings.Callback());
    endings.WaitFor(generation);
    std::unique_ptr<PreviewResult> result = job.Take(generation);
    ASSERT_NE(result, nullptr);
    EXPECT_FALSE(result->recording.has_value());
    EXPECT_FALSE(result->images.has_value());  // until the filter pipeline keeps them
}

}  // namespace
}  // namespace svg
