// The camera panel's selection, light, vision test, click-to-centre and settings
// against the simulated machine (its link, its world and its published cameras).
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include <cmath>
#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "../link/world_fixture.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "vision/camera_service.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"
#include "vision/result_slots.h"
#include "vision/set_view.h"
#include "vision/vision_types.h"

namespace smt::test {
namespace {

class SetViewSimTest : public WorldSimTest {
protected:
    void SetUp() override {
        WorldSimTest::SetUp();
        g_MachineType = 0;
        g_HighSpeedCamera = 1;
        g_MarkCameraOn = g_VisualCamera1On = g_VisualCamera2On = g_FlyCameraOn = false;
        g_CurrentCamera = 0;
        g_Homed = true;
        SetTraceSink([this](const std::string& t, bool) {
            // The panel's own lines, not the commands' (which come from the move's worker).
            if (t.rfind("Mark:", 0) == 0 || t.rfind("Visual", 0) == 0) {
                std::lock_guard lock(traceMutex);
                trace.push_back(t);
            }
        });
        auto& p = TheSetView();
        p.view() = {};
        p.view().refuseEdit = [this](int control) { refused.push_back(control); };
        p.m_PixelsPerMm = 20.0;
        p.m_ImageHeight = 480;
        p.m_UseFeedBrightness = false;
        p.m_Zoom = 1.0;
        ThePositioningPort().pcbVision = [] {
            PcbVisionValues v;
            v.scale = 20, v.frameSize = 6, v.markContrast = 0, v.markBrightness = 200;
            return v;
        };
        TheSetViewSources().cameraRecord = [](int which) -> std::optional<CameraVisionRecord> {
            if (which == 0) return CameraVisionRecord{25, 8, 60, 150};
            return std::nullopt;
        };
    }
    void TearDown() override {
        WaitIdle();
        TheCameraService().Shutdown();
        plat::SetCameraBackend(nullptr);
        SetTraceSink(nullptr);
        ThePositioningPort() = PositioningPort{};
        TheSetViewSources() = SetViewSources{};
        ThePositioningState().m_OriginVisionFlag = 0;
        TheSetView().view() = {};
        g_HighSpeedCamera = 0;
        g_Homed = false;
        g_Running = false;
        WorldSimTest::TearDown();
    }
    // The world on `scenario`, the program on its serial link.
    void Machine(int type = 0, sim::Scenario scenario = sim::Scenario::Default(), bool cameras = false) {
        StartWorld(type, std::move(scenario), true, false, cameras);
        ResetCommandWorld(true);
        int number = 5;
        ASSERT_TRUE(GetSerialLink().OpenSerialLink(number));
        g_Connected = true;
        machine().ClearRecords();
        g_MachineType = type;
        g_Homed = true;
        hooks.Take();
    }
    // The light commands the machine took, once `expect` arrived (or a second passed).
    std::vector<std::string> LightFrames(std::size_t expect) {
        for (int i = 0; i < 100 && FramesOf(0x04).size() < expect; ++i) plat::SleepFor(std::chrono::milliseconds(10));
        if (expect == 0) plat::SleepFor(std::chrono::milliseconds(50));
        std::vector<std::string> light;
        for (const auto& f : FramesOf(0x04)) light.push_back(HexOf(f.data));
        return light;
    }
    std::mutex traceMutex;
    std::vector<std::string> trace;
    std::vector<int> refused;
};

TEST_F(SetViewSimTest, SelectionGuardsSourcesAndTheLightCommand) {
    Machine();
    SetView& p = TheSetView();
    BasicSettings& b = TheBasicSettings();
    b.m_VisualOriginBox = 4, b.m_OriginLightContrast = 30, b.m_OriginLightBrightness = 90, b.m_FeedBrightness = 120;

    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::function<void()> select;
        std::vector<std::string> boxes;
        int camera;  // g_CurrentCamera afterwards
        double scale, size;
        int contrast, brightness;
        std::vector<std::string> light;  // 0x04 data the machine took
    };
    auto mark = [&] { p.OnBnClickedMarkCamera(); };
    const std::vector<Case> cases = {
        {"disconnected", [] { g_Connected = false; g_CurrentCamera = 2; }, mark, {"Machine is not connection !"}, 2, 0,
         0, 0, 0, {}},
        {"camera B while running", [] { g_Connected = true; g_Running = true; g_MachineType = 5; },
         [&] { p.OnBnClickedVisualCameraB(); }, {"Machine is runnig !"}, 2, 0, 0, 0, 0, {}},
        {"mark from the PCB editor", [] { g_Running = false; g_MachineType = 0; }, mark, {}, 0, 20, 6, 0, 200,
         {"01 C8"}},
        {"feed brightness once", [&] { p.m_UseFeedBrightness = true; }, mark, {}, 0, 20, 6, 0, 120, {"01 78"}},
        {"and then the editor's again", [] {}, mark, {}, 0, 20, 6, 0, 200, {"01 C8"}},
        {"visual origin", [] { ThePositioningState().m_OriginVisionFlag = 1; }, mark, {}, 0, 20, 4, 30, 90,
         {"01 5A"}},
        {"vision camera 1 record", [] { ThePositioningState().m_OriginVisionFlag = 0; },
         [&] { p.OnBnClickedVisualCamera1(); }, {}, 1, 25, 8, 60, 150, {"02 96"}},
        {"vision camera 2 absent", [] {}, [&] { p.OnBnClickedVisualCamera2(); }, {"视觉相机 2 不存在 !"}, 1, 25, 8, 60,
         150, {}},
    };
    for (const Case& c : cases) {
        boxes.Texts();
        const auto before = boxes.Texts().size();
        machine().ClearRecords();
        c.arrange();
        c.select();
        const auto texts = boxes.Texts();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(before), texts.end()), c.boxes) << c.what;
        EXPECT_EQ(g_CurrentCamera.load(), c.camera) << c.what;
        if (c.boxes.empty()) {
            EXPECT_EQ(std::make_tuple(p.m_PixelsPerMm.load(), p.m_VisualSize.load(), p.m_Light_Contrast.load(),
                                      p.m_Light_Brightness.load()),
                      std::make_tuple(c.scale, c.size, c.contrast, c.brightness)) << c.what;
        }
        EXPECT_EQ(LightFrames(c.light.size()), c.light) << c.what;
    }
    EXPECT_EQ(world().Light(2), 150);  // the simulator follows the last light command
}

