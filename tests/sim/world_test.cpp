// The simulated world against the recognition library: which way the cameras see,
// light, fly passes, where placed parts truly land, the standard piece, and an
// injected error report that changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include <opencv2/calib3d.hpp>
#include <thread>

#include "cameras.h"
#include "codec.h"
#include "machine.h"
#include "simulator.h"
#include "test_support.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"
#include "world.h"

using namespace sim;

namespace {

struct Build {
    Bytes b;
    Build& u8(int v) { b.push_back(static_cast<std::uint8_t>(v)); return *this; }
    Build& le32(std::int32_t v) { PutLe32(b, v); return *this; }
    Build& le16(int v) { PutLe16(b, static_cast<std::uint16_t>(v)); return *this; }
    Build& zeros(std::size_t n) { b.insert(b.end(), n, 0); return *this; }
};

struct NullSink : smt::VisionResultSink {
    void Publish(int, cv::Mat) override {}
};

class WorldTest : public ::testing::Test {
protected:
    void Start(Scenario s, int type = 0) {
        machine = std::make_unique<Machine>(type);
        world = std::make_unique<World>(*machine, s);
        world->SetMachineType(type);
        machine->SetObserver(world.get());
    }
    void TearDown() override {
        if (machine) machine->SetObserver(nullptr);
    }
    Outcome Run(std::uint16_t code, const Bytes& d) {
        done.emplace_back(code, d);
        return machine->Execute(Link::Udp, code, d);
    }
    void Axis(int axis, std::int32_t delta) { Run(0x61, Build().u8(axis).le32(0).le32(delta).le32(1).le32(2).b); }
    // Nozzle k over the point (machine mm), to the nearest pulse.
    void NozzleTo(int k, Vec p) {
        const Scenario s = world->GetScenario();
        const Drives d = machine->Positions();
        const Vec off = k > 1 ? s.nozzleOffset[k - 1] : Vec{};
        Axis(0, static_cast<std::int32_t>(std::lround((p.x - off.x) * s.pulsesX)) - d.x);
        Axis(1, static_cast<std::int32_t>(std::lround((p.y - off.y) * s.pulsesY)) - d.y);
    }
    void MoveMm(double dx, double dy) {
        const Scenario s = world->GetScenario();
        Axis(0, static_cast<std::int32_t>(std::lround(dx * s.pulsesX)));
        Axis(1, static_cast<std::int32_t>(std::lround(dy * s.pulsesY)));
    }
    // Pick with nozzle 1 (axis 2, positive stroke), place likewise.
    void Pick(int axis = 2, int depth = 500) { Run(0x67, Build().u8(axis).le32(depth).le32(1).le32(2).le16(100).u8(0).b); }
    Outcome Place(int axis = 2, int depth = 500) {
        return Run(0x68, Build().u8(axis).le32(depth).le32(1).le32(2).le32(depth).u8(5).le16(200).u8(0).b);
    }
    bool Mark(CameraRole role, double* x, double* y) {
        const cv::Mat f = world->Render(role, 640, 480, 1, 1);
        smt::MarkCircle c;
        *x = *y = 99;
        smt::FindMark(*x, *y, false, c, f, 0, 10.0, 20.0, &sink);
        return *x != 99;
    }
    bool Part(int visionType, double* x, double* y, double* a) {
        const cv::Mat f = world->Render(CameraRole::Vision1, 640, 480, 3, 1);
        smt::ComponentBox box;
        smt::FindComponent(1, *x, false, box, f, 0, visionType, *y, *a, 1, 15.0, 20.0, 0.0, &sink);
        return box.cx >= 0;
    }

    std::unique_ptr<Machine> machine;
    std::unique_ptr<World> world;
    NullSink sink;
    std::vector<std::pair<std::uint16_t, Bytes>> done;  // every command run, in order
};

Scenario OneFeeder(Vec err, double errAngle) {
    Scenario s = Scenario::Default();
    s.noiseSigma = 2.0;
    s.feeders.resize(1);
    s.feeders[0].errOffset = err;
    s.feeders[0].errAngle = errAngle;
    return s;
}

TEST_F(WorldTest, CamerasSeeTheMachineAxesTheRecognisersExpect) {
    Scenario s = OneFeeder({0.3, -0.2}, 5.0);
    s.machineDiscs = {Disc{101.5, -99.5, 1.0, -1}};  // 1.5 mm to +X, 0.5 mm to +Y of (100, -100)
    Start(s);
    NozzleTo(1, Sub({100, -100}, s.markCameraOffset));
    double x, y;
    ASSERT_TRUE(Mark(CameraRole::Mark, &x, &y));
    EXPECT_NEAR(x, -1.5, 0.06);  // right of the centre
    EXPECT_NEAR(y, 0.5, 0.06);   // above it
    MoveMm(-x, y);               // the mark-centring move
    ASSERT_TRUE(Mark(CameraRole::Mark, &x, &y));
    EXPECT_NEAR(x, 0.0, 0.06);
    EXPECT_NEAR(y, 0.0, 0.06);

    // A part picked off-centre and turned: centred by (+X, +Y), its angle removed by -A.
    NozzleTo(1, s.feeders[0].pick);
    Pick();
    ASSERT_TRUE(world->Holds(1));
    NozzleTo(1, s.vision[0].position);
    double a = 0;
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(Part(1, &x, &y, &a)) << pass;
        MoveMm(x, y);
        Axis(4, static_cast<std::int32_t>(std::lround(-a * s.pulsesA)));
    }
    ASSERT_TRUE(Part(1, &x, &y, &a));
    EXPECT_NEAR(x, 0.0, 0.06);
    EXPECT_NEAR(y, 0.0, 0.06);
    EXPECT_NEAR(a, 0.0, 0.5);

