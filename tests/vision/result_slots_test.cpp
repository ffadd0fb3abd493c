#include <thread>

#include <gtest/gtest.h>

#include "vision/result_slots.h"

namespace smt {
namespace {

TEST(VisionResultSlots, PublishSignalsTakeClearsAndSlotsOutsideTheNineAreIgnored)
{
    VisionResultSlots slots;
    slots.Publish(-1, cv::Mat(1, 1, CV_8UC1));
    slots.Publish(kVisionResultSlotCount, cv::Mat(1, 1, CV_8UC1));
    EXPECT_EQ(slots.ResultEvent().Wait(plat::Millis(0)), plat::WaitResult::TimedOut);
    EXPECT_FALSE(slots.IsReady(-1));
    EXPECT_TRUE(slots.Latest(12).empty());
    slots.Publish(2, cv::Mat(4, 5, CV_8UC3, cv::Scalar::all(7)));
    EXPECT_TRUE(slots.IsReady(2));
    EXPECT_FALSE(slots.IsReady(1));
    EXPECT_EQ(slots.ResultEvent().Wait(plat::Millis(0)), plat::WaitResult::Signalled);
    EXPECT_EQ(slots.ResultEvent().Wait(plat::Millis(0)), plat::WaitResult::TimedOut); // auto-reset
    cv::Mat image;
    ASSERT_TRUE(slots.TakeReady(2, image));
    EXPECT_EQ(image.size(), cv::Size(5, 4));
    EXPECT_FALSE(slots.TakeReady(2, image)); // shown once
    EXPECT_FALSE(slots.TakeReady(9, image));
    EXPECT_EQ(slots.Latest(2).size(), cv::Size(5, 4)); // still there for the extended display
}

TEST(VisionResultSlots, ADisplayThreadSeesEveryPublishedSlot)
{
    VisionResultSlots slots;
    std::atomic<int> seen{0};
    std::thread display([&] {
        while (seen < 8) {
            if (slots.ResultEvent().Wait(plat::Millis(2000)) != plat::WaitResult::Signalled) break;
            cv::Mat image;
            for (int s = 1; s <= 8; ++s)
                if (slots.TakeReady(s, image)) ++seen;
        }
    });
    for (int s = 1; s <= 8; ++s) slots.Publish(s, cv::Mat(2, 2, CV_8UC1, cv::Scalar(s)));
    display.join();
    EXPECT_EQ(seen, 8);
}

} // namespace
} // namespace smt