TEST_F(SetViewSimTest, BrightnessEditSendsOneCommandOnlyForLevelsInRange) {
    Machine();
    SetView& p = TheSetView();
    struct Case {
        int type, camera;
        const char* text;
        bool taken;
        int frames;
    };
    const Case cases[] = {
        {0, 0, "255", true, 1}, {0, 0, "256", false, 0}, {0, 0, "-1", false, 0},
        {0, 0, "12x", false, 0}, {0, 2, "7", true, 1},   {4, 0, "100", true, 0},
    };
    for (const Case& c : cases) {
        machine().ClearRecords();
        refused.clear();
        g_MachineType = c.type;
        hooks.machineType = c.type;
        g_CurrentCamera = c.camera;
        EXPECT_EQ(p.OnChangeBrightness(c.text), c.taken) << c.text;
        EXPECT_EQ(static_cast<int>(LightFrames(c.frames).size()), c.frames) << c.text;
        EXPECT_EQ(refused, c.taken ? std::vector<int>{} : std::vector<int>{SetView::kBrightnessEdit}) << c.text;
    }
    // The whole frame on the serial wire for 255 on the mark camera.
    machine().ClearRecords();
    g_MachineType = 0, hooks.machineType = 0, g_CurrentCamera = 0;
    p.OnChangeBrightness("255");
    EXPECT_EQ(LightFrames(1), std::vector<std::string>{"01 FF"});
    EXPECT_EQ(world().Light(1), 255);

    // A frame window wider than the image is refused and the old size stays.
    p.m_VisualSize = 5.0;
    EXPECT_FALSE(p.OnChangeVisualSize("24.5"));  // 490 px > 480
    EXPECT_EQ(p.m_VisualSize.load(), 5.0);
    EXPECT_TRUE(p.OnChangeVisualSize("24"));
    EXPECT_EQ(p.m_VisualSize.load(), 24.0);
}

