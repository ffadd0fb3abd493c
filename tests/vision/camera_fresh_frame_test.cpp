// A frame request made right after a move is served by a frame showing the machine
// after the move, however late the camera's frames arrive or however long the grab
// thread is held up by the live view.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cameras.h"
#include "platform/camera_sdk.h"
#include "vision/camera_service.h"

namespace smt::test {
namespace {

using namespace std::chrono_literals;

// Every frame is filled with the head's position at its exposure.
class PositionScene : public sim::FrameSource {
public:
    std::atomic<int> position{1};
    cv::Mat Render(sim::CameraRole, int w, int h, int channels, std::uint64_t, bool) override {
        return cv::Mat(h, w, channels == 1 ? CV_8UC1 : CV_8UC3, cv::Scalar::all(position.load()));
    }
};

struct SlowCase {
    const char* name;
    int streamLatencyMs;  // how long after its exposure a frame arrives
    int liveViewMs;       // how long the live view holds the grab thread per frame
};

TEST(CameraFreshFrame, ARequestAfterAMoveGetsAFrameOfTheNewPosition) {
    const SlowCase cases[] = {
        {"slow stream", 300, 0},
        {"slow grab thread", 0, 70},
        {"both", 150, 50},
    };
    for (const SlowCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto scene = std::make_shared<PositionScene>();
        sim::CameraSet set(sim::CameraSet::DefaultSpecs(0), scene);
        set.ByRole(sim::CameraRole::Mark)->SetSlowMs(c.streamLatencyMs);
        plat::SetCameraBackend(set.Backend());
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = true;
        g_FlyCameraOn = false;
        const int shownCamera = g_CurrentCamera.exchange(kMarkCamera);

        CameraService service;
        service.hooks().liveFrame = [&](int, const cv::Mat&) { std::this_thread::sleep_for(std::chrono::milliseconds(c.liveViewMs)); };
        service.hooks().message = [](const std::string&) {};
        ASSERT_TRUE(service.InitCameras());
        // The stream is running (frames in flight) before the first move.
        ASSERT_TRUE(service.GrabFrame(kMarkCamera));
        for (int move = 2; move <= 7; ++move) {
            scene->position = move * 30;  // the move ended: the camera sees the head there
            const auto frame = service.GrabFrame(kMarkCamera);
            ASSERT_TRUE(frame) << "move " << move;
            EXPECT_EQ(frame->at<cv::Vec3b>(0, 0)[0], move * 30) << "move " << move << ": a frame from before the move";
        }
        service.Shutdown();
        plat::SetCameraBackend(nullptr);
        g_CurrentCamera = shownCamera;
    }
}

} // namespace
} // namespace smt::test
