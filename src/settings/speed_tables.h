// Speed codes of the machine's drives: the 16 drives, the seven operation types
// with their speed tables, the template rows of "config_speed.fig" and the
// built-in template names. Plain data and text rules; the live instance that the
// motion code reads is in speed_template.h.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <bit>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

namespace smt {

// ---- drives ----------------------------------------------------------------

inline constexpr int kSpeedDriveCount = 16;

// The one drive order of every table, template, key list and list column.
enum SpeedDrive : int {
    kDriveX, kDriveY, kDriveZ1, kDriveZ2, kDriveA1, kDriveA2, kDriveA3, kDriveA4,
    kDriveWestWalk, kDriveWestLift, kDriveNorthWalk, kDriveNorthLift,
    kDriveEastWalk, kDriveEastLift, kDriveAutoWalk1, kDriveAutoWalk2,
};

// Key suffix of a drive: "X", "Y", "Z1", ... "AutoWalk2".
const char* SpeedDriveKey(int drive);

struct SpeedPair {
    std::int32_t start = 0;  // start speed code
    std::int32_t run = 0;    // run speed code
    friend bool operator==(const SpeedPair&, const SpeedPair&) = default;
};

// ---- one operation type's speeds ---------------------------------------------

// A start and a run code per drive, 1 to 255 as they come from a template; a
// value never stored reads as 0.
struct SpeedTypeTable {
    std::int32_t m_Start_X = 0, m_Normal_X = 0;
    std::int32_t m_Start_Y = 0, m_Normal_Y = 0;
    std::int32_t m_Start_Z1 = 0, m_Normal_Z1 = 0;
    std::int32_t m_Start_Z2 = 0, m_Normal_Z2 = 0;
    std::int32_t m_Start_A1 = 0, m_Normal_A1 = 0;
    std::int32_t m_Start_A2 = 0, m_Normal_A2 = 0;
    std::int32_t m_Start_A3 = 0, m_Normal_A3 = 0;
    std::int32_t m_Start_A4 = 0, m_Normal_A4 = 0;
    std::int32_t m_Start_WestWalk = 0, m_Normal_WestWalk = 0;
    std::int32_t m_Start_WestLift = 0, m_Normal_WestLift = 0;
    std::int32_t m_Start_NorthWalk = 0, m_Normal_NorthWalk = 0;
    std::int32_t m_Start_NorthLift = 0, m_Normal_NorthLift = 0;
    std::int32_t m_Start_EastWalk = 0, m_Normal_EastWalk = 0;
    std::int32_t m_Start_EastLift = 0, m_Normal_EastLift = 0;
    std::int32_t m_Start_AutoWalk1 = 0, m_Normal_AutoWalk1 = 0;
    std::int32_t m_Start_AutoWalk2 = 0, m_Normal_AutoWalk2 = 0;

    // Field i (0..31): start then run per drive in drive order.
    std::int32_t Value(int index) const;
    void SetValue(int index, std::int32_t value);
    SpeedPair Pair(int drive) const { return {Value(2 * drive), Value(2 * drive + 1)}; }
    void SetPair(int drive, SpeedPair pair);