    // Light 0: black, nothing found; the next light command brings the scene back.
    Run(0x04, {2, 0});
    EXPECT_EQ(cv::countNonZero(world->Render(CameraRole::Vision1, 64, 48, 1, 1)), 0);
    EXPECT_FALSE(Part(1, &x, &y, &a));
    Run(0x04, {2, 200});
    EXPECT_TRUE(Part(1, &x, &y, &a));
    // One seed, one frame.
    EXPECT_EQ(cv::norm(world->Render(CameraRole::Vision1, 320, 240, 1, 7), world->Render(CameraRole::Vision1, 320, 240, 1, 7)), 0.0);
}

// A frame is drawn once per scene and handed out again while nothing in view
// changes: every handed-out frame is what a world drawing afresh shows, and its
// own copy.
TEST_F(WorldTest, AnUnchangedSceneGivesItsFrameAgainAndEveryChangeIsSeen) {
    Scenario s = OneFeeder({0.3, -0.2}, 5.0);
    s.machineDiscs = {Disc{101.5, -99.5, 1.0, -1}};
    s.vision[1].distortion = -0.3;
    Start(s);
    // The same scene in a world that has drawn nothing yet: every command again.
    const auto fresh = [&](CameraRole role, int w, int h, int channels, std::uint64_t n) {
        Machine twin(0);
        World other(twin, s);
        other.SetMachineType(0);
        twin.SetObserver(&other);
        for (const auto& [code, data] : done) twin.Execute(Link::Udp, code, data);
        const cv::Mat f = other.Render(role, w, h, channels, n);
        twin.SetObserver(nullptr);
        return f;
    };
    const auto same = [](const cv::Mat& a, const cv::Mat& b) {
        return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
    };
    NozzleTo(1, Sub({100, -100}, s.markCameraOffset));
    cv::Mat first = world->Render(CameraRole::Mark, 320, 240, 3, 1);
    EXPECT_TRUE(same(first, fresh(CameraRole::Mark, 320, 240, 3, 1)));
    const cv::Mat kept = first.clone();
    first.setTo(cv::Scalar::all(7));  // the caller's copy: the next frame is untouched
    EXPECT_TRUE(same(world->Render(CameraRole::Mark, 320, 240, 3, 1), kept));
    // Another noise field, size or channel count: drawn for that.
    EXPECT_FALSE(same(world->Render(CameraRole::Mark, 320, 240, 3, 2), kept));
    EXPECT_TRUE(same(world->Render(CameraRole::Mark, 320, 240, 3, 5), kept));  // field 1 again
    EXPECT_TRUE(same(world->Render(CameraRole::Mark, 320, 240, 1, 1), fresh(CameraRole::Mark, 320, 240, 1, 1)));
    EXPECT_TRUE(same(world->Render(CameraRole::Mark, 160, 120, 3, 1), fresh(CameraRole::Mark, 160, 120, 3, 1)));
    // A move of a tenth of a millimetre, and back.
    MoveMm(0.1, 0.0);
    const cv::Mat moved = world->Render(CameraRole::Mark, 320, 240, 3, 1);
    EXPECT_FALSE(same(moved, kept));
    EXPECT_TRUE(same(moved, fresh(CameraRole::Mark, 320, 240, 3, 1)));
    MoveMm(-0.1, 0.0);
    EXPECT_TRUE(same(world->Render(CameraRole::Mark, 320, 240, 3, 1), kept));
    // The light.
    Run(0x04, {1, 40});
    const cv::Mat dim = world->Render(CameraRole::Mark, 320, 240, 3, 1);
    EXPECT_FALSE(same(dim, kept));
    EXPECT_TRUE(same(dim, fresh(CameraRole::Mark, 320, 240, 3, 1)));
    // A part picked and carried over vision camera 2 (with its lens), then turned.
    NozzleTo(1, s.feeders[0].pick);
    const cv::Mat empty = world->Render(CameraRole::Vision2, 320, 240, 1, 3);
    Pick();
    ASSERT_TRUE(world->Holds(1));
    NozzleTo(1, s.vision[1].position);
    const cv::Mat seen = world->Render(CameraRole::Vision2, 320, 240, 1, 3);
    EXPECT_FALSE(same(seen, empty));
    EXPECT_TRUE(same(seen, fresh(CameraRole::Vision2, 320, 240, 1, 3)));
    Axis(4, 100);
    const cv::Mat turned = world->Render(CameraRole::Vision2, 320, 240, 1, 3);
    EXPECT_FALSE(same(turned, seen));
    EXPECT_TRUE(same(turned, fresh(CameraRole::Vision2, 320, 240, 1, 3)));
}

