#include "feeders/feeder_words.h"

#include <span>

#include "base/globals.h"

namespace smt {

namespace {

int Language() {
    const int lang = g_LanguageIndex.load();
    return lang >= 0 && lang < kLanguageCount ? lang : 0;
}

// Index within a block of the first block (Chinese, English, German) holding the word.
int IndexIn(std::span<const std::string> names, int perBlock, std::string_view word) {
    for (int block = 0; block < kLanguageCount; ++block)
        for (int i = 0; i < perBlock; ++i)
            if (names[static_cast<std::size_t>(block * perBlock + i)] == word) return i;
    return -1;
}

std::string Translate(std::span<const std::string> names, int perBlock, std::string_view word) {
    const int i = IndexIn(names, perBlock, word);
    if (i < 0) return std::string(word);
    return names[static_cast<std::size_t>(Language() * perBlock + i)];
}

} // namespace

int FeedModeIndex(std::string_view word) { return IndexIn(g_FeedModeNames, kFeedModeCount, word); }

std::string FeedModeWord(int index) {
    if (index < 0 || index >= kFeedModeCount) return {};
    return g_FeedModeNames[static_cast<std::size_t>(Language() * kFeedModeCount + index)];
}

std::string TranslateFeedMode(std::string_view word) { return Translate(g_FeedModeNames, kFeedModeCount, word); }

std::string TranslateSpeedName(std::string_view name) { return Translate(g_SpeedNames, kSpeedNameCount, name); }

bool IsSpeedName(std::string_view name) { return IndexIn(g_SpeedNames, kSpeedNameCount, name) >= 0; }

std::string TranslateOwnSpeedCell(std::string_view cell) {
    const std::size_t slash = cell.find('/');
    if (slash == std::string_view::npos) return std::string(cell);
    return std::string(cell.substr(0, slash + 1)) + TranslateSpeedName(cell.substr(slash + 1));
}

} // namespace smt
