// A keep-awake without a working sleep inhibitor is reported once; the alarm sounds
// through the installed display sound.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <chrono>
#include <thread>

#include "platform/system.h"
#include "test_support.h"

TEST(KeepAwake, AnInhibitorThatEndsAtOnceIsReportedOnceAndTheAlarmUsesTheDisplay) {
    smt::test::TempDir bin;  // like systemd-inhibit without a login manager
    smt::test::WriteBytes(bin.File("systemd-inhibit"), "#!/bin/sh\nexit 1\n");
    ::chmod(bin.File("systemd-inhibit").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
    // A bus socket is there (any file at the path will do): the inhibitor is tried.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + bin.File("systemd-inhibit")).c_str(), 1);
    std::vector<std::string> notices;
    int sounds = 0;
    plat::SetSystemNoticeSink([&](const std::string& text) { notices.push_back(text); });
    plat::SetAlarmSound([&] { ++sounds; });
    for (bool on : {true, false, true, false}) {
        plat::SetKeepAwake(on);
        if (on) std::this_thread::sleep_for(std::chrono::milliseconds(200));  // held a while
    }
    plat::AlarmBeep();
    setenv("PATH", oldPath.c_str(), 1);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    plat::SetSystemNoticeSink({});
    plat::SetAlarmSound({});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("keep-awake"), std::string::npos);
    EXPECT_EQ(sounds, 1);
}

namespace {
// Standard error of this process read back after `f` (the file descriptor itself,
// so what a child started meanwhile writes is caught too).
template <class F>
std::string StderrOf(const std::string& file, F f) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
    f();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    return smt::test::ReadBytes(file);
}
}  // namespace

// Without the system bus the inhibitor is not started: the log says so once, and
// nothing of the inhibitor's own ("Failed to connect to bus") reaches the terminal
// on any connect. With a bus whose inhibitor fails, its words go nowhere either.
TEST(KeepAwake, NoBusIsSaidOnceInTheLogAndTheInhibitorPrintsNothing) {
    smt::test::TempDir bin;
    const std::string started = bin.File("started");
    smt::test::WriteBytes(bin.File("systemd-inhibit"), "#!/bin/sh\necho x >> " + started +
                                                           "\necho 'Failed to connect to bus: No such file or directory' >&2\n"
                                                           "exit 1\n");
    ::chmod(bin.File("systemd-inhibit").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
    std::vector<std::string> notices;
    plat::SetSystemNoticeSink([&](const std::string& text) { notices.push_back(text); });

    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + bin.File("no-such-socket")).c_str(), 1);
    const std::string quiet = StderrOf(bin.File("stderr-1"), [] {
        for (bool on : {true, false, true, false}) plat::SetKeepAwake(on);
    });
    EXPECT_EQ(quiet, "");
    EXPECT_FALSE((::access(started.c_str(), F_OK) == 0));  // never tried
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("keep-awake"), std::string::npos);
    EXPECT_NE(notices[0].find("system bus"), std::string::npos);

    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + bin.File("systemd-inhibit")).c_str(), 1);
    const std::string tried = StderrOf(bin.File("stderr-2"), [&] {
        plat::SetKeepAwake(true);
        // The inhibitor is its own process: on a loaded machine it may take a while
        // to start, and ending it earlier would not show that it was tried.
        const std::string startedFile = bin.File("started");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::access(startedFile.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        plat::SetKeepAwake(false);
    });
    EXPECT_EQ(tried, "");
    EXPECT_TRUE((::access(started.c_str(), F_OK) == 0));
    EXPECT_EQ(notices.size(), 1u);  // said once per process

    setenv("PATH", oldPath.c_str(), 1);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    plat::SetSystemNoticeSink({});
}
