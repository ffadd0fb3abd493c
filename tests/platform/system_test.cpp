// A keep-awake without a working sleep inhibitor is reported once; the alarm sounds
// through the installed display sound.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
    plat::SetSystemNoticeSink({});
    plat::SetAlarmSound({});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("keep-awake"), std::string::npos);
    EXPECT_EQ(sounds, 1);
}
