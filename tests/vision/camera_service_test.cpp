// The camera service against the simulated cameras in this process: frame
// hand-off, the fly-frame ring, and bounded waits and teardown on a dead camera.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "cameras.h"
#include "platform/camera_sdk.h"
#include "test_support.h"
#include "vision/camera_service.h"

namespace smt::test {
namespace {

using namespace std::chrono_literals;

// Every frame is filled with its frame number, so frames can be told apart.
class NumberedScene : public sim::FrameSource {
public:
    cv::Mat Render(sim::CameraRole, int w, int h, int channels, std::uint64_t frameNo, bool) override {
        return cv::Mat(h, w, channels == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(static_cast<double>(frameNo % 200 + 1)));
    }
};

class CameraServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        set = std::make_unique<sim::CameraSet>(sim::CameraSet::DefaultSpecs(0), std::make_shared<NumberedScene>());
        plat::SetCameraBackend(set->Backend());
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = true;
        g_CurrentCamera = kVisionCamera2;  // no live view of the cameras under test
        service.hooks().message = [this](const std::string& t) { messages.push_back(t); };
        ASSERT_TRUE(service.InitCameras());
    }
    void TearDown() override {
        service.Shutdown();
        plat::SetCameraBackend(nullptr);
        g_HeadCount = 1;
        g_FlyFrameCount = 0;
    }
    std::unique_ptr<sim::CameraSet> set;
    CameraService service;
    std::vector<std::string> messages;
};

TEST_F(CameraServiceTest, HandOffServesEachRequestOnceAndHeldFramesStayValid) {
    EXPECT_TRUE(messages.empty());
    for (int c = 0; c < kSdkCameraCount; ++c) EXPECT_TRUE(service.IsCameraPresent(c));

    // No request: the running stream publishes nothing.
    service.FrameReady(kMarkCamera).Reset();
    EXPECT_EQ(service.FrameReady(kMarkCamera).Wait(200ms), plat::WaitResult::TimedOut);
    EXPECT_TRUE(service.TakeSlot(kMarkCamera).empty());

    const auto first = service.GrabFrame(kMarkCamera);
    ASSERT_TRUE(first);
    const int firstValue = first->at<cv::Vec3b>(0, 0)[0];
    const auto second = service.GrabFrame(kMarkCamera);
    ASSERT_TRUE(second);
    EXPECT_NE(second->at<cv::Vec3b>(0, 0)[0], firstValue);  // two distinct frames
    EXPECT_EQ(second->cols, 1280);
    // The slot was replaced; the first consumer's frame is untouched.
    EXPECT_EQ(first->at<cv::Vec3b>(0, 0)[0], firstValue);
    EXPECT_EQ(service.PendingRequests(kMarkCamera), 0);
    // Each frame was announced once: no stray signal is left behind.
    EXPECT_EQ(service.FrameReady(kMarkCamera).Wait(150ms), plat::WaitResult::TimedOut);

    // Two consumers of different cameras at once.
    std::optional<cv::Mat> a, b;
    std::thread t1([&] { a = service.GrabFrame(kVisionCamera1); });
    std::thread t2([&] { b = service.GrabFrame(kVisionCamera2); });
    t1.join();
    t2.join();
    EXPECT_TRUE(a && b);
}

