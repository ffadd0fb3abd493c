// An ordinary video camera serves a query only with a frame exposed after the query
// began: samples queued in the device, a read already under way and frames still in
// flight from a slow stream are passed over, and the wait stays bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "cameras.h"
#include "test_support.h"
#include "vision/camera_ds.h"

namespace {

using smt::CCameraDS;
using Clock = std::chrono::steady_clock;

std::uint64_t NowNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

// One sample of the script: its grey value, whether the device stamps it as
// exposed a second before it is read (a queued buffer), whether it has no stamp
// at all, and whether the read waits for the test's gate first.
struct Step {
    int value;
    bool stale = false;
    bool unstamped = false;
    bool gated = false;
};

struct Script {
    std::mutex mutex;
    std::vector<Step> steps;  // then silence
    std::size_t next = 0;
    int queued = 0;  // buffers the device holds captured when a read begins
    std::atomic<bool> gate{false}, release{false};
};

class ScriptedSource : public smt::VideoSampleSource {
public:
    explicit ScriptedSource(std::shared_ptr<Script> s) : m_s(std::move(s)) {}
    bool Open(int, int w, int h) override { return w == 640 && h == 480; }
    bool Read(cv::Mat* sample) override {
        Step step{};
        {
            std::lock_guard lock(m_s->mutex);
            if (m_s->next >= m_s->steps.size()) step.value = -1;
            else step = m_s->steps[m_s->next++];
        }
        if (step.value < 0) {
            smt::test::WaitUntil([&] { return m_s->release.load(); }, std::chrono::seconds(5));
            return false;
        }
        if (step.gated) smt::test::WaitUntil([&] { return m_s->gate.load(); }, std::chrono::seconds(5));
        *sample = cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(step.value));
        m_exposed = step.unstamped ? 0 : step.stale ? NowNs() - 1'000'000'000ULL : NowNs();
        return true;
    }
    void Close() override {}
    std::uint64_t ExposedNs() const override { return m_exposed; }
    int QueuedSamples() const override { return m_s->queued; }

private:
    std::shared_ptr<Script> m_s;
    std::uint64_t m_exposed = 0;
};

class VideoFreshFrame : public ::testing::Test {
protected:
    void SetUp() override {
        smt::TheVideoSourcePort().count = [] { return 1; };
        smt::TheVideoSourcePort().make = [s = script] { return std::make_unique<ScriptedSource>(s); };
    }
    void TearDown() override {
        script->gate = script->release = true;
        smt::TheVideoSourcePort() = smt::VideoSourcePort{};
    }
    std::shared_ptr<Script> script = std::make_shared<Script>();
};

int Grey(const cv::Mat* f) { return f ? f->at<cv::Vec3b>(0, 0)[0] : -1; }

TEST_F(VideoFreshFrame, QueuedSamplesStampedBeforeTheQueryArePassedOver) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int expected;  // -1: no frame
    } cases[] = {
        {"fresh at once", {{10}, {20}}, 10},
        {"three queued buffers", {{10, true}, {20, true}, {30, true}, {40}}, 40},
        {"unstamped samples count from their read", {{10, false, true}}, 10},
        {"only old buffers: none", {{10, true}, {20, true}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(script->mutex);
            script->steps = c.steps;
            script->next = 0;
        }
        auto cam = smt::CreateCameraDS(0);
        ASSERT_NE(cam, nullptr);
        EXPECT_EQ(Grey(cam->QueryFrame()), c.expected);
        script->release = true;
        cam.reset();
        script->release = false;
    }
}

// A device without plausible stamps hands over the buffers it holds the moment a
// read begins, captured before the query: as many reads as it holds buffers are
// read past, and the first sample of a capture after the query serves it.
TEST_F(VideoFreshFrame, UnstampedBuffersTheDeviceHeldArePassedOver) {
    struct Case {
        const char* name;
        int queued;
        std::vector<Step> steps;
        int expected;
    } cases[] = {
        {"three buffers held", 3, {{10, false, true}, {20, false, true}, {30, false, true}, {40, false, true}}, 40},
        {"four held, a stamped fresh one among them", 4, {{10, false, true}, {20}, {30, false, true}}, 20},
        {"only held buffers: none", 2, {{10, false, true}, {20, false, true}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(script->mutex);
            script->steps = c.steps;
            script->next = 0;
            script->queued = c.queued;
        }
        auto cam = smt::CreateCameraDS(0);
        ASSERT_NE(cam, nullptr);
        EXPECT_EQ(Grey(cam->QueryFrame()), c.expected);
        script->release = true;
        cam.reset();
        script->release = false;
    }
}

// A read that was under way when the query began (left over from a query that ran
// out) gives a sample from before it: the query waits for the next one.
TEST_F(VideoFreshFrame, AReadUnderWayWhenTheQueryBeganDoesNotServeIt) {
    script->steps = {{10, false, true, true}, {20, false, true}};
    auto cam = smt::CreateCameraDS(0);
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->QueryFrame(), nullptr);  // the device holds its first sample back
    std::thread open([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        script->gate = true;  // the held sample arrives while the second query waits
    });
    const int grey = Grey(cam->QueryFrame());
    open.join();
    EXPECT_EQ(grey, 20);
}

// Every frame shows the value the scene holds when it is exposed.
class PositionScene : public sim::FrameSource {
public:
    std::atomic<int> position{1};
    cv::Mat Render(sim::CameraRole, int w, int h, int channels, std::uint64_t, bool) override {
        return cv::Mat(h, w, channels == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(position.load()));
    }
};

// The simulated machine's published video camera, its frames arriving late.
TEST(VideoFreshFramePublished, AQueryAfterAMoveGetsAFrameOfTheNewPositionOrNone) {
    struct Case {
        const char* name;
        int latencyMs;
        bool served;  // a frame exposed after the query arrives within the limit
    } cases[] = {
        {"prompt stream", 0, true},
        {"slow stream", 300, true},
        {"slower than the limit", 1400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        smt::test::TempDir dir;
        auto scene = std::make_shared<PositionScene>();
        sim::CameraSet set(sim::CameraSet::DefaultSpecs(1), scene);
        sim::SimCamera* video = set.Camera(3);
        ASSERT_NE(video, nullptr);
        ASSERT_TRUE(video->Spec().video);
        std::string error;
        ASSERT_TRUE(set.Publish(dir.Path(), &error)) << error;
        ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
        auto cam = smt::CreateCameraDS(0);
        ASSERT_NE(cam, nullptr);
        ASSERT_NE(cam->QueryFrame(), nullptr);  // the stream runs before the first move
        video->SetSlowMs(c.latencyMs);
        for (int move = 2; move <= 4; ++move) {
            scene->position = move * 30;  // the move ended: the camera sees the head there
            const cv::Mat* f = cam->QueryFrame();
            if (c.served) EXPECT_EQ(Grey(f), move * 30) << "move " << move << ": a frame from before the move";
            else EXPECT_EQ(f, nullptr) << "move " << move;
        }
        cam.reset();
        set.Unpublish();
        ::unsetenv("SMT_SERIAL_DIR");
    }
}

} // namespace