    friend bool operator==(const SpeedTypeTable&, const SpeedTypeTable&) = default;
};

// ---- operation types -------------------------------------------------------

inline constexpr int kSpeedTypeCount = 7;

enum class SpeedType : int { Reset, Handle, PickPart, Smt, VisualCorrection, VisualSmt, AutoNozzle };

// "m_Reset_Speed", "m_Handle_Speed", ... (also the config.ini section less "Config").
const char* SpeedTypeName(int type);

// ---- built-in template names ---------------------------------------------------

inline constexpr int kSpeedLanguageCount = 3;  // 0 Chinese, 1 English, 2 German
inline constexpr int kBuiltInSpeedNameCount = 8;

// The eight built-in names of a language: the operation types in order, then
// "取芯片速度1" / "Pick chip speed 1".
const char* BuiltInSpeedName(int language, int index);

// A name equal to one of the 24 built-in names (Chinese, English, German block in
// turn, first match wins) becomes the name at that position in `language`; any
// other text comes back as it is.
std::string TranslateSpeedName(std::string_view name, int language);

// ---- template rows -----------------------------------------------------------

inline constexpr int kSpeedTemplateCells = 17;
inline constexpr int kSpeedClassCount = 3;  // 0 high, 1 medium, 2 low

// Cell 0 the name, cells 1..16 "start / run" per drive.
using SpeedTemplateRow = std::array<std::string, kSpeedTemplateCells>;

// The separator between start and run in a template cell.
inline constexpr std::string_view kSpeedCellSeparator = " / ";

// Splits a cell at " / " into the texts before and after it. A cell without the
// separator (only a hand-edited file can hold one) gives its whole text for both,
// as one speed for start and run alike; returns false then.
bool SplitSpeedCell(std::string_view cell, std::string& startText, std::string& runText);
SpeedPair ParseSpeedCell(std::string_view cell);
std::string FormatSpeedCell(std::int32_t start, std::int32_t run);

// A row of the table file: cells up to the last tab, at most 17, built-in names
// translated into `language`; missing cells stay empty.
SpeedTemplateRow ParseTemplateRow(std::string_view text, int language);
// The 17 cells, each followed by a tab.
std::string JoinTemplateRow(const SpeedTemplateRow& row);

// The one-key scale of one cell: start and run times percent / 100, truncated, a
// result of 0 becoming 1. A cell without " / " gives false and stays as it is.
bool ScaleSpeedCell(std::string_view highCell, int percent, std::string& scaled);

// The three template classes; row i has the same name in all three.
struct SpeedTemplateTables {
    std::vector<SpeedTemplateRow> m_HighSpeedTable;
    std::vector<SpeedTemplateRow> m_MediumSpeedTable;
    std::vector<SpeedTemplateRow> m_LowSpeedTable;

    // Class 0 high, 1 medium, 2 low.
    std::vector<SpeedTemplateRow>& Class(int cls);
    const std::vector<SpeedTemplateRow>& Class(int cls) const;
    int Count() const { return static_cast<int>(m_HighSpeedTable.size()); }

    // Rows of "config_speed.fig": R = count / 3, the high block, then medium, then low;
    // rows beyond 3R are ignored.
    static SpeedTemplateTables FromRows(const std::vector<std::string>& rows, int language);
    // The reverse; nothing when there are no templates.
    std::vector<std::string> ToRows() const;

    friend bool operator==(const SpeedTemplateTables&, const SpeedTemplateTables&) = default;
};

// ---- a value read whole by other threads -------------------------------------------

// A small trivially copyable value written by one thread at a time and read by
// any thread without a lock: a reader always gets one whole stored value, never a
// mix of an old and a new one (sequence lock over relaxed atomic words).
template <class T>
class SeqLocked {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert(sizeof(T) % sizeof(std::uint32_t) == 0);
    static constexpr std::size_t kWords = sizeof(T) / sizeof(std::uint32_t);

public:
    SeqLocked() { Store(T{}); }
    SeqLocked(const SeqLocked&) = delete;
    SeqLocked& operator=(const SeqLocked&) = delete;

    T Load() const noexcept {
        std::array<std::uint32_t, kWords> words;
        for (;;) {
            const std::uint32_t before = m_seq.load(std::memory_order_acquire);
            if (before & 1u) {  // a store is under way: it is a handful of word writes
                std::this_thread::yield();
                continue;
            }
            for (std::size_t i = 0; i < kWords; ++i) words[i] = m_words[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (m_seq.load(std::memory_order_relaxed) == before) break;
        }
        return std::bit_cast<T>(words);
    }

    void Store(const T& value) noexcept {
        const auto words = std::bit_cast<std::array<std::uint32_t, kWords>>(value);
        std::lock_guard<std::mutex> lock(m_writer);
        const std::uint32_t seq = m_seq.load(std::memory_order_relaxed);
        m_seq.store(seq + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i) m_words[i].store(words[i], std::memory_order_relaxed);
        m_seq.store(seq + 2, std::memory_order_release);
    }

private:
    std::atomic<std::uint32_t> m_seq{0};
    std::array<std::atomic<std::uint32_t>, kWords> m_words{};
    std::mutex m_writer;
};

} // namespace smt