// Type 5's video inputs: the first shows the camera the last 0x04 selected, the
// second (the synchronous camera) head 2's part while head 1 is over vision camera 1.
TEST_F(WorldTest, TheSwitchedInputFollowsTheCameraSelectAndTheSynchronousCameraSeesHead2) {
    const CameraRole roles[][2] = {{CameraRole::Switched, CameraRole::Synchronous}, {CameraRole::Mark, CameraRole::Vision1}};
    const int types[] = {5, 4};
    for (int i = 0; i < 2; ++i) {
        const std::vector<CameraSpec> specs = CameraSet::DefaultSpecs(2, types[i]);
        ASSERT_EQ(specs.size(), 5u);
        EXPECT_EQ(specs[3].role, roles[i][0]) << types[i];
        EXPECT_EQ(specs[4].role, roles[i][1]) << types[i];
    }
    Scenario parsed;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("synccamera 160.5 -249.5 30\n", &parsed, &error)) << error;
    ASSERT_TRUE(parsed.syncCamera.has_value());
    EXPECT_EQ(parsed.syncCamera->position.x, 160.5);
    EXPECT_EQ(parsed.syncCamera->pixelsPerMm, 30.0);
    EXPECT_FALSE(Scenario::Parse("synccamera 160 -250 0\n", &parsed, &error));

    Scenario s = OneFeeder({0.3, -0.2}, 5.0);
    s.nozzleOffset[1] = {-40.0, 0.5};
    // Where nozzle 2 stands with nozzle 1 over vision camera 1, 0.25 mm to +X and
    // 0.15 mm to -Y of it.
    ScenarioCamera sync = s.SyncCamera();
    EXPECT_EQ(sync.position.x, s.vision[0].position.x - 40.0);
    EXPECT_EQ(sync.position.y, s.vision[0].position.y + 0.5);
    sync.position = {sync.position.x + 0.25, sync.position.y - 0.15};
    s.syncCamera = sync;
    Start(s, 5);
    NozzleTo(1, s.feeders[0].pick);
    Pick(2, 500);
    NozzleTo(2, s.feeders[0].pick);
    Pick(2, -500);
    ASSERT_TRUE(world->Holds(1) && world->Holds(2));
    NozzleTo(1, s.vision[0].position);
    const auto same = [&](CameraRole a, CameraRole b) {
        return cv::norm(world->Render(a, 320, 240, 1, 3), world->Render(b, 320, 240, 1, 3)) == 0.0;
    };
    EXPECT_TRUE(same(CameraRole::Switched, CameraRole::Mark));  // before any select
    for (const auto& [camera, role] : {std::pair{2, CameraRole::Vision1}, std::pair{3, CameraRole::Vision2},
                                       std::pair{1, CameraRole::Mark}}) {
        Run(0x04, {static_cast<std::uint8_t>(camera), 200});
        EXPECT_TRUE(same(CameraRole::Switched, role)) << camera;
    }
    // Both parts carry the same pick error: the synchronous camera's reading differs
    // from vision camera 1's by its own offset from nozzle 2's spot.
    double x1, y1, a1, x2, y2, a2;
    ASSERT_TRUE(Part(1, &x1, &y1, &a1));
    const cv::Mat f = world->Render(CameraRole::Synchronous, 640, 480, 3, 1);
    smt::ComponentBox box;
    smt::FindComponent(2, x2, false, box, f, 0, 1, y2, a2, 1, 15.0, 20.0, 0.0, &sink);
    ASSERT_GE(box.cx, 0);
    EXPECT_NEAR(x2 - x1, 0.25, 0.06);
    EXPECT_NEAR(y2 - y1, -0.15, 0.06);
    EXPECT_NEAR(a2, a1, 0.3);
    // It shares vision camera 1's light.
    Run(0x04, {2, 0});
    EXPECT_EQ(cv::countNonZero(world->Render(CameraRole::Synchronous, 64, 48, 1, 1)), 0);
}

