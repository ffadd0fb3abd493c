// Feeder-kind words and speed-class names: a row stores the word of the language
// current when it was written; every reader translates it by its index.
#pragma once

#include <string>
#include <string_view>

namespace smt {

inline constexpr int kFeedModeCount = 9;
inline constexpr int kSpeedNameCount = 8;

// Kinds whose feeders pick from their tray record ("托盘", "托盘_浸渍站").
inline constexpr int kFeedModeTray = 3;
inline constexpr int kFeedModeTrayDip = 8;

// The index 0..8 of a feeder-kind word, looked for in the Chinese, then the
// English, then the German block of g_FeedModeNames; -1 for any other text.
int FeedModeIndex(std::string_view word);
// The word of an index in the current language's block (empty outside 0..8).
std::string FeedModeWord(int index);
// A feeder-kind word in the current language; an unknown word stays as it is.
std::string TranslateFeedMode(std::string_view word);
// The same for a speed-class name (g_SpeedNames).
std::string TranslateSpeedName(std::string_view name);
// True when the text is one of the speed-class names of any language.
bool IsSpeedName(std::string_view name);
// Cell 23 as stored: only the text after the first "/" is translated; without a
// "/" the cell stays as it is.
std::string TranslateOwnSpeedCell(std::string_view cell);

} // namespace smt