TEST_F(SetViewSimTest, VisionTestCentresAMarkOfTheSimulatedWorld) {
    sim::Scenario s = sim::Scenario::Default();
    const sim::Vec camera = s.markCameraOffset;
    // The head parks at (100, -100); the mark lies 1.5 mm left of and 0.5 mm above the camera's centre.
    s.machineDiscs = {sim::Disc{100 + camera.x - 1.5, -100 + camera.y + 0.5, 1.0, -1}};
    s.pulsesX = 100, s.pulsesY = 80;  // X and Y apart, on the machine and in the program
    Machine(0, s, true);
    ThePulseSettings().m_X_Pulse = 100;
    ThePulseSettings().m_Y_Pulse = 80;
    ThePulseSettings().m_A_Pulse = 10;
    g_PulsesPerMmX = 100;
    g_PulsesPerMmY = 80;
    ASSERT_TRUE(MoveXYA({{10000, {10, 100}, -8000, {10, 100}}, 1, 0, 0, 0, 0}));

    g_MarkCameraOn = true;
    ASSERT_TRUE(TheCameraService().InitCameras());
    SetView& p = TheSetView();
    p.OnBnClickedMarkCamera();  // 20 px/mm, 6 mm window, light 200
    ASSERT_EQ(g_CurrentCamera.load(), 0);

    auto test = [&] {
        // Frames rendered before the move ended may still be queued (a slow
        // renderer under the sanitizers): each grab serves a newer one, so the third
        // was drawn after the head stood still.
        plat::SleepFor(std::chrono::milliseconds(120));
        TheCameraService().GrabFrame(kMarkCamera);
        TheCameraService().GrabFrame(kMarkCamera);
        auto frame = TheCameraService().GrabFrame(kMarkCamera);
        EXPECT_TRUE(frame);
        p.RunVisionTest(frame ? &*frame : nullptr, kMarkResultSlot, true);
        EXPECT_TRUE(WaitIdle());
    };
    test();
    ASSERT_FALSE(trace.empty());
    double x = 9, y = 9, d = 0;
    ASSERT_EQ(std::sscanf(trace.back().c_str(), "Mark: X = %lf，Y = %lf，D = %lf", &x, &y, &d), 3) << trace.back();
    EXPECT_NEAR(x, 1.5, 0.06);
    EXPECT_NEAR(y, 0.5, 0.06);
    EXPECT_NEAR(d, 1.0, 0.15);
    EXPECT_NEAR(g_PulseX.load(), 10000 - 150, 6);
    EXPECT_NEAR(g_PulseY.load(), -8000 + 40, 6);
    test();  // centred now
    ASSERT_EQ(std::sscanf(trace.back().c_str(), "Mark: X = %lf，Y = %lf，D = %lf", &x, &y, &d), 3) << trace.back();
    EXPECT_NEAR(x, 0.0, 0.06);
    EXPECT_NEAR(y, 0.0, 0.06);

    // A click at zoom 0.5 in a 416 x 312 live view: integer pixel arithmetic on 640 x 480.
    p.m_Zoom = 0.5;
    const std::int32_t x0 = g_PulseX, y0 = g_PulseY;
    EXPECT_FALSE(p.OnLiveViewClick(416, 10, 416, 312));  // outside
    ASSERT_TRUE(p.OnLiveViewClick(312, 78, 416, 312));
    EXPECT_TRUE(WaitIdle());
    EXPECT_DOUBLE_EQ(p.m_ClickOffsetX.load(), 8.0);   // ((312 - 208) * 640) / 416 = 160 px
    EXPECT_DOUBLE_EQ(p.m_ClickOffsetY.load(), -6.0);  // ((78 - 156) * 480) / 312 = -120 px
    // -(8 x 0.5 x 100), negated for the mark camera; -(-6 x 0.5 x 80).
    EXPECT_EQ(std::make_tuple(g_PulseX.load() - x0, g_PulseY.load() - y0), std::make_tuple(400, 240));
    g_Running = true;  // while running a click only stores
    ASSERT_TRUE(p.OnLiveViewClick(104, 156, 416, 312));
    EXPECT_DOUBLE_EQ(p.m_ClickOffsetX.load(), -8.0);
    EXPECT_EQ(g_PulseX.load() - x0, 400);
    g_Running = false;

    // A disc that fills half the window is no mark: no move.
    sim::Scenario big = s;
    big.machineDiscs = {sim::Disc{g_PulseX / 100.0 + camera.x, g_PulseY / 80.0 + camera.y, 6.2, -1}};
    world().SetScenario(big);
    const std::int32_t x1 = g_PulseX;
    test();
    EXPECT_EQ(trace.back(), "Visual Error !");
    EXPECT_EQ(g_PulseX.load(), x1);
}

