// Mark correction against the simulated machine and its mark camera: the board's
// two marks give its offsets and rotation, a part's own mark and the visual origin
// are centred, and every failure ends with its message. The world's true board
// differs from the job's; X and Y pulse factors differ and the camera sits off
// nozzle 1 in both axes, so a swapped axis or sign shows.
//
// Most cases take their frames through the panel's ordinary camera, whose test
// source draws the world's mark-camera view at each query (so a frame always shows
// where the machine stands, and a script can spoil single frames); one case takes
// them from the published industrial camera.
#include "../link/world_fixture.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <tuple>

#include <opencv2/imgproc.hpp>

#include "base/command_ids.h"
#include "base/globals.h"
#include "base/view_messages.h"
#include "joblist/part_list_texts.h"
#include "joblist/pcb_records.h"
#include "joblist/run_board.h"
#include "joblist/run_toolbar.h"
#include "link/link_lost.h"
#include "link/position_counters.h"
#include "link/positioning.h"
#include "run/mark_correction.h"
#include "run/run_camera.h"
#include "run/run_geometry.h"
#include "run_state/run_events.h"
#include "vision/camera_ds.h"
#include "vision/camera_service.h"
#include "vision/result_slots.h"
#include "vision/set_view.h"

namespace smt::test {
namespace {

constexpr double kPx = 100, kPy = 80;         // pulses per mm, program and machine
constexpr double kCamX = 40, kCamY = 12;      // mark camera from nozzle 1 (mm)
constexpr double kZoom = 40;                  // mark camera, pixels per mm
const sim::Vec kTrueOrigin{100.4, -200.3};    // the board as it lies
constexpr double kTrueTurn = 0.5;             // degrees, counter-clockwise
const sim::Vec kMark1{5, 5}, kMark2{75, 55};  // board frame

// The world's mark-camera view, drawn when the panel's camera is read. Script steps:
// "black" a dark frame, "none" no sample; anything else (or an empty script) the view.
struct VideoScript {
    std::mutex mutex;
    sim::World* world = nullptr;
    std::deque<std::string> steps;
    std::function<cv::Mat()> still;  // drawn instead of the world when set
    int reads = 0;
};

class WorldVideo : public VideoSampleSource {
public:
    explicit WorldVideo(std::shared_ptr<VideoScript> s) : m_s(std::move(s)) {}
    bool Open(int, int, int) override { return true; }
    bool Read(cv::Mat* sample) override {
        std::string step;
        std::function<cv::Mat()> still;
        int n = 0;
        {
            std::lock_guard lock(m_s->mutex);
            n = ++m_s->reads;
            if (!m_s->steps.empty()) step = m_s->steps.front(), m_s->steps.pop_front();
            still = m_s->still;
        }
        if (step == "none") return false;
        if (step == "black") *sample = cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(0));
        else if (still) *sample = still();
        else *sample = m_s->world->Render(sim::CameraRole::Mark, 640, 480, 3, static_cast<std::uint64_t>(n));
        return true;
    }
    void Close() override {}

private:
    std::shared_ptr<VideoScript> m_s;
};

class MarkCorrection : public WorldSimTest {
protected:
    void SetUp() override {
        WorldSimTest::SetUp();
        fields.m_VisualZoom = kZoom;
        fields.m_DetectPrecision = 20;
        fields.m_VisualBox = 3;
        fields.m_MarkDiameter = 1;
        fields.m_LightContrast = 0;  // Otsu
        fields.m_LightBrightness = 200;
        fields.m_VisualTimes = 3;
        fields.m_MarkCollectTime = 0;
        TheRunToolbarPort().pcbEditFields = [this] { return fields; };
    }
    void TearDown() override {
        WaitIdle();
        TheSetView().CloseDsCameras();
        TheVideoSourcePort() = VideoSourcePort{};
        TheCameraService().Shutdown();
        TheRunToolbarPort().pcbEditFields = nullptr;
        ThePositioningPort() = PositioningPort{};
        StoreRunBoard(RunBoardState{});
        g_HighSpeedCamera = 0;
        g_MarkCameraOn = false;
        g_CurrentCamera = 0;
        g_RunContinue = false;
        g_Homed = false, g_HeadResetOk = false;
        g_MachineType = 0;
        g_CameraToNozzle1Pulses = {};
        g_PulsesPerMm = {};
        g_CellOriginPulseX = 0, g_CellOriginPulseY = 0;
        g_Mark1OffsetX = 0, g_Mark1OffsetY = 0, g_Mark2OffsetX = 0, g_Mark2OffsetY = 0;
        g_BoardRotation = 0.0;
        g_MarkIndex = 1;
        WorldSimTest::TearDown();
    }

