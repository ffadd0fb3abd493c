// Scenario files: every number of every line kind is checked (written in full,
// finite, within its field's range, whole where the field counts), and a bad line
// is refused with its number and what is wrong, leaving the caller's scenario as
// it was.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "machine.h"
#include "world.h"

using namespace sim;

namespace {

// Lines that make a following line meaningful (a board for its marks, a feeder for
// its drawing, a holder for "carries"); each bad line below comes on line 4.
const char* kBefore = "feeder 1 1 50 -20 100 2 1 0.6 1\nboard 100 -200 0 80 60\nholder 1 60 -40 60 -40 -5\n";

struct BadLine {
    const char* line;
    const char* why;   // a piece of the message
};

TEST(ScenarioLines, EveryBadNumberOfEveryLineKindIsRefusedWithItsLine) {
    const BadLine cases[] = {
        // the crash this table began with: a table number past every integer
        {"disc 10 20 1.5 99999999999999999999", "table out of range"},
        {"disc 10 20 1.5 3", "table out of range 0..2"},
        {"disc 10 20 0 1", "diameter out of range"},
        {"disc 10 nan 1", "Y is not a number"},
        {"seed -1", "seed out of range"},
        {"seed 4294967296", "seed out of range"},
        {"seed 1.5", "seed is not a whole number"},
        {"pulses 100 100 0 10", "Z pulses out of range"},
        {"pulses 100 -100 100 10", "Y pulses out of range"},
        {"pulses 100 100 100 1e300", "A pulses out of range"},
        {"pulses 100 100 100 inf", "A pulses is not a number"},
        {"pulses 100 100 100", "A pulses missing"},
        {"nozzle 9 -20 0", "nozzle out of range 2..8"},
        {"nozzle 2 -20 1e5", "offset out of range"},
        {"nozzle 2 -20 0x10", "offset is not a number"},
        {"markcamera 40 0 0", "pixels per mm out of range"},
        {"markcamera 40 0 20 2", "inverted out of range 0..1"},
        {"visioncamera 3 200 -250 20", "camera out of range 1..2"},
        {"visioncamera 1 200 -250 20 11", "lens k1 out of range"},
        {"visioncamera 1 200 -250 20 0.1 7", "unexpected 7"},
        {"feeder 1 1 50 -20 -1 2 1 0.6 1", "count out of range"},
        {"feeder 1 1 50 -20 100 2 1 0.6 12", "vision type out of range 0..11"},
        {"feeder 1 1 50 -20 100 0 1 0.6 1", "length out of range"},
        {"feeder 1 1 50 -20 100 2 1 0.6 1 0 0.1", "ANGLE [ERR-X ERR-Y ERR-A [SIGMA]]"},
        {"feeder 1 1 50 -20 100 2 1 0.6 1 0 0.1 0 0 -1", "error sigma out of range"},
        {"feeder 1 99999999999 50 -20 100 2 1 0.6 1", "number out of range"},
        {"tray 13 1 300 -40 0 5 12 12 7 7 1.2 5", "rows out of range"},
        {"tray 13 1 300 -40 1000 1000 12 12 7 7 1.2 5", "more than 100000 pockets"},
        {"tray 13 1 300 -40 4 5 12 nan 7 7 1.2 5", "Y pitch is not a number"},
        {"board 100 -200 0 0 60", "width out of range"},
        {"board 100 -200 1e9 80 60", "rotation out of range"},
        {"waiting 100 -200 0 80", "height missing"},
        {"cell 0 0 40 -1", "height out of range"},
        {"mark 5 5 1 1", "unexpected 1"},
        {"table 3", "table out of range 1..2"},
        {"pickerror 0.1 0 1e4", "angle out of range"},
        {"pad 0 0 -1 1", "width out of range"},
        {"ball 0 0 inf", "diameter is not a number"},
        {"triangle 0 0 1 0 0", "Y missing"},
        {"package grid 1000 3 1 0.5 0 1", "rows out of range"},
        {"package grid 3 3 1 0.5 16 1", "corners out of range"},
        {"package oneside 0 1", "leads out of range"},
        {"package chip 1 -1", "width out of range"},
        {"package blob", "unknown package blob"},
        {"standard -2 20 -280", "diameter out of range"},
        {"dispenser 0 12345", "offset out of range"},
        {"belt -1", "out of range"},
        {"belt 3600001", "out of range"},
        {"drill 1e6", "surface out of range"},
        {"tolerance -0.1", "tolerance out of range"},
        {"noise 101", "noise out of range"},
        {"image 1 9000 480 mono", "width out of range"},
        {"image 1 640 480.5 mono", "height is not a whole number"},
        {"image 4 640 480 mono", "unknown camera 4"},
        {"holder 2 60 -40 60 -40 1e7", "entry Z out of range"},
        {"holder 2 60 -40 60 -40 -5 -5", "one Z or eight"},
        {"holder 3 60 -40 60 -40 -5", "holder number out of range 2..2"},
        {"holder 2 60 -40 60 -40 nan", "entry Z is not a number"},
        {"nozzlelibrary five", "neither holders nor nineteen"},
        {"carries 9 1", "head out of range 1..8"},
        {"carries 1 2", "holder out of range 1..1"},
        {"holdertolerance -1", "holder tolerance out of range"},
        {"row -1 C1 20 15 0", "row out of range"},
        {"row 3 C1 20 nan 0", "Y is not a number"},
        {"row 3 C1 20 15", "angle missing"},
        {"row 3 C1 20 15 0 1", "number missing"},
        {"row 3 C1 20 15 0 2 7", "no feeder 2 7 before it"},
        {"row 3 C1 20 15 0 1 1 9", "head out of range 0..8"},
        {"row 3 C1 20 15 0 1 1 1 2 5", "unexpected 5"},
        {"rowcapture -1", "capture out of range"},
        {"speed 100", "unknown line speed"},
    };
    for (const BadLine& c : cases) {
        Scenario s = Scenario::Default();
        std::string error;
        EXPECT_FALSE(Scenario::Parse(std::string(kBefore) + c.line + "\nseed 2\n", &s, &error)) << c.line;
        EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << c.line << " -> " << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.line << " -> " << error;
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_EQ(s.feeders.size(), Scenario::Default().feeders.size()) << "the scenario was changed: " << c.line;
    }
}

// The bounds themselves are taken, and the widest scenario still gives the machine
// positions within its counters.
TEST(ScenarioLines, NumbersAtTheirBoundsAreTakenAndFitTheMachine) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Parse("seed 4294967295\npulses 100000 0.5 100000 100000\n"
                                "holder 1 10000 -10000 -10000 10000 -10000\n"
                                "holder 2 +1 -1 1 -1 1 2 3 4 5 6 7 8 empty\n"
                                "disc 1 2 3 2\ncarries 8 1\nbelt 3600000\nnoise 100\n"
                                "image mark 8192 1 mono\nholdertolerance 0\n",
                                &s, &error))
        << error;
    EXPECT_EQ(s.seed, 4294967295u);
    ASSERT_EQ(s.holders.size(), 2u);
    EXPECT_FALSE(s.holders[1].holds);
    EXPECT_EQ(s.holders[1].entryZ[7], 8.0);
    EXPECT_EQ(s.tableDiscs[1].size(), 1u);
    EXPECT_EQ(s.headNozzle[7], 1);
    Machine machine;
    World world(machine, s);
    const auto holders = machine.NozzleHolders();
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(std::make_tuple(holders[0].x, holders[0].y, holders[0].entryX, holders[0].entryY, holders[0].entryZ[3]),
              std::make_tuple(1000000000, -5000, -1000000000, 5000, -1000000000));
}

// The world smt-sim starts on by default is read whole by the checked parser.
TEST(ScenarioLines, TheShippedScenarioIsTaken) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(Scenario::Load(std::string(SMT_SOURCE_DIR) + "/sim/default.scenario", &s, &error)) << error;
    EXPECT_FALSE(s.feeders.empty());
}

// A scenario built in code (not read from a file) with numbers beyond the counters
// still gives the machine positions it can hold.
TEST(ScenarioLines, AScenarioBuiltInCodeIsHeldWithinTheCounters) {
    Scenario s;
    s.pulsesX = 1e6;
    ScenarioHolder h;
    h.at = {1e6, -1e6};
    h.entry = {std::nan(""), 5.0};
    s.holders.push_back(h);
    Machine machine;
    World world(machine, s);
    const auto holders = machine.NozzleHolders();
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(std::make_tuple(holders[0].x, holders[0].entryX), std::make_tuple(2147483647, 0));
}

} // namespace
