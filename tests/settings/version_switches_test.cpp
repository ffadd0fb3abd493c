#include <gtest/gtest.h>

#include "settings/version_switches.h"
#include "settings_test_util.h"

namespace smt {
namespace {

TEST(VersionSwitches, MissingSectionGivesZerosAndSaveWritesEveryKeyInOrder) {
    test::TempDir dir;
    const std::string config = dir.File("config.ini");
    VersionSwitches v{1, 1, 1, 1, 1};
    LoadCpuVersionConfig(v, config);
    EXPECT_EQ(v, (VersionSwitches{0, 0, 0, 0, 0}));

    v = {1, 0, 1, 0, 1};
    ASSERT_TRUE(SaveCpuVersionConfig(v, config));
    EXPECT_EQ(test::ProfileLines(config),
              (std::vector<std::string>{"[CPUVersionNumberConfig]", "m_V2_04=1", "m_V2_05=0", "m_V2_06=1",
                                        "m_V2_07=0", "m_Write_Logfile=1"}));
    VersionSwitches back;
    LoadCpuVersionConfig(back, config);
    EXPECT_EQ(back, v);
}

} // namespace
} // namespace smt