    static sim::Scenario World(double turn = kTrueTurn, std::vector<sim::Disc> marks = {}) {
        sim::Scenario s = sim::Scenario::Default();
        s.pulsesX = kPx, s.pulsesY = kPy;
        s.markCameraOffset = {kCamX, kCamY};
        s.markCamera.pixelsPerMm = kZoom;
        s.boards[0].origin = kTrueOrigin;
        s.boards[0].rotation = turn;
        s.boards[0].marks = marks.empty() ? std::vector<sim::Disc>{sim::Disc{kMark1.x, kMark1.y, 1.0, -1},
                                                                   sim::Disc{kMark2.x, kMark2.y, 1.0, -1}}
                                          : marks;
        return s;
    }

    // The world on `scenario`, the program on one link; frames from the published
    // industrial camera (`sdk`) or from the panel's ordinary camera.
    void Machine(bool serial, sim::Scenario scenario, bool sdk = false) {
        if (sdk) {
            // The mark camera alone, at the size of the ordinary cameras: a smaller
            // image is drawn sooner, so a frame shows where the head stands.
            sim::SimConfig c;
            c.serial = serial, c.serialDir = dir.Path(), c.comNumber = 5;
            c.udp = !serial, c.udpPort = 0, c.discoveryPort = discoveryPort;
            c.cameras = true;
            c.cameraSpecs = std::string(sim::kMarkCameraName) + ":640x480";
            sim = std::make_unique<sim::Simulator>(c);
            sim->UseScenario(std::move(scenario));
            std::string error;
            ASSERT_TRUE(sim->Start(&error)) << error;
        } else {
            StartWorld(0, std::move(scenario), serial, !serial, false);
        }
        ResetCommandWorld(serial);
        ConnectToWorld(serial);
        if (HasFatalFailure()) return;
        g_MachineType = 0;
        ThePulseFactors().m_X_Pulse = kPx;
        ThePulseFactors().m_Y_Pulse = kPy;
        g_PulsesPerMmX = kPx;
        g_PulsesPerMmY = kPy;
        g_CameraToNozzle1Pulses = {static_cast<std::int32_t>(kCamX * kPx), static_cast<std::int32_t>(kCamY * kPy)};
        SpeedTypeTable approach, centring;
        approach.SetPair(0, {41, 141}), approach.SetPair(1, {42, 142});
        centring.SetPair(0, {51, 151}), centring.SetPair(1, {52, 152});
        TheSpeedTemplates().SetTable(SpeedType::VisualSmt, approach);
        TheSpeedTemplates().SetTable(SpeedType::VisualCorrection, centring);
        g_RunContinue = true;
        g_hRunPauseGate.Set();
        if (sdk) {
            g_HighSpeedCamera = 1;
            g_MarkCameraOn = true;
            ASSERT_TRUE(TheCameraService().InitCameras());
        } else {
            g_HighSpeedCamera = 0;
            video->world = &world();
            TheVideoSourcePort().count = [] { return 1; };
            TheVideoSourcePort().make = [v = video] { return std::make_unique<WorldVideo>(v); };
            ASSERT_TRUE(TheSetView().OpenCamera(false, 1, 0));
        }
        machine().ClearRecords();
        hooks.Take();
    }

    // The job's board: origin (100, -200), the marks where the board frame has them.
    void Job(sim::Vec mark2 = kMark2) {
        PcbRecord r;
        r.m_OriginX = 100, r.m_OriginY = -200;
        r.m_Mark1X = kMark1.x, r.m_Mark1Y = kMark1.y;
        r.m_Mark2X = mark2.x, r.m_Mark2Y = mark2.y;
        r.m_MarkEnable = 1;
        const RunBoardState s = MakeRunBoard(r, kPx, kPy);
        StoreRunBoard(s);
        g_CellOriginPulseX = s.g_RunOriginPulseX;
        g_CellOriginPulseY = s.g_RunOriginPulseY;
    }

    // Where a board mark truly lies less where the job puts it (mm).
    static sim::Vec TrueOffset(sim::Vec mark, double turn = kTrueTurn) {
        const sim::Vec truly = sim::Add(kTrueOrigin, sim::Rotate(mark, turn));
        return sim::Sub(truly, sim::Add({100, -200}, mark));
    }