TEST_F(SetViewSimTest, PartTestGivesPulsesAndTheCalibrationSlot) {
    SetView& p = TheSetView();
    ThePulseSettings().m_X_Pulse = 100;
    ThePulseSettings().m_Y_Pulse = 80;
    ThePulseSettings().m_A_Pulse = 17.5;
    g_CurrentCamera = kVisionCamera1;
    p.m_PixelsPerMm = 20, p.m_VisualSize = 10, p.m_Light_Contrast = 0, p.m_CalibSlot = 3;
    p.SetVisionTypeText("00:General");
    // A 4 x 2 mm part turned 10 degrees, 1 mm right of and 0.5 mm below the centre.
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(0));
    cv::Point2f corners[4];
    cv::RotatedRect(cv::Point2f(320 + 20, 240 + 10), cv::Size2f(80, 40), 10).points(corners);
    std::vector<cv::Point> poly(corners, corners + 4);
    cv::fillConvexPoly(frame, poly, cv::Scalar::all(230));
    p.RunVisionTest(&frame, 3, false);
    double x = 0, y = 0, a = 0, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(trace.back().c_str(), "Visual: X = %lf，Y = %lf，A = %lf，W = %lf，H = %lf", &x, &y, &a, &w,
                          &h),
              5)
        << trace.back();
    EXPECT_NEAR(std::fabs(a), 10.0, 1.0);
    EXPECT_EQ(p.m_MoveOffsetA.load(), -static_cast<int>(std::trunc(a * 17.5)));
    EXPECT_EQ(p.m_MoveOffsetX.load(), static_cast<int>(std::trunc(x * 100)));
    EXPECT_EQ(p.m_MoveOffsetY.load(), static_cast<int>(std::trunc(y * 80)));
    // 1 mm right of and 0.5 mm below the centre: X counts to the left, Y upwards.
    EXPECT_NEAR(x, -1.0, 0.06);
    EXPECT_NEAR(y, -0.5, 0.06);
    EXPECT_EQ(p.m_CalibSlotOffsetX.load(), p.m_MoveOffsetX.load());
    EXPECT_NEAR(p.m_PartWidth.load() * p.m_PartHeight.load(), 8.0, 0.8);

    cv::Mat dark(480, 640, CV_8UC3, cv::Scalar::all(0));
    p.RunVisionTest(&dark, 3, false);
    EXPECT_EQ(trace.back(), "Visual Error !");
    EXPECT_EQ(p.m_CalibSlotOffsetX.load(), 0);

    // The combo's number: "15..." is type 15, text without a number is 0, above 17 is 0.
    for (const auto& [text, type] : std::vector<std::pair<std::string, int>>{
             {"15:BGA", 15}, {"General", 0}, {"18:x", 0}, {"7:BGA 4", 7}}) {
        p.SetVisionTypeText(text);
        EXPECT_EQ(p.VisionType(), type) << text;
    }
}