TEST_F(WorldTest, AFlyPassShowsEachHeadsPartWhereItsTriggerSawIt) {
    Scenario s = Scenario::Default();
    s.feeders.clear();
    for (int k = 1; k <= 4; ++k) {
        ScenarioFeeder f;
        f.number = k;
        f.pick = {40.0 + 10 * k, -20.0};
        f.errOffset = {0.1 * k, 0.0};
        s.feeders.push_back(f);
    }
    Start(s, 3);
    CameraSpec spec{kVision1CameraName, CameraRole::Vision1, 640, 480, true, false};
    CameraSet cams({spec}, std::shared_ptr<FrameSource>(std::shared_ptr<void>(), world.get()));
    world->SetCameras(&cams);
    SimCamera* cam = cams.Camera(0);
    cam->SetTriggerMode(2);
    cam->Play();
    const int axes[4][2] = {{2, 500}, {2, -500}, {3, 500}, {3, -500}};
    for (int k = 1; k <= 4; ++k) {
        NozzleTo(k, s.feeders[static_cast<std::size_t>(k - 1)].pick);
        Pick(axes[k - 1][0], axes[k - 1][1]);
        ASSERT_TRUE(world->Holds(k)) << k;
    }
    // The trigger values of a four-head machine, in pulses of the nozzle offsets.
    auto fly = [&](int shift) {
        const auto off = [&](int k) { return static_cast<std::int32_t>(std::lround(s.nozzleOffset[k - 1].x * s.pulsesX)); };
        const std::int32_t camX = static_cast<std::int32_t>(s.vision[0].position.x * s.pulsesX);
        NozzleTo(1, {(camX + off(2)) / s.pulsesX, s.vision[0].position.y});
        Build b;
        b.le16(1).u8(4).le32(machine->Positions().x).le32(-off(4) - 2 * off(2)).le32(0).le32(0);
        const std::int32_t t[4] = {off(2), 2 * off(2), off(3) + off(2), off(4) + off(2)};
        for (int i = 0; i < 12; ++i) b.le32(i < 4 ? t[i] + (i == 2 ? shift : 0) : 0);
        b.u8(2);
        Run(0x63, b.b);
    };
    std::mutex mutex;
    std::vector<cv::Mat> got;
    SimCamera::Listener l;
    l.frame = [&](const plat::CameraFrame& f) {
        std::lock_guard lock(mutex);
        got.push_back(cv::Mat(f.height, f.width, CV_8UC1, const_cast<std::uint8_t*>(f.pixels.data())).clone());
    };
    cam->SetListener(l);
    auto frames = [&](std::vector<double>* xs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::lock_guard lock(mutex);
        for (const cv::Mat& m : got) {
            double x = 0, y = 0, a = 0;
            smt::ComponentBox box;
            smt::FindComponent(1, x, false, box, m, 0, 1, y, a, 1, 15.0, 20.0, 0.0, &sink);
            xs->push_back(x);
        }
        got.clear();
    };
    fly(0);
    std::vector<double> xs;
    frames(&xs);
    ASSERT_EQ(xs.size(), 4u);
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(xs[static_cast<std::size_t>(k - 1)], -0.1 * k, 0.06) << k;
    // A wrong trigger value shows as the X offset; a lost trigger as a missing frame.
    {
        auto lock = world->Lock();
        world->faults().lostTriggers = 1;
    }
    fly(100);  // head 3's trigger 1 mm late
    xs.clear();
    frames(&xs);
    ASSERT_EQ(xs.size(), 3u);
    EXPECT_NEAR(xs[1], -0.3 + 1.0, 0.06);
    // A frame that no trigger took (a free-running one begun before the switch, a
    // snap) while the pass's exposures are pending shows the machine as it stands and
    // leaves every shot to its own triggered frame.
    cam->SetSlowMs(300);
    fly(0);
    (void)world->Render(CameraRole::Vision1, 640, 480, 1, 99);
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard lock(mutex);
            if (got.size() >= 4) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    xs.clear();
    frames(&xs);
    ASSERT_EQ(xs.size(), 4u);
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(xs[static_cast<std::size_t>(k - 1)], -0.1 * k, 0.06) << k;
    cam->SetListener({});
    world->SetCameras(nullptr);
}

TEST_F(WorldTest, LedgerHoldsWhereAPartTrulyLandsAndWhatStrokesDid) {
    Scenario s = OneFeeder({0.3, -0.2}, 5.0);
    s.boards[0].rotation = 10.0;
    Start(s);
    const Vec target{20.0, 15.0};  // in the board frame, at 30 degrees
    auto placeWith = [&](double offsetSign, double turnSign) {
        NozzleTo(1, s.feeders[0].pick);
        Pick();
        const double turn = turnSign * (30.0 + s.boards[0].rotation - 5.0);
        Axis(4, static_cast<std::int32_t>(std::lround(-turn * s.pulsesA)));
        const Vec offset = Rotate({0.3, -0.2}, 30.0 + s.boards[0].rotation - 5.0);
        const Vec at = Add(s.boards[0].origin, Rotate(target, s.boards[0].rotation));
        NozzleTo(1, {at.x - offsetSign * offset.x, at.y - offsetSign * offset.y});
        Place();
        Axis(4, -machine->Positions().a[0]);
        return world->ledger().Of(LedgerKind::Place).back();
    };
    const LedgerEntry right = placeWith(1, 1);
    EXPECT_EQ(right.board, 0);
    EXPECT_LT(std::hypot(right.local.x - target.x, right.local.y - target.y), 0.01);
    EXPECT_NEAR(right.localAngle, 30.0, 0.05);
    EXPECT_NEAR(right.pickError.x, 0.3, 1e-9);
    const LedgerEntry offsetFlipped = placeWith(-1, 1);
    EXPECT_GT(std::hypot(offsetFlipped.local.x - target.x, offsetFlipped.local.y - target.y), 0.4);
    const LedgerEntry turnFlipped = placeWith(1, -1);
    EXPECT_GT(std::hypot(turnFlipped.local.x - target.x, turnFlipped.local.y - target.y), 0.4);
    EXPECT_GT(std::fabs(turnFlipped.localAngle - 30.0), 60.0);
    EXPECT_EQ(world->FeederCount(0), s.feeders[0].count - 3);

    // Dispense dots: a 0x58 stroke carries its head code, a place stroke on the
    // dispensing axis (2) its valve output (2) when that is on and the nozzle empty.
    Run(0x58, Build().u8(2).le32(300).le32(1).le32(2).u8(6).zeros(14).b);
    Place(2, 250);  // valve off: no dot
    Run(0x03, Build().u8(2).u8(1).le16(0).b);
    Place(2, 250);
    const auto dots = world->ledger().Of(LedgerKind::Dispense);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(dots[0].valve * 10 + dots[1].valve, 62);
    EXPECT_DOUBLE_EQ(dots[0].depth + dots[1].depth, 5.5);

    // Holes of type 9 (surface 2.5 mm down): one per X/Y where the drill went past the
    // surface, with the net travel since it came there (2 mm when left down).
    s.drillSurface = 2.5;
    world->SetScenario(s);
    world->SetMachineType(9);
    const std::vector<int> rows[] = {{300, -200, 300, -400}, {200, -200, 300, -100}, {-200, 200, -200}};
    for (const auto& strokes : rows) {
        MoveMm(10.0, 0.0);
        for (int d : strokes) Axis(2, d);
    }
    MoveMm(10.0, 0.0);
    const auto holes = world->ledger().Of(LedgerKind::Hole);
    ASSERT_EQ(holes.size(), 2u);
    EXPECT_EQ(holes[0].depth, 0.0);
    EXPECT_DOUBLE_EQ(holes[1].depth, 2.0);
}