    // The head to (x, y) mm at once.
    void HeadTo(double x, double y) {
        XYAMove m;
        m.xy = {static_cast<std::int32_t>(x * kPx) - g_PulseX, {10, 100}, static_cast<std::int32_t>(y * kPy) - g_PulseY,
                {10, 100}};
        ASSERT_TRUE(MoveXYA(m));
        machine().ClearRecords();
    }

    std::vector<std::string> Lines(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& t : Traces())
            if (t.rfind(prefix, 0) == 0) out.push_back(t);
        return out;
    }
    int Reads() {
        std::lock_guard lock(video->mutex);
        return video->reads;
    }
    void Script(std::deque<std::string> steps) {
        std::lock_guard lock(video->mutex);
        video->steps = std::move(steps);
    }
    // The X speed codes ("start/run") of each X/Y move.
    std::vector<std::string> XSpeeds(bool serial) {
        std::vector<std::string> out;
        for (const std::string& s : MoveSpeeds(machine().Frames(), serial)) out.push_back(s.substr(0, s.find(' ')));
        return out;
    }

    PcbEditFields fields;
    std::shared_ptr<VideoScript> video = std::make_shared<VideoScript>();
};

// ---- the board's marks ---------------------------------------------------------------

TEST_F(MarkCorrection, ShiftedAndTurnedBoardGivesBothOffsetsAndTheRotation) {
    Machine(true, World(), true);  // the published industrial camera
    fields.m_MarkCollectTime = 500;  // frames drawn while the head still moved are past
    Job();
    ASSERT_TRUE(CorrectByTwoMarks()) << ::testing::PrintToString(Traces());
    EXPECT_EQ(g_MarkIndex.load(), 2);
    const sim::Vec o1 = TrueOffset(kMark1), o2 = TrueOffset(kMark2);
    EXPECT_NEAR(g_Mark1OffsetX / kPx, o1.x, 0.03);
    EXPECT_NEAR(g_Mark1OffsetY / kPy, o1.y, 0.03);
    EXPECT_NEAR(g_Mark2OffsetX / kPx, o2.x, 0.03);
    EXPECT_NEAR(g_Mark2OffsetY / kPy, o2.y, 0.03);
    EXPECT_NEAR(g_BoardRotation.load(), kTrueTurn, 0.05);
    EXPECT_EQ(Lines("Mark: ").size(), 6u);
    EXPECT_TRUE(boxes.Texts().empty());
    // Two moves to the marks at the vision-placement speeds, then three centring
    // moves each at the vision-centring speeds; the first goes to Mark1 less the camera.
    const auto moves = FramesOf(0x64);
    ASSERT_EQ(moves.size(), 8u);
    const auto x = XSpeeds(true);
    EXPECT_EQ(std::make_tuple(x[0], x[1], x[4]), std::make_tuple("41/141", "51/151", "41/141"));
    const std::int32_t mark2X = 10000 + 7500 - 4000, mark2Y = -16000 + 4400 - 960;
    EXPECT_EQ(std::make_tuple(g_TargetPulseX.load(), g_TargetPulseY.load()), std::make_tuple(mark2X, mark2Y));
    // The camera stands on the true Mark2: its counters are the target plus Mark2's offset.
    EXPECT_EQ(g_PulseX.load(), mark2X + g_Mark2OffsetX);
    EXPECT_EQ(g_PulseY.load(), mark2Y + g_Mark2OffsetY);
    ExpectCountersAtMachine();
}