TEST_F(SetViewSimTest, SettingsRoundTripAndLanguage) {
    const std::string folder = dir.Path();
    SetView& p = TheSetView();
    p.m_BinaryImg = 1, p.m_VisualSize = 3.456, p.m_Light_Contrast = 77, p.m_Light_Brightness = 201;
    ASSERT_TRUE(p.SaveConfig(folder));
    plat::WritePrivateProfileString("CameraListConfig", "m_HighSpeedCamera", "1", folder + "/config.ini");
    plat::WritePrivateProfileString("CameraListConfig", "m_VisualCamera2", "1", folder + "/config.ini");
    plat::WritePrivateProfileString("LanguageSetConfig", "LanguageSet", "Klingon", folder + "/config.ini");
    EXPECT_EQ(plat::GetPrivateProfileString("SetViewConfig", "m_VisualSize", "", 512, folder + "/config.ini"), "3.46");
    p.m_BinaryImg = 0, p.m_VisualSize = 0, p.m_Light_Contrast = 0, p.m_Light_Brightness = 0;
    g_HighSpeedCamera = 0;
    p.LoadConfig(folder);
    EXPECT_DOUBLE_EQ(p.m_VisualSize.load(), 3.46);
    // An unknown language reads as English (1).
    EXPECT_EQ(std::make_tuple(int(p.m_BinaryImg.load()), int(p.m_Light_Contrast.load()), int(p.m_Light_Brightness.load()),
                              int(g_HighSpeedCamera.load()), bool(g_VisualCamera2On.load()), bool(g_MarkCameraOn.load()),
                              int(p.m_Language.load())),
              std::make_tuple(1, 77, 201, 1, true, false, 1));
    EXPECT_EQ(p.VisionTypeCaptions().front(), std::string(VisionTypeName(0, 1)));
    g_MarkCameraOn = g_VisualCamera2On = false;
}

TEST_F(SetViewSimTest, UndistortedPartTestMeasuresAsOnTheWholeUndistortedFrame) {
    // Vision camera 2 with the lens correction: only the recognition window is
    // undistorted, and the part measures as on the whole corrected frame.
    SetView& p = TheSetView();
    ThePulseSettings().m_X_Pulse = 100, ThePulseSettings().m_Y_Pulse = 80;
    ThePulseSettings().m_A_Pulse = 17.5;
    TheBasicSettings().m_Calibrator2 = 1;
    const std::string xml = dir.File("lens.xml");
    // The holder is the process's: nothing left to correct for later cases, even
    // when a check below ends the case early.
    struct FlatLensAfterwards {
        std::string path;
        ~FlatLensAfterwards() {
            {
                cv::FileStorage fs(path, cv::FileStorage::WRITE);
                fs << "image_Width" << 1280 << "image_Height" << 1024;
                fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 1100, 0, 640, 0, 1100, 512, 0, 0, 1);
                fs << "Distortion_Coefficients" << cv::Mat::zeros(1, 5, CV_64F);
            }
            EXPECT_TRUE(LoadCameraCalibration(TheLensCalibration(), path));
        }
    } flatAfterwards{xml};
    {
        cv::FileStorage fs(xml, cv::FileStorage::WRITE);
        fs << "image_Width" << 1280 << "image_Height" << 1024;
        fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 1100, 0, 652, 0, 1090, 497, 0, 0, 1);
        fs << "Distortion_Coefficients" << (cv::Mat_<double>(1, 5) << -0.25, 0.08, 0.0005, -0.0003, 0.0);
    }
    ASSERT_TRUE(LoadCameraCalibration(TheLensCalibration(), xml));
    g_CurrentCamera = kVisionCamera2;
    p.m_PixelsPerMm = 20, p.m_Light_Contrast = 0;
    p.SetVisionTypeText("00:General");
    // A 4 x 2 mm part turned 12 degrees, 1.3 mm right of and 0.7 mm below the centre.
    cv::Mat frame(1024, 1280, CV_8UC3, cv::Scalar::all(0));
    cv::Point2f corners[4];
    cv::RotatedRect(cv::Point2f(640 + 26, 512 + 14), cv::Size2f(80, 40), 12).points(corners);
    std::vector<cv::Point> poly(corners, corners + 4);
    cv::fillConvexPoly(frame, poly, cv::Scalar::all(230));
    const cv::Mat whole = UndistortImage(TheLensCalibration(), frame);
    // A window inside the frame, a larger one, and one larger than the frame (the
    // whole height is the window then).
    for (double size : {10.0, 30.05, 60.0}) {
        SCOPED_TRACE(size);
        p.m_VisualSize = size;
        p.RunVisionTest(&frame, 3, false);
        double x = 0, y = 0, a = 0, w = 0, h = 0;
        ASSERT_EQ(std::sscanf(trace.back().c_str(), "Visual: X = %lf，Y = %lf，A = %lf，W = %lf，H = %lf", &x, &y, &a,
                              &w, &h),
                  5)
            << trace.back();
        double rx = 0, ry = 0, ra = 0;
        ComponentBox box;
        FindComponent(3, rx, false, box, whole, 0, 0, ry, ra, 0, size, 20.0, 0.0);
        ASSERT_NE(box.cx, -1);
        EXPECT_LE(std::fabs(x - rx) * 20.0, 0.05);
        EXPECT_LE(std::fabs(y - ry) * 20.0, 0.05);
        EXPECT_NEAR(a, ra, 0.0001);
        EXPECT_NEAR(w, box.width / 20.0, 0.01);
        EXPECT_NEAR(h, box.height / 20.0, 0.01);
        EXPECT_EQ(p.m_MoveOffsetY.load(), static_cast<int>(std::trunc(y * 80)));
    }
}

