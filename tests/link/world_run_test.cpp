// The program's commands against the simulated world: a part picked and placed over
// the Ethernet link lands where the ledger check expects it, and the world's cameras
// reach the program's camera operations.
#include "platform/camera_sdk.h"
#include "world_fixture.h"

namespace smt::test {
namespace {

TEST_F(WorldSimTest, APartPlacedThroughTheLinkIsFoundByTheLedgerCheck) {
    ResetCommandWorld(false);
    StartWorld(0, sim::Scenario::Default(), false, true, true);
    ASSERT_TRUE(GetMachineLink().Open(sim::kBoardAddress, sim->udp()->Port(), LocalEndpoint{"127.0.0.1", 0}));
    StartUdpReplyThread(GetMachineLink());
    g_Connected = true;
    ASSERT_TRUE(MoveSingleAxis({0, 5000, {10, 20}}));   // nozzle 1 over feeder 1-1 at (50, -20)
    ASSERT_TRUE(MoveSingleAxis({1, -2000, {10, 20}}));
    ASSERT_TRUE(PickStroke({2, 500, {8, 80}, 1, 100, 0}));
    ASSERT_TRUE(MoveSingleAxis({0, 7000, {10, 20}}));   // to (120, -185): board 0 at (20, 15)
    ASSERT_TRUE(MoveSingleAxis({1, -16500, {10, 20}}));
    ASSERT_TRUE(PlaceStroke({2, 500, {8, 80}, 0, 200, 0, 5}));
    EXPECT_TRUE(LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.0, 15.0, 0.0}}, 0.02, 0.1));
    const auto wrong = LedgerMatchesPlacements(world().ledger(), {{"C1", 0, 0, 20.5, 15.0, 0.0}}, 0.02, 0.1);
    EXPECT_FALSE(wrong);
    EXPECT_NE(std::string(wrong.message()).find("\"C1\": 0.5000 mm"), std::string::npos) << wrong.message();
    EXPECT_FALSE(LedgerMatchesPlacements(world().ledger(), {}, 0.02, 0.1));  // an unexpected placement

    // The mark camera's frame through the program's camera operations.
    plat::SetCameraBackend(nullptr);
    plat::CameraDevInfo list[3];
    int count = 3;
    ASSERT_EQ(plat::CameraEnumerateDevice(list, &count), 0);
    plat::CameraHandle h = 0;
    ASSERT_EQ(plat::CameraInit(&list[0], -1, -1, &h), 0);
    ASSERT_EQ(plat::CameraPlay(h), 0);
    plat::CameraFrameHead head;
    std::uint8_t* raw = nullptr;
    ASSERT_EQ(plat::CameraGetImageBufferPriority(h, &head, &raw, 1000, 1), 0);
    EXPECT_EQ(head.width, 1280);
    plat::CameraReleaseImageBuffer(h, raw);
    plat::CameraUnInit(h);
}

} // namespace
} // namespace smt::test