// The machine's cameras stop with the simulated machine and come back with it. While
// they are gone the run's frame says which camera gives no picture (the last one is
// never measured) and the panel finds the picture stale; the mark camera's grab
// thread opens the camera again once it is back, and the next vision test and the
// next mark correction measure frames of the machine as it stands then.
TEST_F(MarkCorrection, CamerasComeBackAfterTheMachineRestartsAndOnlyFreshFramesAreMeasured) {
    Machine(true, World(), true);
    fields.m_MarkCollectTime = 500;
    Job();
    ASSERT_TRUE(CorrectByTwoMarks());  // the camera stands centred on Mark2
    SetView& panel = TheSetView();
    panel.m_PixelsPerMm = kZoom, panel.m_VisualSize = 3, panel.m_Light_Contrast = 0, panel.m_BinaryImg = 0;
    TheCameraService().hooks().visionTest = [](int, const cv::Mat& frame) {
        TheSetView().RunVisionTest(&frame, kMarkResultSlot, false);
    };

    const sim::SimConfig config = sim->config();
    sim->Stop();
    GetSerialLink().Close();
    hooks.Take();
    EXPECT_FALSE(AcquireRunFrame(kMarkCamera, 0, std::chrono::milliseconds(500)));
    EXPECT_EQ(Lines(panel.NoPictureText(kMarkCamera)).size(), 1u);
    EXPECT_TRUE(WaitUntil([] { return TheCameraService().PictureStale(kMarkCamera); }, std::chrono::seconds(6)));

    // The machine starts again at home and the link is made again.
    sim = std::make_unique<sim::Simulator>(config);
    sim->UseScenario(World());
    std::string error;
    ASSERT_TRUE(sim->Start(&error)) << error;
    ClearPositionCounters();
    ConnectToWorld(true);
    if (HasFatalFailure()) return;
    g_RunContinue = true;
    EXPECT_TRUE(WaitUntil([] { return !TheCameraService().PictureStale(kMarkCamera); }, std::chrono::seconds(6)));

    // The camera 0.6 mm beyond Mark1 in X: the vision test sees Mark1 left of the
    // middle, where a picture from before the restart showed Mark2 in it.
    const sim::Vec mark1 = sim::Add(kTrueOrigin, sim::Rotate(kMark1, kTrueTurn));
    HeadTo(mark1.x - kCamX + 0.6, mark1.y - kCamY);
    if (HasFatalFailure()) return;
    hooks.Take();
    panel.OnBnClickedVisionTest();
    ASSERT_TRUE(WaitUntil([this] { return !Lines("Visual Error !").empty() || !Lines("Mark: ").empty(); }));
    const auto seen = Lines("Mark: ");
    ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(Traces());
    double x = 0, y = 0, d = 0;
    ASSERT_EQ(std::sscanf(seen[0].c_str(), "Mark: X = %lf，Y = %lf，D = %lf", &x, &y, &d), 3) << seen[0];
    EXPECT_NEAR(x, 0.6, 0.1);
    EXPECT_NEAR(y, 0.0, 0.1);

    // The next correction finds both marks where they lie.
    ASSERT_TRUE(CorrectByTwoMarks()) << ::testing::PrintToString(Traces());
    EXPECT_NEAR(g_Mark1OffsetX / kPx, TrueOffset(kMark1).x, 0.03);
    EXPECT_NEAR(g_Mark2OffsetY / kPy, TrueOffset(kMark2).y, 0.03);
    // The serial port's loss when the machine stopped was told once, and nothing else.
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LinkLostText()});
    ExpectCountersAtMachine();
}

TEST_F(MarkCorrection, BoardWithoutMark2IsCorrectedByMark1Only) {
    Machine(true, World(kTrueTurn, {sim::Disc{kMark1.x, kMark1.y, 1.0, -1}}));
    Job({0, 0});
    g_BoardRotation = 3.0, g_Mark2OffsetX = 7;  // left from an earlier board
    ASSERT_TRUE(CorrectByTwoMarks());
    const sim::Vec o1 = TrueOffset(kMark1);
    EXPECT_NEAR(g_Mark1OffsetX / kPx, o1.x, 0.03);
    EXPECT_NEAR(g_Mark1OffsetY / kPy, o1.y, 0.03);
    EXPECT_EQ(std::make_tuple(g_Mark2OffsetX.load(), g_Mark2OffsetY.load(), g_BoardRotation.load()),
              std::make_tuple(0, 0, 0.0));
    EXPECT_EQ(g_MarkIndex.load(), 1);
    EXPECT_EQ(FramesOf(0x64).size(), 4u);  // one move to Mark1, three centring moves
    EXPECT_EQ(Reads(), 3);
}

TEST_F(MarkCorrection, DarkMarksOnABrightBoardAreFoundWithTheColourReversal) {
    sim::Scenario s = World(kTrueTurn, {sim::Disc{kMark1.x, kMark1.y, 1.0, -1}});
    s.markCamera.inverted = true;
    Machine(true, s);
    Job({0, 0});
    fields.m_ImageColorReversal = 1;
    ASSERT_TRUE(CorrectByTwoMarks());
    const sim::Vec o1 = TrueOffset(kMark1);
    EXPECT_NEAR(g_Mark1OffsetX / kPx, o1.x, 0.03);
    EXPECT_NEAR(g_Mark1OffsetY / kPy, o1.y, 0.03);
    fields.m_ImageColorReversal = 0;  // the bright board is no mark
    EXPECT_FALSE(CorrectByTwoMarks());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_30")});
}

