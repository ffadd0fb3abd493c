#include "feeders/auto_feed.h"

#include "base/numtext.h"
#include "platform/profile.h"
#include "settings/section_keys.h"

namespace smt {

namespace {

constexpr const char* kSection = "AutoFeedConfig";

// The timing values as the section-key table reads and writes them.
struct AutoFeedTiming {
    int m_Feed_Times = 0, m_Feed_Delay = 0, m_Open_Length = 0, m_Close_Length = 0, m_FeedBack_Delay = 0;
};
constexpr SectionKey<AutoFeedTiming> kKeys[] = {
    {"m_Feed_Times", nullptr, &AutoFeedTiming::m_Feed_Times},
    {"m_Feed_Delay", nullptr, &AutoFeedTiming::m_Feed_Delay},
    {"m_Open_Length", nullptr, &AutoFeedTiming::m_Open_Length},
    {"m_Close_Length", nullptr, &AutoFeedTiming::m_Close_Length},
    {"m_FeedBack_Delay", nullptr, &AutoFeedTiming::m_FeedBack_Delay},
};
constexpr const char* kWordKeys[] = {"m_AutoFeedArray[0]", "m_AutoFeedArray[1]", "m_AutoFeedArray[2]"};

} // namespace

bool AutoFeed::Marked(int feeder) const {
    if (feeder < 1 || feeder > kAutoFeederCount) return false;
    const int n = feeder - 1;
    return (m_AutoFeedArray[static_cast<std::size_t>(n / 32)].load() >> (n % 32)) & 1u;
}

bool AutoFeed::ToggleFeeder(int feeder) {
    if (feeder < 1 || feeder > kAutoFeederCount) return false;
    const int n = feeder - 1;
    m_AutoFeedArray[static_cast<std::size_t>(n / 32)] ^= (1u << (n % 32));
    m_CurrentFeed = feeder;
    m_CurrentWord = n / 32 + 1;
    return true;
}

void AutoFeed::ToggleRow(int row) {
    if (row < 0 || row >= kAutoFeedRows) return;
    const std::uint32_t half = row % 2 == 0 ? 0x0000FFFFu : 0xFFFF0000u;
    auto& word = m_AutoFeedArray[static_cast<std::size_t>(row / 2)];
    // The row follows its first feeder, whatever the others show.
    if (Marked(AutoFeederAt(row, 1))) word &= ~half;
    else word |= half;
    m_CurrentWord = row / 2 + 1;
    m_CurrentFeed = 32 * (row / 2) + 1;
}

AutoFeed& TheAutoFeed() {
    static AutoFeed a;
    return a;
}

void LoadAutoFeedConfig(AutoFeed& a, const std::string& configPath) {
    AutoFeedTiming t;
    LoadSectionKeys(t, kSection, std::span<const SectionKey<AutoFeedTiming>>(kKeys), configPath);
    a.m_Feed_Times = t.m_Feed_Times ? t.m_Feed_Times : 1;
    a.m_Feed_Delay = t.m_Feed_Delay ? t.m_Feed_Delay : 200;
    a.m_Open_Length = t.m_Open_Length ? t.m_Open_Length : 30;
    a.m_Close_Length = t.m_Close_Length ? t.m_Close_Length : 45;
    a.m_FeedBack_Delay = t.m_FeedBack_Delay;
}

bool SaveAutoFeedConfig(const AutoFeed& a, const std::string& configPath) {
    plat::ProfileBatch batch(configPath);
    bool ok = true;
    for (std::size_t w = 0; w < 3; ++w)
        ok = plat::WritePrivateProfileString(kSection, kWordKeys[w],
                                             FormatInt(static_cast<std::int32_t>(a.m_AutoFeedArray[w].load())),
                                             configPath) && ok;
    const AutoFeedTiming t{a.m_Feed_Times, a.m_Feed_Delay, a.m_Open_Length, a.m_Close_Length, a.m_FeedBack_Delay};
    // Integer keys only: written directly (the shared saver's length branch, never
    // taken here, makes the optimiser warn about the struct).
    for (const SectionKey<AutoFeedTiming>& k : kKeys)
        ok = plat::WritePrivateProfileString(kSection, k.key, FormatInt(t.*k.integer), configPath) && ok;
    return batch.Commit() && ok;
}

DialogCaptions& TheAutoFeedCaptions() {
    static DialogCaptions captions(kSection, {
        {"AutoFeed.c_AutoFeed", "自动飞达操作"},
        {"AutoFeed.c_WholeFeedSet", "集中飞达设置"},
        {"AutoFeed.c_Feed_Times", "送料次数"},
        {"AutoFeed.c_Open_Length", "松皮长度"},
        {"AutoFeed.c_Feed_Delay", "送料延时"},
        {"AutoFeed.c_Close_Length", "紧皮长度"},
        {"AutoFeed.c_IDOK", "确定"},
        {"AutoFeed.c_IDCANCEL", "取消"},
        {"AutoFeed.c_AutoFeedSet", "自动飞达设置"},
        {"AutoFeed.c_FeedBack_Delay", "飞达回退延时"},
    });
    return captions;
}

} // namespace smt
