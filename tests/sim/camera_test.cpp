// The industrial camera operations against the simulated cameras: start-up as the
// camera panel does it, streaming, triggers, faults, and the same devices read from
// a running smt-sim in another process.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "cameras.h"
#include "platform/camera_sdk.h"
#include "platform/event.h"
#include "test_support.h"

using namespace plat;
using Clock = std::chrono::steady_clock;

namespace {

long MsSince(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// What the panel's start-up finds: per camera index the handle, or the failure.
struct StartUp {
    int enumStatus = 0;
    int initStatus = 0;
    std::string initText;
    int handles[3] = {0, 0, 0};  // by camera: mark, vision 1, vision 2
    std::vector<CameraHandle> all;
    int mismatches = 0;
};

StartUp StartCameras() {
    StartUp s;
    CameraSdkInit(0);
    CameraDevInfo list[3];
    int count = 3;
    s.enumStatus = CameraEnumerateDevice(list, &count);
    if (s.enumStatus != 0) return s;
    const char* names[3] = {sim::kMarkCameraName, sim::kVision1CameraName, sim::kVision2CameraName};
    for (int i = 0; i < count; ++i) {
        CameraHandle h = 0;
        s.initStatus = CameraInit(&list[i], -1, -1, &h);
        if (s.initStatus != 0) {
            s.initText = CameraGetErrorString(s.initStatus);
            return s;
        }
        s.all.push_back(h);
        char name[kCameraNameSize];
        CameraGetFriendlyName(h, name);
        int matched = -1;
        for (int k = 0; k < 3; ++k)
            if (std::string(name) == names[k]) matched = k;
        if (matched < 0) ++s.mismatches;
        else s.handles[matched] = h;
    }
    return s;
}

void StopCameras(const StartUp& s) {
    for (CameraHandle h : s.all) CameraUnInit(h);
}

// One processed frame through the panel's path; returns its head (width 0 on failure).
CameraFrameHead GrabProcessed(CameraHandle h, std::vector<std::uint8_t>* out, unsigned timeout = 1000,
                              int* status = nullptr) {
    CameraFrameHead head;
    std::uint8_t* raw = nullptr;
    const int s = CameraGetImageBufferPriority(h, &head, &raw, timeout, 1);
    if (status) *status = s;
    if (s != 0) return CameraFrameHead{};
    out->assign(static_cast<std::size_t>(head.width) * head.height * 3, 0);
    EXPECT_EQ(CameraImageProcess(h, raw, out->data(), &head), 0);
    EXPECT_EQ(CameraReleaseImageBuffer(h, raw), 0);
    return head;
}

class CameraSdkTest : public ::testing::Test {
protected:
    void Use(std::vector<sim::CameraSpec> specs) {
        set = std::make_unique<sim::CameraSet>(std::move(specs));
        SetCameraBackend(set->Backend());
    }
    void TearDown() override {
        StopCameras(started);
        SetCameraBackend(nullptr);
        set.reset();
    }
    std::unique_ptr<sim::CameraSet> set;
    StartUp started;
};

sim::CameraSpec Spec(const char* name, int w = 320, int h = 240, bool mono = false) {
    sim::CameraSpec s;
    s.name = name;
    s.width = w;
    s.height = h;
    s.mono = mono;
    return s;
}

TEST_F(CameraSdkTest, StartUpMapsNamesAndReportsEveryFailure) {
    struct Row {
        const char* what;
        std::vector<sim::CameraSpec> specs;
        bool enumFails;
        int initFailDevice;  // -1: none
        int expectHandles[3];
        int expectMismatches;
    };
    const Row rows[] = {
        {"order to handles", {Spec("Visual_Camera_2"), Spec("Mark_Camera"), Spec("Visual_Camera_1")}, false, -1, {2, 3, 1}, 0},
        {"subset", {Spec("Visual_Camera_1")}, false, -1, {0, 1, 0}, 0},
        {"wrong name", {Spec("Mark_Camera"), Spec("Visual_Camera_9")}, false, -1, {1, 0, 0}, 1},
        {"init failure", {Spec("Mark_Camera"), Spec("Visual_Camera_1")}, false, 1, {1, 0, 0}, 0},
        {"enumeration failure", {Spec("Mark_Camera")}, true, -1, {0, 0, 0}, 0},
        {"no device", {}, false, -1, {0, 0, 0}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Use(r.specs);
        if (r.enumFails) set->SetEnumerateStatus(kCameraNoDevice);
        if (r.initFailDevice >= 0) set->SetInitStatus(r.initFailDevice, kCameraDeviceBusy);
        // Handles are numbered across the whole run; compare them relative to the first.
        started = StartCameras();
        const bool none = r.enumFails || r.specs.empty();
        EXPECT_EQ(started.enumStatus != 0, none);
        if (r.initFailDevice >= 0) {
            EXPECT_EQ(started.initStatus, kCameraDeviceBusy);
            EXPECT_EQ(started.initText, "The device is in use");
            EXPECT_EQ(started.all.size(), static_cast<std::size_t>(r.initFailDevice));
        }
        const int base = started.all.empty() ? 0 : started.all.front() - 1;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(started.handles[k] ? started.handles[k] - base : 0, r.expectHandles[k]) << k;
        EXPECT_EQ(started.mismatches, r.expectMismatches);
        StopCameras(started);
        started = StartUp{};
    }
    CameraSdkInit(1);
    EXPECT_STREQ(CameraGetErrorString(kCameraDeviceBusy), "设备已被占用");
    CameraSdkInit(0);
}

TEST_F(CameraSdkTest, MonoAndColourDevicesGiveTheirChannelsAtTheStatedSize) {
    Use({Spec("Mark_Camera", 640, 480, true), Spec("Visual_Camera_1", 800, 600, false)});
    started = StartCameras();
    ASSERT_EQ(started.all.size(), 2u);
    for (CameraHandle h : started.all) {
        CameraCapability cap;
        ASSERT_EQ(CameraGetCapability(h, &cap), 0);
        if (cap.mono) CameraSetIspOutFormat(h, kCameraMediaMono8);
        ASSERT_EQ(CameraPlay(h), 0);
        std::vector<std::uint8_t> buf;
        const CameraFrameHead head = GrabProcessed(h, &buf);
        EXPECT_EQ(head.width, cap.maxWidth);
        EXPECT_EQ(head.height, cap.maxHeight);
        EXPECT_EQ(head.mediaType, cap.mono ? kCameraMediaMono8 : kCameraMediaBgr8);
        EXPECT_EQ(head.bytes, cap.maxWidth * cap.maxHeight * (cap.mono ? 1 : 3));
    }
}

TEST_F(CameraSdkTest, StreamServesTheNewestFrameCountsLossesAndHonoursTriggers) {
    Use({Spec("Mark_Camera"), Spec("Visual_Camera_1")});
    started = StartCameras();
    const CameraHandle mark = started.handles[0], vis = started.handles[1];
    std::vector<std::uint8_t> buf;

    // Paused: the wait runs to its time-out.
    auto t = Clock::now();
    int status = 0;
    GrabProcessed(mark, &buf, 1000, &status);
    EXPECT_EQ(status, kCameraTimeout);
    EXPECT_GE(MsSince(t), 950);
    EXPECT_LT(MsSince(t), 1500);

    // A burst: the newest frame comes, not the first.
    ASSERT_EQ(CameraPlay(mark), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GE(GrabProcessed(mark, &buf).frameNo, 4u);
    // A frame of before the pause is never served after it.
    CameraPause(mark);
    GrabProcessed(mark, &buf, 200, &status);
    EXPECT_EQ(status, kCameraTimeout);

    // Dropped frames count as lost; total = captured + lost.
    set->Camera(0)->DropFrames(3);
    CameraPlay(mark);
    for (int i = 0; i < 3; ++i) GrabProcessed(mark, &buf);
    CameraFrameStatistic st;
    ASSERT_EQ(CameraGetFrameStatistic(mark, &st), 0);
    EXPECT_EQ(st.lost, 3);
    EXPECT_EQ(st.total, st.captured + st.lost);
    EXPECT_GE(st.captured, 3);

    // Trigger mode 2: exactly one frame per trigger input, none without.
    ASSERT_EQ(CameraSetTriggerMode(vis, 2), 0);
    CameraPlay(vis);
    GrabProcessed(vis, &buf, 200, &status);
    EXPECT_EQ(status, kCameraTimeout);
    for (int i = 0; i < 3; ++i) set->Camera(1)->Trigger();
    EXPECT_TRUE(smt::test::WaitUntil([&] { return CameraGetFrameStatistic(vis, &st) == 0 && st.captured == 3; }));
    int frames = 0;
    while (GrabProcessed(vis, &buf, 300).width) ++frames;
    EXPECT_EQ(frames, 1);  // the newest of the three
    CameraGetFrameStatistic(vis, &st);
    EXPECT_EQ(st.captured, 3);
    for (int i = 0; i < 2; ++i) {
        set->Camera(1)->Trigger();
        EXPECT_GT(GrabProcessed(vis, &buf, 500).width, 0) << i;
    }
    GrabProcessed(vis, &buf, 200, &status);
    EXPECT_EQ(status, kCameraTimeout);
    // Mode 0 resumes the stream.
    CameraSetTriggerMode(vis, 0);
    EXPECT_GT(GrabProcessed(vis, &buf).width, 0);
}

TEST_F(CameraSdkTest, ControlsFromAnotherThreadWhileAGrabWaitsAndADisconnectEndsItAtOnce) {
    Use({Spec("Mark_Camera"), Spec("Visual_Camera_1")});
    started = StartCameras();
    const CameraHandle mark = started.handles[0];
    std::atomic<bool> stop{false};
    std::atomic<int> got{0}, failures{0};
    std::thread grab([&] {
        while (!stop) {
            std::vector<std::uint8_t> buf;
            int status = 0;
            const CameraFrameHead head = GrabProcessed(mark, &buf, 1000, &status);
            if (head.width) {
                CameraSetCrossLine(mark, 0, head.width / 2, head.height / 2, 0xFF, 1);
                CameraImageOverlay(mark, buf.data(), &head);
                ++got;
            } else if (status != kCameraTimeout) {
                ++failures;
                if (status == kCameraDisconnected) return;
            }
        }
    });
    for (int i = 0; i < 20; ++i) {
        CameraPlay(mark);
        CameraSetTriggerMode(mark, i % 3 == 2 ? 2 : 0);
        CameraFrameStatistic st;
        CameraGetFrameStatistic(mark, &st);
        if (i % 5 == 4) CameraPause(mark);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    CameraSetTriggerMode(mark, 0);
    CameraPlay(mark);
    EXPECT_TRUE(smt::test::WaitUntil([&] { return got > 0; }, std::chrono::seconds(3)));
    CameraPause(mark);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t = Clock::now();
    set->Camera(0)->SetDisconnected(true);
    EXPECT_TRUE(smt::test::WaitUntil([&] { return failures > 0; }, std::chrono::milliseconds(500)));
    EXPECT_LT(MsSince(t), 300);
    stop = true;
    grab.join();
    // A disconnected device fails at once.
    std::vector<std::uint8_t> buf;
    int status = 0;
    const auto t2 = Clock::now();
    GrabProcessed(mark, &buf, 1000, &status);
    EXPECT_EQ(status, kCameraDisconnected);
    EXPECT_LT(MsSince(t2), 100);
}

// ---- across processes ----

std::string SimProgram() {
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "smt-sim";
    return std::filesystem::exists(path) ? path.string() : std::string();
}

TEST(CameraChannel, ARunningSimulatorIsEnumeratedStreamedAndLostWhenItStops) {
    const std::string program = SimProgram();
    if (program.empty()) GTEST_SKIP() << "smt-sim not built";
    smt::test::TempDir dir;
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        close(in[1]);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "--serial-dir", dir.Path().c_str(), "--no-udp", "--cameras",
              "Mark_Camera:640x480,Visual_Camera_1:640x480:mono,Visual_Camera_2:1280x1024", nullptr);
        _exit(127);
    }
    close(in[0]);
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (pid <= 0) return;
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } reaper{pid};
    auto say = [&](const std::string& line) { (void)!write(in[1], (line + "\n").data(), line.size() + 1); };
    ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
    SetCameraBackend(nullptr);
    StartUp s;
    ASSERT_TRUE(smt::test::WaitUntil([&] {
        s = StartCameras();
        if (s.all.size() == 3) return true;
        StopCameras(s);
        return false;
    }));
    EXPECT_EQ(s.mismatches, 0);
    for (int k = 0; k < 3; ++k) ASSERT_NE(s.handles[k], 0) << k;
    std::vector<std::uint8_t> buf;
    CameraPlay(s.handles[2]);
    CameraFrameHead head = GrabProcessed(s.handles[2], &buf);
    EXPECT_EQ(head.width, 1280);
    EXPECT_EQ(head.height, 1024);
    // Trigger mode and the trigger input through the control channel.
    const CameraHandle vis = s.handles[1];
    CameraSetIspOutFormat(vis, kCameraMediaMono8);
    ASSERT_EQ(CameraSetTriggerMode(vis, 2), 0);
    ASSERT_EQ(CameraPlay(vis), 0);
    int status = 0;
    GrabProcessed(vis, &buf, 300, &status);
    EXPECT_EQ(status, kCameraTimeout);
    say("camera trigger 2");
    head = GrabProcessed(vis, &buf);
    EXPECT_EQ(head.mediaType, kCameraMediaMono8);
    EXPECT_EQ(head.width, 640);
    CameraFrameStatistic st;
    ASSERT_EQ(CameraGetFrameStatistic(vis, &st), 0);
    EXPECT_EQ(st.captured, 1);
    // Snap takes a frame whatever the trigger mode.
    std::uint8_t* raw = nullptr;
    const auto ts = Clock::now();
    ASSERT_EQ(CameraSnapToBuffer(vis, &head, &raw, 1000), 0) << MsSince(ts);
    CameraReleaseImageBuffer(vis, raw);

    // Stopping the simulator ends a waiting get-buffer within its time-out.
    CameraPause(s.handles[0]);
    std::atomic<int> result{1};
    std::atomic<long> took{0};
    std::thread waiter([&] {
        std::vector<std::uint8_t> b;
        int st2 = 0;
        const auto t = Clock::now();
        GrabProcessed(s.handles[0], &b, 1000, &st2);
        took = MsSince(t);
        result = st2;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, SIGTERM);
    waiter.join();
    EXPECT_EQ(result.load(), kCameraDisconnected);
    EXPECT_LT(took.load(), 1000);
    waitpid(pid, nullptr, 0);
    reaper.pid = 0;
    close(in[1]);
    EXPECT_FALSE(std::filesystem::exists(dir.File("sim-cameras")));
    int count = 3;
    CameraDevInfo list[3];
    EXPECT_NE(CameraEnumerateDevice(list, &count), 0);
    StopCameras(s);
    ::unsetenv("SMT_SERIAL_DIR");
}

} // namespace

// smt-sim started on a scenario file: the world's frames reach the program's camera
// back end (the mark camera's image and orientation as the scenario says), and the
// control channel answers about the world.
TEST(CameraChannel, AScenarioWorldIsSeenAndAskedAcrossProcesses) {
    const std::string program = SimProgram();
    if (program.empty()) GTEST_SKIP() << "smt-sim not built";
    smt::test::TempDir dir;
    const std::string scenario = dir.File("world.scenario");
    // A mark 1.5 mm to +X and 0.5 mm to +Y of the mark camera's centre at home.
    smt::test::WriteBytes(scenario, "markcamera 0 0 20\nimage mark 640 480 mono\ndisc 1.5 0.5 1\nnoise 0\n"
                                   "feeder 1 1 50 -20 7 2 1 0.6 1\n");
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[1]);
        close(out[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "--serial-dir", dir.Path().c_str(), "--no-udp", "--scenario",
              scenario.c_str(), nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    struct Reaper {
        pid_t pid;
        int fds[2];
        ~Reaper() {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            for (int fd : fds) close(fd);
        }
    } reaper{pid, {in[1], out[0]}};
    ::setenv("SMT_SERIAL_DIR", dir.Path().c_str(), 1);
    SetCameraBackend(nullptr);
    StartUp s;
    ASSERT_TRUE(smt::test::WaitUntil([&] {
        s = StartCameras();
        if (s.all.size() == 3) return true;
        StopCameras(s);
        return false;
    }));
    const CameraHandle mark = s.handles[0];
    ASSERT_NE(mark, 0);
    CameraSetIspOutFormat(mark, kCameraMediaMono8);
    ASSERT_EQ(CameraPlay(mark), 0);
    std::vector<std::uint8_t> buf;
    const CameraFrameHead head = GrabProcessed(mark, &buf);
    ASSERT_EQ(head.width * 1000 + head.height, 640480);
    const auto at = [&](int x, int y) { return buf[static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)]; };
    EXPECT_GT(at(350, 230), 150);  // image +x = +X, image +y = -Y, 20 pixels per mm
    EXPECT_LT(at(320, 240), 100);
    EXPECT_LT(at(350, 250), 100);
    const std::string line = "world counts\n";
    ASSERT_EQ(write(in[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    std::string said;
    EXPECT_TRUE(smt::test::WaitUntil([&] {
        char b[256];
        if (fcntl(out[0], F_SETFL, O_NONBLOCK) == 0)
            for (ssize_t n; (n = read(out[0], b, sizeof b)) > 0;) said.append(b, static_cast<std::size_t>(n));
        return said.find("feeder 1-1 7") != std::string::npos;
    })) << said;
    StopCameras(s);
    ::unsetenv("SMT_SERIAL_DIR");
}
