// Ordinary video cameras: opening at 640 x 480 only, a frame made again when the
// sample size changes, a silent device that never holds a caller beyond the limit,
// and the simulated machine's published cameras; the image holder's rules.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include <opencv2/core.hpp>

#include "simulator.h"
#include "test_support.h"
#include "vision/camera_ds.h"
#include "vision/cvv_image.h"
#include "vision/image_files.h"
#include "vision/set_view.h"

namespace {

using smt::CCameraDS;
using Clock = std::chrono::steady_clock;

// A device behind the seam: the size it gives, the samples it sends, or silence.
struct FakeDevice {
    int width = 640, height = 480;
    std::vector<cv::Size> samples;  // then silence
    std::atomic<bool> release{false};
};

class FakeSource : public smt::VideoSampleSource {
public:
    explicit FakeSource(std::shared_ptr<FakeDevice> d) : m_d(std::move(d)) {}
    bool Open(int, int w, int h) override { return w == m_d->width && h == m_d->height; }
    bool Read(cv::Mat* s) override {
        if (m_next < m_d->samples.size()) {
            const cv::Size size = m_d->samples[m_next++];
            *s = cv::Mat(size, CV_8UC1, cv::Scalar(static_cast<double>(m_next) * 10));
            return true;
        }
        smt::test::WaitUntil([&] { return m_d->release.load(); }, std::chrono::seconds(5));
        return false;
    }
    void Close() override {}

private:
    std::shared_ptr<FakeDevice> m_d;
    std::size_t m_next = 0;
};

class VideoCameraTest : public ::testing::Test {
protected:
    void Install() {
        smt::TheVideoSourcePort().count = [] { return 1; };
        smt::TheVideoSourcePort().make = [d = device] { return std::make_unique<FakeSource>(d); };
    }
    void TearDown() override {
        device->release = true;
        smt::TheVideoSourcePort() = smt::VideoSourcePort{};
    }
    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
};

TEST_F(VideoCameraTest, OpensAt640x480OnlyAndRemakesTheFrameOncePerSizeChange) {
    device->width = 800;
    Install();
    EXPECT_EQ(CCameraDS::CameraCount(), 1);
    EXPECT_EQ(smt::CreateCameraDS(0), nullptr);

    device->width = 640;
    device->samples = {{640, 480}, {320, 240}, {320, 240}};
    auto cam = smt::CreateCameraDS(0);
    ASSERT_NE(cam, nullptr);
    const cv::Mat* f = cam->QueryFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type(), CV_8UC3);  // grey samples come as 3 channels
    EXPECT_EQ(f->cols, 640);
    const uchar* first = f->data;
    f = cam->QueryFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(cam->Width(), 320);
    const uchar* second = f->data;
    EXPECT_NE(first, second);
    f = cam->QueryFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->data, second);  // same size: the frame is kept
    EXPECT_EQ(f->at<cv::Vec3b>(0, 0)[0], 30);

    // Silence: no frame within about a second, then a closed camera gives none.
    const auto t = Clock::now();
    EXPECT_EQ(cam->QueryFrame(), nullptr);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 1600);
    device->release = true;
    cam->CloseCamera();
    EXPECT_EQ(cam->QueryFrame(), nullptr);
}

// The panel's open of a device that refuses says so (and opens each device once).
TEST_F(VideoCameraTest, PanelOpenOfARefusingDeviceShowsTheMessage) {
    device->width = 800;
    Install();
    smt::test::ScriptedResponder boxes;
    smt::SetView& panel = smt::TheSetView();
    EXPECT_FALSE(panel.OpenCamera(false, 1, 0));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{panel.Text(smt::kTxtMessage02)});
    EXPECT_FALSE(panel.DsCameraOpen(0));
    device->width = 640;
    EXPECT_TRUE(panel.OpenCamera(false, 1, 0));
    EXPECT_TRUE(panel.DsCameraOpen(0));
    EXPECT_EQ(boxes.Count(), 1u);
    panel.CloseDsCameras();
}

TEST(VideoCameras, PublishedSimulatedCamerasTakeThePlaceOfTheDevices) {
    smt::test::TempDir dir;
    sim::SimConfig c;
    c.serial = c.udp = false;
    c.cameras = true;
    c.videoCameras = 2;
    c.serialDir = dir.Path();
    sim::Simulator s(c);
    std::string error;
    ASSERT_TRUE(s.Start(&error)) << error;
    ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
    EXPECT_EQ(CCameraDS::CameraCount(), 2);
    auto cam = smt::CreateCameraDS(1);
    ASSERT_NE(cam, nullptr);
    const cv::Mat* f = cam->QueryFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size(), cv::Size(640, 480));
    EXPECT_EQ(f->type(), CV_8UC3);
    cam.reset();
    s.Stop();
    EXPECT_EQ(CCameraDS::CameraCount(), 0);
    ::unsetenv("SMT_SERIAL_DIR");
}

TEST(VideoCameras, AV4l2DeviceGivesFramesWhereTheMachineHasOne) {
    if (CCameraDS::CameraCount() == 0) GTEST_SKIP() << "no video device on this machine";
    auto cam = smt::CreateCameraDS(0);
    if (!cam) GTEST_SKIP() << "the video device does not give 640 x 480";
    const cv::Mat* f = cam->QueryFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->type(), CV_8UC3);
}

TEST(CvvImageRules, RefusedCreateKeepsTheImageAndLoadRectClipsNegativeCorners) {
    smt::CvvImage img;
    ASSERT_TRUE(img.Create(40, 30, 24));
    img.Fill(0x00112233);
    for (auto [w, bpp] : {std::pair{40, 16}, std::pair{10000, 24}, std::pair{0, 8}}) {
        EXPECT_FALSE(img.Create(w, 30, bpp)) << w << " " << bpp;
        EXPECT_EQ(img.Width(), 40);
        EXPECT_EQ(img.Bpp(), 24);
        EXPECT_EQ(img.GetImage().at<cv::Vec3b>(0, 0), cv::Vec3b(0x33, 0x22, 0x11));
    }
    const uchar* kept = img.GetImage().data;
    EXPECT_TRUE(img.Create(40, 30, 24, 1));  // same size and depth: reused
    EXPECT_EQ(img.GetImage().data, kept);

    smt::test::TempDir dir;
    cv::Mat grid(20, 30, CV_8UC1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) grid.at<uchar>(y, x) = static_cast<uchar>(x + 10 * y);
    ASSERT_TRUE(smt::WriteImageFile(dir.File("g.png"), grid));
    ASSERT_TRUE(img.LoadRect(dir.File("g.png"), 0, smt::EdgeRect{-5, -3, 4, 6}));
    EXPECT_EQ(img.Width(), 4);
    EXPECT_EQ(img.Height(), 6);
    EXPECT_EQ(img.Bpp(), 8);
    EXPECT_EQ(img.GetImage().at<uchar>(5, 3), 3 + 50);
    ASSERT_TRUE(img.LoadRect(dir.File("g.png"), 1, cv::Rect(25, 15, 100, 100)));  // clipped at the far corner
    EXPECT_EQ(img.Width(), 5);
    EXPECT_EQ(img.Bpp(), 24);
    EXPECT_FALSE(img.LoadRect(dir.File("missing.png"), 1, cv::Rect()));
}

} // namespace