TEST_F(WorldTest, TypeFourTablesCarryBoardsAndFeedersUnderTheHeadAndTheX2Carriage) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("feeder 1 1 50 -20 100 2 1.25 0.6 1\nboard 400 -200 0 80 60\ntable 2\n"
                                "disc 410 -195 1 2\nmarkcamera 40 0 20\n",
                                &s, &error))
        << error;
    Start(s, 4);
    const auto to = [&](int axis, double mm) {
        const Drives d = machine->Positions();
        Axis(axis, static_cast<std::int32_t>(std::lround(mm * 100)) -
                       (axis == 0 ? d.x : axis == 1 ? d.y : axis == 9 ? d.x2 : d.y2));
    };
    // The mark camera rides on X2 and sees table Y2's lamp mark by Y2's drive.
    to(9, 410.0 - 1.5 - 40.0);
    to(12, -195.0 - 0.5);
    double x, y;
    ASSERT_TRUE(Mark(CameraRole::Mark, &x, &y));
    EXPECT_NEAR(x, -1.5, 0.06);
    EXPECT_NEAR(y, 0.5, 0.06);
    to(12, 0.0);
    to(1, -195.5);  // table Y1 holds no mark there
    EXPECT_EQ(cv::countNonZero(world->Render(CameraRole::Mark, 640, 480, 1, 1) > 128), 0);
    // The head (X) picks from a feeder on table Y1 and places on the board of table Y2.
    to(0, 50.0);
    to(1, -20.0);
    Pick();
    to(0, 420.0);
    to(12, -185.0);
    Place();
    const auto placed = world->ledger().Of(LedgerKind::Place);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_NEAR(placed[0].local.x, 20.0, 0.01);
    EXPECT_NEAR(placed[0].local.y, 15.0, 0.01);
}

TEST_F(WorldTest, TheConveyorCarriesWaitingBoardsThroughItsZones) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("feeder 1 1 50 -20 100 2 1.25 0.6 1\nwaiting 100 -200 0 80 60\n"
                                "waiting 100 -200 0 80 60\n",
                                &s, &error))
        << error;
    Start(s);
    const auto zone = [&](int z, int wait = 1) {
        return Run(0x62, Build().u8(z).u8(wait).le16(0).u8(0).u8(0).u8(0x0B).le32(100).u8(0x0C).le32(100)
                             .u8(0x0D).le32(0).le32(1).le32(2).b);
    };
    const auto placedOn = [&] {  // the board a part lands on, -1 when dropped
        NozzleTo(1, s.feeders[0].pick);
        Pick();
        NozzleTo(1, {120.0, -185.0});
        Place();
        const LedgerEntry e = world->ledger().Entries().back();
        return e.kind == LedgerKind::Place ? e.board : -1;
    };
    EXPECT_EQ(placedOn(), -1);
    const int steps[][2] = {{1, -1}, {2, 0}, {1, 0}, {3, -1}, {4, -1}, {2, 1}, {3, -1}};  // zone, lands on
    for (const auto& step : steps) {
        EXPECT_FALSE(zone(step[0]).replies.empty()) << step[0];
        EXPECT_EQ(placedOn(), step[1]) << "after zone " << step[0];
    }
    EXPECT_TRUE(zone(1).replies.empty());      // no board left: the board-in run waits
    EXPECT_FALSE(zone(1, 0).replies.empty());  // unless it waits for none
    s.beltMs = 600000;                         // a long belt: still on its way after zone 2
    world->SetScenario(s);
    zone(1);
    zone(2);
    EXPECT_EQ(placedOn(), -1);
}

