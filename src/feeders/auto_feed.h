// The automatic feeders: up to 96 motor-driven feeders, each marked on or off in
// three 32-bit words, and the timing of the central feeder unit. One live instance
// per process; the dialog edits it on the user-interface thread and the feeder
// operation worker reads it while the busy flag is held, so every member is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "settings/dialog_captions.h"

namespace smt {

inline constexpr int kAutoFeederCount = 96;
inline constexpr int kAutoFeedRows = 6, kAutoFeedColumns = 16;

struct AutoFeed {
    std::atomic<int> m_Feed_Times{0};      // feed repetitions, 1 .. 10
    std::atomic<int> m_Feed_Delay{0};      // ms, 0 .. 10000
    std::atomic<int> m_Open_Length{0};     // mm, 0 .. 1000: loosen length
    std::atomic<int> m_Close_Length{0};    // mm, 0 .. 1000: tighten length
    std::atomic<int> m_FeedBack_Delay{70}; // ms, 0 .. 65535
    std::array<std::atomic<std::uint32_t>, 3> m_AutoFeedArray{};  // feeder n: bit (n-1)%32 of word (n-1)/32
    std::atomic<int> m_CurrentFeed{0};     // the feeder clicked, or 1, 33, 65 for a row
    std::atomic<int> m_CurrentWord{1};     // 1, 2 or 3

    // Whether feeder n (1..96) is marked; false outside.
    bool Marked(int feeder) const;
    // Toggles feeder n's bit and makes it the current feeder; false outside 1..96.
    bool ToggleFeeder(int feeder);
    // A click on the row number r (0..5): the row's 16 feeders all marked when its
    // first one was not, else all cleared; the current feeder becomes 1, 33 or 65.
    void ToggleRow(int row);
};

AutoFeed& TheAutoFeed();

// The feeder shown in grid row r (0..5), column c (1..16).
inline int AutoFeederAt(int row, int column) { return 16 * row + column; }

// Section "AutoFeedConfig": the five timing values (a stored 0 reads as 1, 200, 30,
// 45; the return delay stays 0). The words are never read: every start begins
// with no feeder marked.
void LoadAutoFeedConfig(AutoFeed& a, const std::string& configPath);
// The three words ("%d", a top bit set reads negative) and the five values, in one
// write; false when it failed.
bool SaveAutoFeedConfig(const AutoFeed& a, const std::string& configPath);

// Captions of section "AutoFeedConfig" of the caption file.
DialogCaptions& TheAutoFeedCaptions();

} // namespace smt
