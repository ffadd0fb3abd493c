// Keep-awake without a working sleep inhibitor is reported once to the program's
// log; the alarm sounds through the installed display sound.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system.h"
#include "test_support.h"

TEST(KeepAwake, AnInhibitorThatEndsAtOnceIsReportedOnceAndTheAlarmUsesTheDisplay) {
    smt::test::TempDir bin;
    // Like systemd-inhibit without a login manager: it fails at once.
    smt::test::WriteBytes(bin.File("systemd-inhibit"), "#!/bin/sh\nexit 1\n");
    ::chmod(bin.File("systemd-inhibit").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
    std::vector<std::string> notices;
    plat::SetSystemNoticeSink([&](const std::string& text) { notices.push_back(text); });
    for (int connect = 0; connect < 2; ++connect) {
        plat::SetKeepAwake(true);
        EXPECT_TRUE(plat::KeepAwakeHeld());
        plat::SetKeepAwake(false);
    }
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("keep-awake"), std::string::npos);

    int sounds = 0;
    plat::SetAlarmSound([&] { ++sounds; });
    plat::AlarmBeep();
    plat::SetAlarmSound({});
    plat::AlarmBeep();  // back to the terminal bell
    EXPECT_EQ(sounds, 1);
    plat::SetSystemNoticeSink({});
}
