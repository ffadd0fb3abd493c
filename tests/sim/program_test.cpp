// The smt-sim program itself: arguments, the control channel on standard input,
// and a clean end on "quit" and on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sim_clients.h"
#include "test_support.h"

namespace {

// smt-sim sits in the build folder, one level above this test binary.
std::string SimProgram() {
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "smt-sim";
    return std::filesystem::exists(path) ? path.string() : std::string();
}

class SimProgramRun {
public:
    explicit SimProgramRun(std::vector<std::string> args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        args.insert(args.begin(), SimProgram());
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~SimProgramRun() {
        close(m_in);
        close(m_out);
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    void Say(const std::string& line) { (void)!write(m_in, (line + "\n").data(), line.size() + 1); }
    // Whether the output shows `text` within 20 s.
    bool WaitFor(const std::string& text) {
        return smt::test::WaitUntil([&] {
            pollfd p{m_out, POLLIN, 0};
            char buf[512];
            const ssize_t n = poll(&p, 1, 0) > 0 ? read(m_out, buf, sizeof buf) : 0;
            if (n > 0) m_text.append(buf, static_cast<std::size_t>(n));
            return m_text.find(text) != std::string::npos;
        }, std::chrono::seconds(20));
    }
    const std::string& Text() const { return m_text; }
    // Exit status, or -1 when the program did not end within 20 s.
    int Exit() {
        int status = 0;
        m_reaped = smt::test::WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; },
                                        std::chrono::seconds(20));
        if (!m_reaped) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    bool m_reaped = false;
    std::string m_text;
};

} // namespace

TEST(SimProgram, ServesTheSerialPortTakesCommandsAndQuits) {
    if (SimProgram().empty()) GTEST_SKIP() << "smt-sim not built";
    smt::test::TempDir dir;
    SimProgramRun run({"--type", "7", "--serial-dir", dir.Path(), "--com", "5", "--no-udp"});
    ASSERT_TRUE(run.WaitFor("control commands"));
    simtest::RawSerial port(dir.File("COM5"));
    ASSERT_TRUE(port.IsOpen());
    port.Write(sim::EncodeHostFrame(0x00, {}));
    EXPECT_EQ(port.ReadBytes(7), (sim::Bytes{0xEE, 0x01, 0x00, 0xFF, 0xFC, 0xFF, 0xFF}));

    run.Say("status");
    EXPECT_TRUE(run.WaitFor("type 7")) << run.Text();
    run.Say("bogus");
    EXPECT_TRUE(run.WaitFor("unknown command: bogus"));
    // The world's placements written on the control channel (none yet: an empty file).
    run.Say("world placements " + dir.File("placed.txt"));
    EXPECT_TRUE(run.WaitFor("ok 0 placements")) << run.Text();
    EXPECT_TRUE(std::filesystem::exists(dir.File("placed.txt")));
    EXPECT_EQ(smt::test::ReadBytes(dir.File("placed.txt")), "");
    run.Say("quit");
    EXPECT_EQ(run.Exit(), 0);
    EXPECT_TRUE(simtest::Gone(dir.File("COM5")));
}

TEST(SimProgram, EndsCleanlyOnSigtermAndRefusesBadArguments) {
    if (SimProgram().empty()) GTEST_SKIP() << "smt-sim not built";
    smt::test::TempDir dir;
    SimProgramRun run({"--serial-dir", dir.Path(), "--com", "6", "--udp", "127.0.0.2", "--udp-port", "0",
                       "--discovery-port", "0", "--time-scale", "1"});
    ASSERT_TRUE(run.WaitFor("ethernet: 127.0.0.2:"));
    kill(run.Pid(), SIGTERM);
    EXPECT_EQ(run.Exit(), 0);
    EXPECT_TRUE(simtest::Gone(dir.File("COM6")));

    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--type", "10"}, {"--com", "0"}, {"--time-scale", "-2"}, {"--udp-port", "70000"}, {"--frobnicate"}}) {
        SimProgramRun refused(bad);
        EXPECT_EQ(refused.Exit(), 2) << bad[0];
    }
}