TEST(ScenarioFile, PartDrawingsAreReadAndABadLineIsNamed) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("feeder 1 1 50 -20 100 2 1 0.6 1\npad 0 0 2 1\npackage grid 3 3 1 0.5 0 1\n", &s,
                                &error));
    ASSERT_TRUE(s.feeders[0].part.drawing);
    EXPECT_EQ(s.feeders[0].part.drawing->pads.size() * 100 + s.feeders[0].part.drawing->balls.size() * 10 +
                  s.feeders[0].part.drawing->triangles.size(),
              191u);
    for (const char* text : {"belt 1\ntable 1\n", "feeder 1 1 50 -20 100 2 1 0.6 1\npackage blob\n",
                             "belt 1\ndisc 1 2 1 3\n", "feeder 1 1 50 -20 100 2 1 0.6 1\ntable 0\n",
                             "belt 1\nholder 2 60 -40 60 -40 -5\n", "belt 1\nholder 1 60 -40 60 -40 -5 -5\n",
                             "belt 1\nholder 1 60 -40 60 -40 -5 full\n", "belt 1\ncarries 1 1\n",
                             "belt 1\nnozzlelibrary five\n", "belt 1\nimage 3 640 480 mono\n",
                             "belt 1\nimage 1 640 480 grey\n", "belt 1\npickerror 0.1 0 1\n"}) {
        EXPECT_FALSE(Scenario::Parse(text, &s, &error)) << text;
        EXPECT_EQ(error.rfind("line 2", 0), 0u) << text << error;
    }
}

// A scenario's camera image reaches the simulator's camera before it starts, and a
// feeder's scripted pick errors come before its error model.
TEST_F(WorldTest, ScenarioCameraImagesAndScriptedPickErrors) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("image 1 640 480 mono\nimage mark 800 600 colour\n"
                                "feeder 1 1 50 -20 100 2 1 0.6 1 0 0.05 0 2\npickerror 0.3 -0.2 5\n",
                                &s, &error)) << error;
    SimConfig c;
    c.serial = c.udp = false;
    c.cameras = true;
    Simulator simulator(c);
    simulator.UseScenario(s);
    const CameraSpec& v1 = simulator.cameras()->ByRole(CameraRole::Vision1)->Spec();
    const CameraSpec& mark = simulator.cameras()->ByRole(CameraRole::Mark)->Spec();
    EXPECT_EQ(std::make_tuple(v1.width, v1.height, v1.mono, mark.width, mark.height, mark.mono),
              std::make_tuple(640, 480, true, 800, 600, false));
    Start(s);
    for (int k = 0; k < 2; ++k) {
        NozzleTo(1, {50, -20});
        Pick();
        Run(0x03, Build().u8(1).u8(0).le16(0).b);  // vacuum of nozzle 1 off: the part is discarded
    }
    const auto picks = world->ledger().Of(LedgerKind::Pick);
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(std::make_tuple(picks[0].pickError.x, picks[0].pickError.y, picks[0].pickErrorAngle),
              std::make_tuple(0.3, -0.2, 5.0));
    EXPECT_EQ(std::make_tuple(picks[1].pickError.x, picks[1].pickError.y, picks[1].pickErrorAngle),
              std::make_tuple(0.05, 0.0, 2.0));
}

// The scenario's nozzle library reaches the machine's nozzle ledger in true pulses:
// head 1 lowered to a holder's entry height takes or leaves a nozzle (a ledger entry),
// and with a library a head without a nozzle picks nothing.
TEST_F(WorldTest, ScenarioNozzleLibraryDecidesNozzleChangesAndPicks) {
    struct Case {
        const char* library;
        int carries;   // head 1 at the start
        int change;    // ledger holder of the stroke at holder 1 (0: no change)
        bool picks;    // afterwards, at the feeder
    } cases[] = {
        {"", 0, 0, true},
        {"holder 1 60 -40 60 -40 -5 -5 -6 -6 -7 -7 -8 -8\n", 0, 1, true},
        {"holder 1 60 -40 60 -40 -5\nholder 2 80 -40 80 -40 -5\ncarries 1 1\n", 1, -1, false},
        {"holder 1 60 -40 60 -40 -4\n", 0, 0, false},  // wrong height
        {"nozzlelibrary nineteen\nholder 1 60 -40 70 -40 -5\n", 0, 0, false},  // entry elsewhere, output 7 off
    };
    for (const Case& c : cases) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(Scenario::Parse(std::string("pulses 100 100 100 10\nfeeder 1 1 50 -20 100 2 1 0.6 1\n") +
                                        c.library, &s, &error)) << error;
        Start(s);
        EXPECT_EQ(machine->HeadNozzle(1), c.carries) << c.library;
        NozzleTo(1, {60, -40});
        Axis(2, 500);  // nozzle 1 down 5 mm
        Axis(2, -500);
        const auto changes = world->ledger().Of(LedgerKind::NozzleChange);
        EXPECT_EQ(changes.empty() ? 0 : changes.front().holder, c.change) << c.library;
        EXPECT_EQ(machine->HeadNozzle(1), c.carries + c.change) << c.library;
        NozzleTo(1, {50, -20});
        Pick();
        EXPECT_EQ(world->Holds(1), c.picks) << c.library;
        TearDown();
    }
}