TEST_F(MarkCorrection, NoPassesTakeNoFrame) {
    Machine(true, World());
    Job();
    fields.m_VisualTimes = 0;
    ASSERT_TRUE(CorrectByTwoMarks());
    EXPECT_EQ(Reads(), 0);
    EXPECT_EQ(FramesOf(0x64).size(), 2u);  // the two moves to the marks only
    EXPECT_EQ(std::make_tuple(g_Mark1OffsetX.load(), g_Mark1OffsetY.load(), g_Mark2OffsetX.load(),
                              g_Mark2OffsetY.load(), g_BoardRotation.load()),
              std::make_tuple(0, 0, 0, 0, 0.0));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(MarkCorrection, MarksCloserThanFivePulsesStopWithTheMessage) {
    // Mark2 0.03 mm right of and 0.02 mm above Mark1: (3, 1) pulses apart.
    Machine(true, World(0.0, {sim::Disc{kMark1.x, kMark1.y, 1.0, -1}}));
    Job({kMark1.x + 0.03, kMark1.y + 0.02});
    EXPECT_FALSE(CorrectByTwoMarks());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Mark2 to Mark1 length is too short!!"});
    EXPECT_EQ(Lines("Mark: ").size(), 6u) << "both marks were found first";
    EXPECT_EQ(g_BoardRotation.load(), 0.0);
}

// Every way a board mark can fail: the message, false, and no centring move.
TEST_F(MarkCorrection, BoardMarkFailures) {
    const std::string size = PartListText("Message_30"), camera = PartListText("Message_29");
    struct Case {
        const char* what;
        double diameter;                  // of the mark in the world
        std::deque<std::string> script;   // the camera's frames
        bool noCamera;
        std::string box;
        std::size_t lines;                // "Mark: " trace lines
    };
    const std::vector<Case> cases = {
        {"diameter beyond the tolerance", 1.25, {}, false, size, 1},
        {"diameter below it", 0.75, {}, false, size, 1},
        {"a disc as large as the window", 3.2, {}, false, size, 0},
        {"nothing in the frame", 1.0, {"black"}, false, size, 0},
        {"no frame at all", 1.0, {"none"}, false, size, 0},
        {"no camera", 1.0, {}, true, camera, 0},
    };
    Machine(true, World());
    Job({0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world().SetScenario(World(0.0, {sim::Disc{kMark1.x, kMark1.y, c.diameter, -1}}));
        Script(c.script);
        if (c.noCamera) TheSetView().CloseDsCameras();
        boxes.Clear();
        machine().ClearRecords();
        hooks.Take();
        EXPECT_FALSE(CorrectByTwoMarks());
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.box});
        EXPECT_EQ(FramesOf(0x64).size(), 1u) << "only the move to the mark";
        EXPECT_EQ(Lines("Mark: ").size(), c.lines);
    }
}

