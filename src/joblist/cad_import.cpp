#include "joblist/cad_import.h"

#include <cmath>
#include <unordered_map>

#include "base/captions.h"
#include "base/numtext.h"
#include "feeders/feed_group_table.h"
#include "joblist/pcb_editor.h"
#include "settings/section_keys.h"

namespace smt {

namespace {
constexpr const char* kSection = "ImportFileConfig";
constexpr std::array<SectionKey<ImportFileConfig>, 2> kImportKeys{{
    {"m_FitPartPacking", nullptr, &ImportFileConfig::m_FitPartPacking},
    {"m_FitPartValue", nullptr, &ImportFileConfig::m_FitPartValue},
}};
} // namespace

void LoadImportFileConfig(ImportFileConfig& config, const std::string& configPath) {
    LoadSectionKeys<ImportFileConfig>(config, kSection, kImportKeys, configPath);
}

bool SaveImportFileConfig(const ImportFileConfig& config, const std::string& configPath) {
    return SaveSectionKeys<ImportFileConfig>(config, kSection, kImportKeys, configPath);
}

ImportFileConfig& TheImportFileConfig() {
    static ImportFileConfig config;
    return config;
}

const std::array<ImportFileText, kImportFileTextCount> kImportFileTexts{{
    {"c_ImportFile", "导入文件"},
    {"c_ImportFormat", "导入文件格式"},
    {"c_OpenPCBFile", "打开PCB坐标文件"},
    {"c_ImportAllToProject", "导入全部到工程"},
    {"c_FitPartPacking", "适配元件封装"},
    {"c_FitPartValue", "适配元件数值"},
    {"c_IDOK", "确定"},
    {"c_PartNumber", "元件数量：0"},
    {"c_ImportFileList_01", "元件名称"},
    {"c_ImportFileList_02", "元件封装"},
    {"c_ImportFileList_03", "X坐标"},
    {"c_ImportFileList_04", "Y坐标"},
    {"c_ImportFileList_05", "旋转角度"},
    {"c_ImportFileList_06", "备  注"},
    {"c_ImportFileList_07", "标  记"},
    {"c_Message_05", "没有发现要导入的文件 !"},
    {"c_Message_06", "是否删除选择的行 ?"},
    // The reader's reports: a file without parts, and lines passed over.
    {"c_Message_07", "文件中没有找到元件坐标："},
    {"c_Message_08", "坐标不是数字的行已跳过："},
    {"c_Message_09", "格式"},
    // A file that does not look like the chosen layout (the layout's name follows),
    // the question whether to read it anyway, and "line" of a passed-over line.
    {"c_Message_10", "文件与所选格式不符："},
    {"c_Message_11", "仍然读入吗 ?"},
    {"c_Message_12", "行"},
}};

ImportFileTexts::ImportFileTexts() {
    for (int i = 0; i < kImportFileTextCount; ++i) text[i] = kImportFileTexts[i].chinese;
}

void ImportFileTexts::Load(const std::string& startFolder, const std::string& language) {
    for (int i = 0; i < kImportFileTextCount; ++i)
        text[i] = LoadCaption(startFolder, language, kSection, std::string("ImportFile.") + kImportFileTexts[i].suffix,
                              kImportFileTexts[i].chinese);
}

const std::string& ImportFileTexts::Get(std::string_view suffix) const {
    for (int i = 0; i < kImportFileTextCount; ++i)
        if (suffix == kImportFileTexts[i].suffix) return text[i];
    static const std::string none;
    return none;
}

std::string ImportTimeStamp(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return "0-0-0  -1:-1:-1";
    return FormatC("%d-%d-%d  %d:%d:%d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                   tm.tm_sec);
}

std::string ConvertImportedLength(const std::string& text, int format) {
    if (format >= 0 && format <= 3) {
        if (const std::size_t p = text.find("mm"); p != std::string::npos) return FormatMm(AtoF(text.substr(0, p)));
        if (const std::size_t p = text.find("mil"); p != std::string::npos)
            return FormatMm(AtoF(text.substr(0, p)) * 0.0254);
        return text;
    }
    if (format == 10) return FormatMm(AtoF(text) * 0.0254);
    return text;
}

std::string ConvertImportedAngle(const std::string& text) {
    int a = AtoI(text);
    if (a < 0) a += 360;
    return a == 360 ? "0" : FormatInt(a);
}

namespace {

bool FlagYes(const std::string& cell) { return cell.rfind("Yes/", 0) == 0; }

// First feeder per package, per value and per both, in list order.
struct FeederIndex {
    std::unordered_map<std::string, int> byPackage, byValue, byBoth;
    explicit FeederIndex(const std::vector<FeedRow>& feeders) {
        for (int i = 0; i < static_cast<int>(feeders.size()); ++i) {
            const FeedRow& f = feeders[i];
            byPackage.emplace(f[2], i);
            byValue.emplace(f[3], i);
            byBoth.emplace(f[2] + '\0' + f[3], i);
        }
    }
    int Find(const std::string& package, const std::string& value, bool fitPacking, bool fitValue) const {
        const std::unordered_map<std::string, int>* map = nullptr;
        std::string key;
        if (fitPacking && fitValue) map = &byBoth, key = package + '\0' + value;
        else if (fitPacking) map = &byPackage, key = package;
        else if (fitValue) map = &byValue, key = value;
        if (!map) return -1;
        const auto it = map->find(key);
        return it == map->end() ? -1 : it->second;
    }
};

} // namespace

bool AppendImportedParts(PcbEditor& pcb, const std::vector<std::vector<std::string>>& rows, int columns,
                         int format, int fitPacking, int fitValue, const std::vector<FeedRow>& feeders,
                         const ImportProgress& progress, std::time_t now) {
    const int n = static_cast<int>(rows.size());
    if (progress.begin) progress.begin(n);
    const std::string stamp = ImportTimeStamp(now);
    const int k = pcb.FindPcbIndex();
    if (k < 0) return false;
    const FeederIndex index(feeders);
    std::vector<PartRow> out(n);
    for (int i = 0; i < n; ++i) {
        const std::vector<std::string>& in = rows[i];
        auto cell = [&](int j) -> const std::string& {
            static const std::string none;
            return j < static_cast<int>(in.size()) ? in[j] : none;
        };
        PartRow& r = out[i];
        r[0] = FormatInt(i + 1);
        for (int j = 0; j < columns && j < 6; ++j) {
            switch (j) {
            case 0: r[4] = cell(0); break;
            case 1: r[6] = cell(1); break;
            case 2: r[1] = ConvertImportedLength(cell(2), format); break;
            case 3: r[2] = ConvertImportedLength(cell(3), format); break;
            case 4: r[3] = ConvertImportedAngle(cell(4)); break;
            case 5: {
                const std::string& value = cell(5);
                r[8] = value;
                const int f = index.Find(cell(1), value, fitPacking != 0, fitValue != 0);
                if (f >= 0) {
                    const FeedRow& feeder = feeders[f];
                    r[7] = "1/Yes";
                    r[9] = feeder[feedcell::Id];
                    r[10] = FlagYes(feeder[feedcell::Camera]) || FlagYes(feeder[feedcell::Flying]) ? "1/Yes" : "0/No";
                    r[11] = value;
                    r[12] = feeder[10];
                } else {
                    r[7] = "0/No";
                    r[10] = "0/No";
                }
                break;
            }
            }
        }
        r[13] = stamp;
        if (progress.step)
            progress.step(FormatC("%d%%", static_cast<int>(std::trunc((i + 1) / static_cast<double>(n) * 100 + 0.5))));
    }
    pcb.m_PcbRecords[k].m_PartRows = std::move(out);
    return true;
}

} // namespace smt