// A holder guides a nozzle that is nearly over it: a head within the holder's
// tolerance (default 0.5 mm, or as the scenario sets it) in X, Y and at the entry
// height takes the nozzle, one beyond it does not, so a scenario whose true geometry
// differs a little from the program's settings still changes nozzles.
TEST_F(WorldTest, HolderTakesANozzleWithinItsTolerance) {
    struct Case {
        const char* tolerance;
        int head;
        double dx, dy, dz;   // mm from the holder and its entry height
        bool takes;
    } cases[] = {
        {"", 1, 0.3, 0.0, 0.0, true},
        {"", 1, 0.0, -0.45, 0.4, true},
        {"", 1, 0.6, 0.0, 0.0, false},
        {"", 1, 0.0, 0.6, 0.0, false},
        {"", 1, 0.0, 0.0, -0.6, false},
        {"", 2, -0.2, 0.4, 0.3, true},
        {"", 2, 0.0, 0.0, 0.7, false},
        {"holdertolerance 0.1\n", 1, 0.3, 0.0, 0.0, false},
        {"holdertolerance 0.1\n", 1, 0.1, -0.1, 0.1, true},
        {"holdertolerance 0\n", 1, 0.01, 0.0, 0.0, false},
        {"holdertolerance 0\n", 1, 0.0, 0.0, 0.0, true},
        {"holdertolerance 0\n", 2, 0.0, 0.0, 0.0, true},
    };
    for (const Case& c : cases) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(Scenario::Parse(std::string("pulses 100 80 50 10\nnozzle 2 -20 3\n") + c.tolerance +
                                        "holder 1 60 -40 60 -40 -5\n",
                                    &s, &error))
            << error;
        Start(s);
        const std::string what = std::string(c.tolerance) + " head " + std::to_string(c.head) + " " +
                                 std::to_string(c.dx) + " " + std::to_string(c.dy) + " " + std::to_string(c.dz);
        NozzleTo(c.head, {60 + c.dx, -40 + c.dy});
        // Head 1 goes down with a positive stroke of its rocker, head 2 with a negative one.
        const std::int32_t stroke = static_cast<std::int32_t>(std::lround((5 + c.dz) * 50)) * (c.head == 1 ? 1 : -1);
        Axis(2, stroke);
        Axis(2, -stroke);
        EXPECT_EQ(machine->HeadNozzle(c.head), c.takes ? 1 : 0) << what;
        EXPECT_EQ(machine->NozzleHolders()[0].holds, !c.takes) << what;
        TearDown();
    }
}

// What the world sees of a run that puts nothing down: a place stroke of an empty
// nozzle is a touch where that nozzle stood, to its release depth; the dispensing
// valve opened while a nozzle is lowered by a single-axis move is a touch of that
// nozzle with the valve, to how far it is down (with the nozzle up, nothing; a place
// stroke with the valve open stays a dispensed dot); each X/Y move's end is a look of
// the mark camera, on the board or in the machine.
TEST_F(WorldTest, EmptyStrokesAndGlueAreTouchesAndEachMoveEndsInALook) {
    Scenario s = Scenario::Default();
    s.feeders.clear();
    Start(s, 1);
    NozzleTo(1, {115.0, -185.0});
    Place(2, 730);   // nozzle 1, empty
    Place(2, -745);  // nozzle 2, empty: 20 mm behind nozzle 1, off the board
    Axis(2, 780);    // nozzle 1 down 7.8 mm
    Run(0x03, Build().u8(2).u8(1).le16(5).b);
    Run(0x03, Build().u8(2).u8(0).le16(5).b);
    Axis(2, -780);
    Run(0x03, Build().u8(2).u8(1).le16(5).b);  // up: nothing
    Place(2, 500);                             // the valve open: a dot
    Run(0x03, Build().u8(2).u8(0).le16(5).b);
    const auto touches = world->ledger().Of(LedgerKind::Touch);
    ASSERT_EQ(touches.size(), 3u) << world->ledger().Text();
    const auto at = [](const LedgerEntry& e) {
        return std::make_tuple(e.command, e.nozzle, e.valve, e.board, std::lround(e.local.x * 100), std::lround(e.local.y * 100),
                               std::lround(e.depth * 100));
    };
    EXPECT_EQ(at(touches[0]), std::make_tuple(std::uint16_t{0x68}, 1, 0, 0, 1500L, 1500L, 730L));
    EXPECT_EQ(at(touches[1]), std::make_tuple(std::uint16_t{0x68}, 2, 0, -1, 0L, 0L, 745L));
    EXPECT_NEAR(touches[1].machine.x, 95.0, 1e-9);
    EXPECT_EQ(at(touches[2]), std::make_tuple(std::uint16_t{0x03}, 1, 2, 0, 1500L, 1500L, 780L));
    EXPECT_EQ(world->ledger().Of(LedgerKind::Dispense).size(), 1u);
    EXPECT_TRUE(world->ledger().Of(LedgerKind::Look).empty());  // single-axis moves look nowhere

    // 0x64 to where the mark camera (40 mm beyond nozzle 1) is over the board at
    // (30, 20), then 0x65 on by 100 mm: the camera beyond the board.
    const Drives d = machine->Positions();
    Bytes move64 = Build().le32(0).le32(9000 - d.x).le32(0).le32(-18000 - d.y).le32(1).le32(100).u8(0).u8(1).le32(0).b;
    move64.resize(38, 0);
    ASSERT_TRUE(Run(0x64, move64).accepted);
    Bytes move65 = Build().le32(0).le32(10000).le32(0).le32(0).le32(1).le32(100).u8(0).b;
    move65.resize(65, 0);
    ASSERT_TRUE(Run(0x65, move65).accepted);
    const auto looks = world->ledger().Of(LedgerKind::Look);
    ASSERT_EQ(looks.size(), 2u);
    EXPECT_EQ(std::make_tuple(looks[0].board, looks[0].cell), std::make_tuple(0, 0));
    EXPECT_NEAR(looks[0].local.x, 30.0, 1e-9);
    EXPECT_NEAR(looks[0].local.y, 20.0, 1e-9);
    EXPECT_EQ(looks[1].board, -1);
    EXPECT_NEAR(looks[1].machine.x, 230.0, 1e-9);
    EXPECT_NEAR(looks[1].machine.y, -180.0, 1e-9);
}