TEST_F(MarkCorrection, StopAfterTheMoveToMark1EndsWithoutMessage) {
    Machine(true, World());
    Job();
    g_RunContinue = false;
    EXPECT_FALSE(CorrectByTwoMarks());
    EXPECT_EQ(FramesOf(0x64).size(), 1u);
    EXPECT_EQ(Reads(), 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(MarkRules, DiameterBoundsAreInclusiveAndTheCircleMustBeSmallerThanHalfTheWindow) {
    struct Diameter {
        double d, size;
        int precision;
        bool within;
    };
    for (const Diameter& c : std::vector<Diameter>{{0.8, 1.0, 20, true},
                                                   {1.2, 1.0, 20, true},
                                                   {0.7999, 1.0, 20, false},
                                                   {1.2001, 1.0, 20, false},
                                                   {2.25, 2.5, 10, true},
                                                   {2.75, 2.5, 10, true},
                                                   {2.76, 2.5, 10, false},
                                                   {1.0, 1.0, 0, true},
                                                   {1.0001, 1.0, 0, false}})
        EXPECT_EQ(MarkDiameterWithin(c.d, c.size, c.precision), c.within) << c.d << " of " << c.size << " ±" << c.precision;
    struct Circle {
        MarkCircle c;
        double window, zoom;
        bool accepted;
    };
    for (const Circle& c : std::vector<Circle>{{{60, 60, 59.99f}, 3, 40, true},
                                               {{60, 60, 60.0f}, 3, 40, false},  // radius half the window
                                               {{-1, 5, 10.0f}, 3, 40, false},
                                               {{10, 10, 25.0f}, 2.5, 20, false},
                                               {{10, 10, 24.9f}, 2.5, 20, true}})
        EXPECT_EQ(MarkCircleAccepted(c.c, c.window, c.zoom), c.accepted) << c.c.r << " in " << c.window;
}

// ---- a part's own mark -----------------------------------------------------------------

class SpecifiedMark : public MarkCorrection {
protected:
    // The camera 0.4 mm right of and 0.25 mm below Mark1 (no turn).
    void Prepare() {
        Machine(true, World(0.0));
        Job();
        HeadTo(100.4 + kMark1.x - kCamX + 0.4, -200.3 + kMark1.y - kCamY - 0.25);
    }
    bool Run(int mode, int passes, int limit, double size = 1.0) {
        return RecognizeSpecifiedMark(mode, 20, 0, 200, 0, passes, 0, limit, &ox, &oy, 3.0, size);
    }
    std::int32_t ox = 5, oy = -7;  // the caller's sums go on from here
};

TEST_F(SpecifiedMark, CentresAndAddsItsMovesToTheCallersSums) {
    Prepare();
    ASSERT_TRUE(Run(1, 3, 1000));
    EXPECT_NEAR((ox - 5) / kPx, -0.4, 0.03);
    EXPECT_NEAR((oy + 7) / kPy, 0.25, 0.03);
    EXPECT_EQ(Lines("SpecifyMark: ").size(), 3u);
    EXPECT_EQ(FramesOf(0x64).size(), 3u);
    EXPECT_EQ(XSpeeds(true).front(), "51/151");
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SpecifiedMark, AFirstLookWithoutMarkAddsOnePassALaterOneStops) {
    Prepare();
    Script({"black"});
    ASSERT_TRUE(Run(1, 2, 1000));
    EXPECT_EQ(Reads(), 3);
    EXPECT_EQ(FramesOf(0x64).size(), 2u);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_NEAR((ox - 5) / kPx, -0.4, 0.03);

    machine().ClearRecords();
    Script({"", "none"});  // the second frame never comes
    EXPECT_FALSE(Run(1, 3, 1000));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_38")});
    EXPECT_EQ(FramesOf(0x64).size(), 1u);
}

TEST_F(SpecifiedMark, ACorrectionBeyondTheLimitAsksFirst) {
    Prepare();
    // 0.4 mm is 40 pulses in X: beyond a limit of 30. No: nothing moves.
    boxes.Push(plat::MsgAnswer::No);
    EXPECT_FALSE(Run(1, 2, 30));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_39")});
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].buttons, plat::MsgButtons::YesNo);
    EXPECT_TRUE(boxes.Seen()[0].topmost);
    EXPECT_TRUE(FramesOf(0x64).empty());
    EXPECT_EQ(std::make_tuple(ox, oy), std::make_tuple(5, -7));
    // Yes: every pass moves, asking again while the sum stays beyond the limit.
    boxes.Clear();
    boxes.Push(plat::MsgAnswer::Yes), boxes.Push(plat::MsgAnswer::Yes);
    EXPECT_TRUE(Run(1, 2, 30));
    EXPECT_EQ(FramesOf(0x64).size(), 2u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, PartListText("Message_39")));
    EXPECT_NEAR((ox - 5) / kPx, -0.4, 0.03);
}

TEST_F(SpecifiedMark, RoundMarkOfTheWrongSizeStops) {
    Prepare();
    EXPECT_FALSE(Run(1, 2, 1000, 1.5));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_30")});
    EXPECT_EQ(boxes.Seen()[0].buttons, plat::MsgButtons::Ok);
    EXPECT_TRUE(FramesOf(0x64).empty());
}