TEST_F(SetViewSimTest, TheZoomedLiveViewIsTheCropOfTheWholeUndistortedFrame) {
    // The lens's matrix belongs to the whole frame: a zoomed view corrects the
    // crop as part of it, not as a frame of its own.
    SetView& p = TheSetView();
    const std::string xml = dir.File("lens.xml");
    const auto writeLens = [&xml](const cv::Mat& coefficients) {
        cv::FileStorage fs(xml, cv::FileStorage::WRITE);
        fs << "image_Width" << 1280 << "image_Height" << 1024;
        fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 1100, 0, 652, 0, 1090, 497, 0, 0, 1);
        fs << "Distortion_Coefficients" << coefficients;
    };
    struct FlatLensAfterwards {
        std::function<void()> flat;
        ~FlatLensAfterwards() { flat(); }
    } flatAfterwards{[&] {
        writeLens(cv::Mat::zeros(1, 5, CV_64F));
        EXPECT_TRUE(LoadCameraCalibration(TheLensCalibration(), xml));
    }};
    writeLens((cv::Mat_<double>(1, 5) << -0.25, 0.08, 0.0005, -0.0003, 0.0));
    ASSERT_TRUE(LoadCameraCalibration(TheLensCalibration(), xml));
    cv::Mat frame(1024, 1280, CV_8UC3, cv::Scalar::all(30));
    for (int x = 8; x < 1280; x += 24) cv::line(frame, {x, 0}, {x, 1024}, cv::Scalar(220, 180, 140), 2);
    for (int y = 8; y < 1024; y += 24) cv::line(frame, {0, y}, {1280, y}, cv::Scalar(90, 160, 230), 2);
    const cv::Mat whole = UndistortImage(TheLensCalibration(), frame);
    p.m_VisualSize = 6.0;
    for (const double zoom : {1.0, 0.5, 0.3}) {
        SCOPED_TRACE(zoom);
        p.m_Zoom = zoom;
        const cv::Mat view = p.LiveViewImage(frame, true);
        const cv::Mat expected = p.LiveViewImage(whole, false);
        ASSERT_EQ(view.size(), expected.size());
        EXPECT_EQ(cv::norm(view, expected, cv::NORM_INF), 0.0);
        // And at the screen's size.
        EXPECT_EQ(cv::norm(p.LiveViewImage(frame, true, cv::Size(416, 312)),
                           p.LiveViewImage(whole, false, cv::Size(416, 312)), cv::NORM_INF),
                  0.0);
    }
}

}  // namespace
}  // namespace smt::test