TEST_F(WorldTest, StandardPieceTravelsWithTheNozzleAndAnInjectedErrorChangesNothing) {
    Scenario s = Scenario::Default();
    s.standardBase = {20.2, -280.1};  // picked 0.2 / -0.1 mm off the nozzle at (20, -280)
    Start(s);
    NozzleTo(1, Sub({20.0, -280.0}, s.markCameraOffset));
    double x, y;
    ASSERT_TRUE(Mark(CameraRole::Mark, &x, &y));
    NozzleTo(1, {20.0, -280.0});
    Pick();
    NozzleTo(1, Sub({20.0, -280.0}, s.markCameraOffset));
    NozzleTo(1, s.vision[0].position);
    const cv::Mat f = world->Render(CameraRole::Vision1, 640, 480, 1, 1);
    smt::MarkCircle c;
    smt::FindMark(x, y, false, c, f, 0, 10.0, 20.0, &sink);
    EXPECT_NEAR(x, -0.2, 0.06);  // its eccentricity on the nozzle
    EXPECT_NEAR(y, 0.1, 0.06);
    // Vision camera 2 with a lens: undone by a calibration file of the same lens (as
    // the program reads it), the piece is where it truly is.
    s.vision[1].distortion = -0.4;
    world->SetScenario(s);
    NozzleTo(1, {20.2, -280.1});
    Pick();
    NozzleTo(1, Add(s.vision[1].position, {10.0, 6.0}));
    const cv::Mat bent = world->Render(CameraRole::Vision2, 640, 480, 1, 1);
    smt::FindMark(x, y, false, c, bent, 0, 30.0, 20.0, &sink);
    EXPECT_GT(std::fabs(x + 10.0), 0.3);  // pulled toward the centre
    smt::test::TempDir dir;
    {
        cv::FileStorage fs(dir.File("lens.xml"), cv::FileStorage::WRITE);
        fs << "image_Width" << 640 << "image_Height" << 480;
        fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 640, 0, 320, 0, 640, 240, 0, 0, 1);
        fs << "Distortion_Coefficients" << (cv::Mat_<double>(1, 5) << -0.4, 0, 0, 0, 0);
    }
    cv::Size size;
    cv::Mat matrix, coefficients, straight;
    ASSERT_TRUE(smt::ReadCameraParams(dir.File("lens.xml"), size, matrix, coefficients));
    cv::undistort(bent, straight, matrix, coefficients);
    smt::FindMark(x, y, false, c, straight, 0, 30.0, 20.0, &sink);
    EXPECT_NEAR(x, -10.0, 0.1);
    EXPECT_NEAR(y, -6.0, 0.1);
    NozzleTo(1, {20.2, -280.1});  // picked on its centre this time
    Place();
    const auto moves = world->ledger().Of(LedgerKind::StandardMove);
    ASSERT_EQ(moves.size(), 2u);  // the lens check started the world again
    EXPECT_NEAR(moves[1].machine.x, 20.2, 0.01);
    EXPECT_NEAR(moves[1].machine.y, -280.1, 0.01);

    // The second pick stroke is answered by E3: drives, holding and ledger unchanged.
    world->Command({"world", "error", "67", "2", "E3"});
    NozzleTo(1, s.feeders[0].pick);
    Pick();
    const Drives before = machine->Positions();
    const std::size_t entries = world->ledger().Entries().size();
    const Outcome o = Run(0x67, Build().u8(3).le32(500).le32(1).le32(2).le16(100).u8(0).b);
    ASSERT_EQ(o.replies.size(), 1u);
    EXPECT_EQ(o.replies[0].data[0], 0xE3);
    EXPECT_EQ(machine->Positions().z, before.z);
    EXPECT_FALSE(machine->Holding(3));
    EXPECT_FALSE(world->Holds(3));
    EXPECT_EQ(world->ledger().Entries().size(), entries);
}

} // namespace