// Mode 2 measures the mark as a box and asks about its width only.
TEST_F(SpecifiedMark, BoxMarkAsksAboutItsWidthOnly) {
    Prepare();
    // A bar 2 mm across and 0.8 mm high, 0.5 mm left of the centre and 0.25 mm above it.
    video->still = [] {
        cv::Mat f(480, 640, CV_8UC3, cv::Scalar::all(20));
        cv::rectangle(f, cv::Rect(320 - 20 - 40, 240 - 10 - 16, 80, 32), cv::Scalar::all(220), cv::FILLED);
        return f;
    };
    // The box's width is the bar's vertical side: with 0.8 nominal no question,
    // whatever the height (2 mm) is.
    ASSERT_TRUE(Run(2, 1, 1000, 0.8));
    ASSERT_EQ(Lines("Mark: ").size(), 1u);
    double x = 0, y = 0, a = 0, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(Lines("Mark: ")[0].c_str(), "Mark: X = %lf，Y = %lf，A = %lf，W = %lf，H = %lf", &x, &y, &a, &w,
                          &h),
              5);
    EXPECT_NEAR(w, 0.8, 0.1);
    EXPECT_NEAR(h, 2.0, 0.1);
    EXPECT_NEAR(x, 0.5, 0.05);
    EXPECT_NEAR(y, 0.25, 0.05);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_NEAR((ox - 5) / kPx, -0.5, 0.05);
    EXPECT_NEAR((oy + 7) / kPy, 0.25, 0.05);
    // A nominal width of 2 (the height) asks; No ends without a move, Yes moves.
    machine().ClearRecords();
    boxes.Push(plat::MsgAnswer::No);
    EXPECT_FALSE(Run(2, 1, 1000, 2.0));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_30")});
    EXPECT_EQ(boxes.Seen()[0].buttons, plat::MsgButtons::YesNo);
    EXPECT_TRUE(FramesOf(0x64).empty());
    boxes.Clear();
    boxes.Push(plat::MsgAnswer::Yes);
    EXPECT_TRUE(Run(2, 1, 1000, 2.0));
    EXPECT_EQ(FramesOf(0x64).size(), 1u);
}

// ---- the visual origin --------------------------------------------------------------------

class VisualOrigin : public MarkCorrection, public ::testing::WithParamInterface<Wire> {
protected:
    static constexpr sim::Vec kTarget{60.0, -30.0};
    bool serial() const { return GetParam() == Wire::Serial; }
};

TEST_P(VisualOrigin, CountersKeepTheirValuesAndEthernetTellsTheMachine) {
    sim::Scenario s = World();
    s.machineDiscs = {sim::Disc{kTarget.x, kTarget.y, 1.5, -1}};  // the target
    Machine(serial(), s);
    BasicSettings& b = TheBasicSettings();
    b.m_CottectionTimeReset = 2;
    b.m_OriginVisualCollectTime = 0;
    b.m_VisualOriginBox = 4;
    b.m_VisualOriginSize = 1.5;
    b.m_OriginLightContrast = 0;
    b.m_OriginLightBrightness = 180;
    // The camera 0.3 mm left of and 0.2 mm above the target.
    HeadTo(kTarget.x - kCamX - 0.3, kTarget.y - kCamY + 0.2);
    const std::int32_t x0 = g_PulseX, y0 = g_PulseY;
    const sim::Drives before = machine().Positions();
    RecognizeVisualOrigin();
    EXPECT_EQ(std::make_tuple(g_PulseX.load(), g_PulseY.load()), std::make_tuple(x0, y0));
    const sim::Drives after = machine().Positions();
    EXPECT_NEAR((after.x - before.x) / kPx, 0.3, 0.03);
    EXPECT_NEAR((after.y - before.y) / kPy, -0.2, 0.03);
    EXPECT_EQ(Lines("VisualOrigin: ").size(), 2u);
    EXPECT_EQ(FramesOf(0x64).size(), 2u);
    const auto told = FramesOf(0x70);
    if (serial()) {
        EXPECT_TRUE(told.empty());
    } else {
        ASSERT_EQ(told.size(), 2u);
        std::vector<std::uint8_t> want;
        for (std::int32_t v : {x0, y0})
            for (int k = 0; k < 4; ++k) want.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * k)));
        EXPECT_EQ(HexOf(told.back().data), HexOf(want));
    }
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(g_RunContinue.load()) << "the run's flag is left as it was";
}

TEST_P(VisualOrigin, WrongSizeOrNoTargetEndsWithTheMessage) {
    sim::Scenario s = World();
    s.machineDiscs = {sim::Disc{kTarget.x, kTarget.y, 1.0, -1}};
    Machine(serial(), s);
    BasicSettings& b = TheBasicSettings();
    b.m_CottectionTimeReset = 3;
    b.m_VisualOriginBox = 4;
    b.m_VisualOriginSize = 1.5;  // the target is 1.0
    b.m_OriginLightBrightness = 180;
    g_RunContinue = false;  // a positioning worker outside any run
    HeadTo(kTarget.x - kCamX, kTarget.y - kCamY);
    RecognizeVisualOrigin();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_30")});
    EXPECT_EQ(Lines("VisualOrigin: ").size(), 1u);
    EXPECT_TRUE(FramesOf(0x64).empty());
    EXPECT_FALSE(g_RunContinue.load());

    boxes.Clear();
    Script({"black"});
    b.m_VisualOriginSize = 1.0;
    RecognizeVisualOrigin();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_30")});
    EXPECT_TRUE(FramesOf(0x64).empty());

    boxes.Clear();
    b.m_CottectionTimeReset = 0;
    const int reads = Reads();
    RecognizeVisualOrigin();
    EXPECT_EQ(Reads(), reads);
    EXPECT_TRUE(boxes.Texts().empty());
}