TEST_F(CameraServiceTest, TriggeredVisionCameraFeedsTheFlyPassNotRequests) {
    std::atomic<int> measured{0};
    std::vector<int> nozzles;
    std::mutex m;
    service.hooks().flyMeasure = [&](int nozzle, const cv::Mat& f) {
        std::lock_guard lock(m);
        nozzles.push_back(nozzle);
        EXPECT_FALSE(f.empty());
        ++measured;
    };
    ASSERT_TRUE(service.SwitchToCamera(kVisionCamera1, 2));
    EXPECT_FALSE(service.GrabFrame(kVisionCamera1, 300ms));  // trigger mode 2 serves no request

    sim::SimCamera* cam = set->ByRole(sim::CameraRole::Vision1);
    // A trigger reaches only a playing device: the mode change pauses it a moment.
    for (int i = 0; i < 600 && !(cam->Playing() && cam->TriggerMode() == 2); ++i) std::this_thread::sleep_for(5ms);
    // A frame of the free-running mode may still be on its way on a loaded machine;
    // the passes count from here (as the run resets its count before each pass).
    std::this_thread::sleep_for(200ms);
    {
        std::lock_guard lock(m);
        nozzles.clear();
        measured = 0;
    }
    // Two passes of eight heads: 16 frames run the ring of 12 round.
    for (int pass = 0; pass < 2; ++pass) {
        g_HeadCount = 8;
        g_FlyFrameCount = 0;
        service.m_hFlyDoneEvent.Reset();
        for (int k = 0; k < 8; ++k) {
            // The device serves its newest frame: the next trigger waits until this
            // one's frame was taken, however slowly the machine renders (a trigger
            // that found the device busy is given again, as the next pass would).
            for (int attempt = 0; attempt < 4 && g_FlyFrameCount.load() <= k; ++attempt) {
                cam->Trigger();
                for (int i = 0; i < 100 && g_FlyFrameCount.load() <= k; ++i) std::this_thread::sleep_for(5ms);
            }
        }
        ASSERT_EQ(service.m_hFlyDoneEvent.Wait(3s), plat::WaitResult::Signalled) << "pass " << pass;
        // A stray trigger beyond the heads neither measures nor signals again.
        cam->Trigger();
        std::this_thread::sleep_for(150ms);
        EXPECT_EQ(service.m_hFlyDoneEvent.Wait(50ms), plat::WaitResult::TimedOut);
    }
    std::lock_guard lock(m);
    EXPECT_EQ(measured.load(), 16);
    EXPECT_EQ(nozzles, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}));
}

// A flying pass right after the switch to trigger mode: its one trigger gives its
// frame, also when the grab thread's wait began in the free-running mode.
TEST_F(CameraServiceTest, OneTriggerRightAfterTheSwitchGivesTheFlyFrame) {
    service.hooks().flyMeasure = [](int, const cv::Mat&) {};
    sim::SimCamera* cam = set->ByRole(sim::CameraRole::Vision1);
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(service.SwitchToCamera(kVisionCamera1, 0));
        std::this_thread::sleep_for(60ms);  // the grab thread is waiting for a free-running frame
        g_HeadCount = 1;
        g_FlyFrameCount = 0;
        service.m_hFlyDoneEvent.Reset();
        ASSERT_TRUE(service.SetTriggerMode(kVisionCamera1, 2));
        cam->Trigger();
        ASSERT_EQ(service.m_hFlyDoneEvent.Wait(3s), plat::WaitResult::Signalled) << "round " << round;
    }
}

// Vision camera 1 renders slowly and its live view is slow to show a frame, as on
// a loaded machine: a frame of the free-running stream is nearly always on its
// way when the mode changes, and the grab thread often between two waits.
class SlowVisionScene : public NumberedScene {
public:
    cv::Mat Render(sim::CameraRole role, int w, int h, int channels, std::uint64_t frameNo, bool triggered) override {
        if (role == sim::CameraRole::Vision1) std::this_thread::sleep_for(45ms);
        return NumberedScene::Render(role, w, h, channels, frameNo, triggered);
    }
};