// The positioning command's worker centres the camera through the hook the run's
// wiring fills: the camera ends on the true target, the counters on the taught one.
TEST_P(VisualOrigin, TheCameraToVisualOriginCommandCentresThroughTheHook) {
    sim::Scenario s = World();
    s.machineDiscs = {sim::Disc{kTarget.x + 0.25, kTarget.y - 0.2, 1.0, -1}};  // off where it was taught
    Machine(serial(), s);
    BasicSettings& b = TheBasicSettings();
    b.m_X_Limit = 4000, b.m_Y_Limit = -3000;
    b.m_X_VisualOrigin = kTarget.x, b.m_Y_VisualOrigin = kTarget.y;
    b.m_X_CameraToNozzle1 = kCamX, b.m_Y_CameraToNozzle1 = kCamY;
    b.m_CottectionTimeReset = 2;
    b.m_VisualOriginBox = 4, b.m_VisualOriginSize = 1.0, b.m_OriginLightBrightness = 180;
    SetPositioningMessages(BuiltinViewMessages());
    ThePositioningPort().recognizeVisualOrigin = [] { RecognizeVisualOrigin(); };
    ASSERT_TRUE(OnPositioningCommand(cmd::CameraToVisualOrigin));
    ASSERT_TRUE(WaitIdle());
    const std::int32_t tx = static_cast<std::int32_t>((kTarget.x - kCamX) * kPx);
    const std::int32_t ty = static_cast<std::int32_t>((kTarget.y - kCamY) * kPy);
    EXPECT_EQ(std::make_tuple(g_PulseX.load(), g_PulseY.load()), std::make_tuple(tx, ty));
    const sim::Drives d = machine().Positions();
    EXPECT_NEAR((d.x - tx) / kPx, 0.25, 0.03);
    EXPECT_NEAR((d.y - ty) / kPy, -0.2, 0.03);
    EXPECT_EQ(FramesOf(0x70).size(), serial() ? 0u : 2u);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
}

INSTANTIATE_TEST_SUITE_P(Links, VisualOrigin, ::testing::Values(Wire::Serial, Wire::Ethernet), WireName);

// ---- the run's frames ---------------------------------------------------------------------

TEST(RunCamera, InvertTurnsEveryByteAndLeavesTheSourceAlone) {
    cv::Mat grey(2, 3, CV_8UC1, cv::Scalar(10));
    cv::Mat colour(1, 2, CV_8UC3, cv::Scalar(0, 100, 255));
    cv::Mat shared = colour;
    InvertFrame(colour);
    EXPECT_EQ(colour.at<cv::Vec3b>(0, 1), cv::Vec3b(255, 155, 0));
    EXPECT_EQ(shared.at<cv::Vec3b>(0, 1), cv::Vec3b(0, 100, 255)) << "the camera slot's image stays as it was";
    InvertFrame(grey);
    EXPECT_EQ(cv::countNonZero(grey != 245), 0);
}

TEST(RunCamera, NoCameraModeHasNoCamera) {
    ScriptedResponder boxes;
    g_HighSpeedCamera = 2;
    EXPECT_FALSE(RunCameraPresent(kMarkCamera));
    EXPECT_FALSE(CheckRunCamera(kVisionCamera1));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{PartListText("Message_29")});
    EXPECT_TRUE(boxes.Seen()[0].topmost);
    g_HighSpeedCamera = 1;  // industrial cameras, but none opened
    g_MarkCameraOn = true;
    EXPECT_FALSE(RunCameraPresent(kMarkCamera));
    EXPECT_FALSE(AcquireRunFrame(kMarkCamera, 0, std::chrono::milliseconds(50)));
    g_MarkCameraOn = false;
    g_HighSpeedCamera = 0;
}

}  // namespace
}  // namespace smt::test