TEST(CameraServiceUnderLoad, FirstFlyFrameAfterTheSwitchIsATriggeredOne) {
    sim::CameraSet set(sim::CameraSet::DefaultSpecs(0), std::make_shared<SlowVisionScene>());
    sim::SimCamera* cam = set.ByRole(sim::CameraRole::Vision1);
    // The values of the frames the trigger input took (the scene's frame numbers).
    std::mutex m;
    std::set<int> triggeredValues;
    std::vector<int> flyValues;
    sim::SimCamera::Listener listener;
    listener.frame = [&](const plat::CameraFrame& f) {
        std::lock_guard lock(m);
        if (f.triggered) triggeredValues.insert(static_cast<int>(f.seq % 200 + 1));
    };
    cam->SetListener(listener);
    plat::SetCameraBackend(set.Backend());
    g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = true;

    CameraService service;
    std::atomic<int> liveFrames{0};
    // The live view of vision camera 1 keeps its grab thread busy between waits.
    const int shownCamera = g_CurrentCamera.exchange(kVisionCamera1);
    service.hooks().liveFrame = [&](int, const cv::Mat&) {
        std::this_thread::sleep_for(20ms);
        ++liveFrames;
    };
    service.hooks().flyMeasure = [&](int, const cv::Mat& f) {
        std::lock_guard lock(m);
        flyValues.push_back(f.at<cv::Vec3b>(0, 0)[0]);
    };
    service.hooks().message = [](const std::string&) {};
    ASSERT_TRUE(service.InitCameras());
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(service.SetTriggerMode(kVisionCamera1, 0));
        const int live = liveFrames.load();
        ASSERT_TRUE(WaitUntil([&] { return liveFrames.load() >= live + 2; }, 5s)) << round;  // free-running again
        {
            std::lock_guard lock(m);
            flyValues.clear();
        }
        g_HeadCount = 1;
        g_FlyFrameCount = 0;
        ASSERT_TRUE(service.SetTriggerMode(kVisionCamera1, 2));
        for (int attempt = 0; attempt < 8 && g_FlyFrameCount.load() == 0; ++attempt) {
            cam->Trigger();
            WaitUntil([] { return g_FlyFrameCount.load() > 0; }, 500ms);
        }
        ASSERT_EQ(g_FlyFrameCount.load(), 1) << round;
        std::lock_guard lock(m);
        ASSERT_EQ(flyValues.size(), 1u) << round;
        EXPECT_TRUE(triggeredValues.count(flyValues[0])) << "round " << round << ": fly frame " << flyValues[0]
                                                         << " was not taken by the trigger";
    }
    service.Shutdown();
    cam->SetListener({});
    plat::SetCameraBackend(nullptr);
    g_HeadCount = 1;
    g_FlyFrameCount = 0;
    g_CurrentCamera = shownCamera;
}

TEST_F(CameraServiceTest, DisconnectedCameraGivesNoFrameWithinTheBoundAndTeardownJoins) {
    set->ByRole(sim::CameraRole::Mark)->SetDisconnected(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(service.GrabFrame(kMarkCamera, 500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(service.PendingRequests(kMarkCamera), 0);  // the unserved request was taken back

    const auto stop = std::chrono::steady_clock::now();
    service.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 2s);
}

// A camera whose frames stop is stale once the frame bound has passed since its
// last frame (or its last request to play), and fresh again with its next frame;
// vision camera 1 waiting for triggers is never stale.
TEST_F(CameraServiceTest, APictureThatStandsStillIsStaleUntilFramesComeAgain) {
    EXPECT_FALSE(service.PictureStale(kMarkCamera));
    sim::SimCamera* mark = set->ByRole(sim::CameraRole::Mark);
    mark->SetDisconnected(true);
    EXPECT_TRUE(WaitUntil([this] { return service.PictureStale(kMarkCamera); }, 6s));
    EXPECT_FALSE(service.GrabFrame(kMarkCamera, 300ms));
    mark->SetDisconnected(false);
    EXPECT_TRUE(WaitUntil([this] { return !service.PictureStale(kMarkCamera); }, 6s));
    EXPECT_TRUE(service.GrabFrame(kMarkCamera));

    ASSERT_TRUE(service.SetTriggerMode(kVisionCamera1, 2));
    std::this_thread::sleep_for(kFrameWaitLimit + 300ms);
    EXPECT_FALSE(service.PictureStale(kVisionCamera1));
    service.SetTriggerMode(kVisionCamera1, 0);
}

TEST(CameraServiceStart, NoDeviceAndNameMismatchAreReported) {
    std::vector<sim::CameraSpec> specs = {{"Other_Camera"}};
    sim::CameraSet set(specs);
    CameraService service;
    std::vector<std::string> messages;
    service.hooks().message = [&](const std::string& t) { messages.push_back(t); };
    plat::SetCameraBackend(set.Backend());
    service.InitCameras();
    EXPECT_EQ(messages, std::vector<std::string>{"Camera name mismatch"});
    EXPECT_FALSE(service.IsCameraPresent(kMarkCamera));
    EXPECT_FALSE(service.PlayCamera(kMarkCamera));
    EXPECT_FALSE(service.SwitchToCamera(kMarkCamera, -1));

    sim::CameraSet none(std::vector<sim::CameraSpec>{});
    plat::SetCameraBackend(none.Backend());
    messages.clear();
    EXPECT_FALSE(service.InitCameras());
    EXPECT_EQ(messages, std::vector<std::string>{"No camera found !"});
    service.Shutdown();
    plat::SetCameraBackend(nullptr);
}

}  // namespace
}  // namespace smt::test
