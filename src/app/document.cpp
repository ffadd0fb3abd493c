#include "app/document.h"

#include <stdexcept>

#include "base/captions.h"
#include "base/globals.h"
#include "base/tablefile.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/profile.h"

namespace smt {
namespace {

const char* const kNewSaveQuestion = "是否要保存工程文件?\r\nWhether to save the project file?";

std::atomic<bool> g_saveFlag{true};

void AppendInt32(std::string& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

bool ReadInt32(std::string_view bytes, std::size_t& pos, std::int32_t& v) {
    if (pos > bytes.size() || bytes.size() - pos < 4) return false;
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= std::uint32_t(static_cast<unsigned char>(bytes[pos + i])) << (8 * i);
    pos += 4;
    v = static_cast<std::int32_t>(u);
    return true;
}

// A count and that many strings.
std::string EncodeLines(const std::vector<std::string>& lines) {
    std::string out;
    AppendInt32(out, static_cast<std::int32_t>(lines.size()));
    for (const auto& l : lines) AppendArchiveString(out, l);
    return out;
}

bool ReadStrings(std::string_view bytes, std::size_t& pos, std::int64_t count,
                 std::vector<std::string>& out) {
    for (std::int64_t i = 0; i < count; ++i) {
        std::string s;
        if (!ReadArchiveString(bytes, pos, s)) return false;
        out.push_back(std::move(s));
    }
    return true;
}

FileResult Fail(const char* chinese, const char* english, const std::string& path) {
    return {false, std::string(chinese) + path + "\r\n" + english + path};
}
FileResult WriteFailed(const std::string& path) {
    return Fail("无法写入文件: ", "The file could not be written: ", path);
}
FileResult Damaged(const std::string& path) {
    return Fail("文件不完整或已损坏: ", "The file ends early or is damaged: ", path);
}

inline constexpr std::size_t kCompanionCells = 15;

// Reads "count, lines" from a companion; false with `result` set when it is short.
bool ReadCompanion(const std::string& path, std::vector<std::string>& lines, bool& present,
                   FileResult& result) {
    std::string bytes;
    present = plat::ReadWholeFile(plat::ResolvePath(path), bytes);
    if (!present) return true;  // a missing companion is skipped without a word
    std::size_t pos = 0;
    std::int32_t n = 0;
    if (!ReadInt32(bytes, pos, n) || !ReadStrings(bytes, pos, n > 0 ? n : 0, lines)) {
        result = Damaged(path);
        return false;
    }
    // Each line becomes a row of 15 cells, and a written line holds a TAB after
    // every cell: lines holding fewer bytes than their rows' cells (one-byte empty
    // strings by the million) are damaged, and would cost far more memory than
    // the file's size.
    std::size_t held = 0;
    for (const std::string& l : lines) held += l.size() + 1;
    if (lines.size() > held / kCompanionCells) {
        lines.clear();
        result = Damaged(path);
        return false;
    }
    return true;
}

// The folder of a job's files, and a file's name in it (a job's companions lie
// beside its project file).
std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}
std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whoever opens a job's folder finishes or rolls back a save of it killed half way
// and removes what a killed writer left there.
void OpenJobFolder(const std::string& path) { plat::FinishInterruptedSaves(FolderOf(path)); }

} // namespace

std::string CompanionBase(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto hit = path.find(".smt", nameStart);
    if (hit == std::string::npos || hit <= nameStart) return {};
    return path.substr(0, hit);
}

FileResult WriteProjectFiles(const std::string& path, JobLines& lines, int machineType) {
    // Every file is composed first, so a refusal leaves all of them as they were.
    std::string smt;
    AppendArchiveString(smt, lines.CurrentPcbName());
    AppendInt32(smt, lines.PcbRecordCount());
    smt += EncodeLines(lines.BuildPcbSection());

    const std::string base = CompanionBase(path);
    struct Out { std::string path, bytes; };
    std::vector<Out> companions;
    std::vector<std::string> lampLines;  // one copy: the lamp run may write the table meanwhile
    if (!base.empty()) {
        auto listFile = [&](const char* ext, int count, auto build) {
            const std::string p = base + ext;
            if (count > 0) companions.push_back({p, EncodeLines(build())});
            // An emptied list must not leave its old rows to come back on the next open.
            else if (plat::FileExists(plat::ResolvePath(p))) companions.push_back({p, EncodeLines({})});
        };
        listFile(".dis", lines.DisCount(), [&] { return lines.BuildDisLines(); });
        if (machineType == 9)
            listFile(".drill", lines.DrillCount(), [&] { return lines.BuildDrillLines(); });
        if (machineType == 4) {
            std::lock_guard lock(LampTableMutex());
            lampLines = g_LampTableLines;
        }
        if (machineType == 4 && lampLines.size() >= kLampTableLineCount) {
            std::string txt;
            for (int i = 0; i < kLampTableLineCount; ++i) AppendArchiveString(txt, lampLines[i]);
            companions.push_back({base + ".txt", std::move(txt)});
        }
    }
    // The project and its companions are one set: a save killed half way leaves all
    // of them old or all new. A companion that cannot be written does not take the
    // job back; each one missed is named in one message.
    const std::string folder = FolderOf(path);
    std::vector<plat::SetFile> set{{FileNameOf(path), std::move(smt), true}};
    for (auto& c : companions) set.push_back({FileNameOf(c.path), std::move(c.bytes), false});
    std::vector<std::size_t> notWritten;
    if (!plat::WriteFileSet(folder, set, &notWritten)) return WriteFailed(path);
    std::vector<std::string> missed;
    if (!base.empty() && machineType == 4 && lampLines.size() < kLampTableLineCount)
        missed.push_back(base + ".txt");
    for (std::size_t i : notWritten) missed.push_back(companions[i - 1].path);
    FileResult r;
    if (!missed.empty()) {
        std::string names;
        for (const auto& m : missed) names += "\r\n" + m;
        r.message = "工程已保存, 以下附属文件未能写入:" + names + "\r\n\r\nThe job was saved; these companion files could not be written:" + names;
    }
    return r;
}

namespace {

FileResult CannotOpen(const std::string& path) {
    return Fail("无法打开文件: ", "The file could not be opened: ", path);
}

// The project file's content: the current PCB name, the record count and the section.
struct ProjectHead {
    std::string name;
    std::int32_t pcbCount = 0;
    std::vector<std::string> section;
};

bool DecodeProject(std::string_view bytes, ProjectHead& head) {
    std::size_t pos = 0;
    std::int32_t n = 0;
    return ReadArchiveString(bytes, pos, head.name) && ReadInt32(bytes, pos, head.pcbCount) &&
           ReadInt32(bytes, pos, n) && ReadStrings(bytes, pos, n > 0 ? n : 0, head.section);
}

// Reads every file of the job whole into `content`; the open job is not touched.
FileResult ReadJobContent(const std::string& path, int machineType, JobContent& content) {
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes)) return CannotOpen(path);
    ProjectHead head;
    const bool whole = DecodeProject(bytes, head);
    bytes = {};
    if (!whole) return Damaged(path);
    content.currentPcbName = std::move(head.name);
    content.pcbCount = head.pcbCount;
    content.pcbSection = std::move(head.section);

    const std::string base = CompanionBase(path);
    if (base.empty()) return {};
    FileResult result;
    if (!ReadCompanion(base + ".dis", content.dis, content.disPresent, result)) return result;
    if (machineType == 9) {
        content.takeDrill = true;
        if (!ReadCompanion(base + ".drill", content.drill, content.drillPresent, result)) return result;
    }
    if (machineType == 4) {
        content.takeLamp = true;
        const std::string txtPath = base + ".txt";
        std::string txt;
        if (plat::ReadWholeFile(plat::ResolvePath(txtPath), txt)) {
            std::size_t p = 0;
            if (!ReadStrings(txt, p, kLampTableLineCount, content.lamp)) return Damaged(txtPath);
        } else {
            // A job without lamp points must not keep the previous job's.
            content.lamp.assign(kLampTableLineCount, std::string(kLampCells, '\t') + "\r\n");
        }
    }
    return {};
}

} // namespace

FileResult ReadProjectFiles(const std::string& path, JobLines& lines, int machineType,
                            bool* anythingChanged) {
    if (anythingChanged) *anythingChanged = false;
    // The files are read into a new job, which replaces the open one only when the
    // whole read succeeded: whatever makes it fail (a damaged file, memory) ends as
    // a failed open with the open job, its rows and its path as they were.
    try {
        OpenJobFolder(path);
        JobContent content;
        if (FileResult r = ReadJobContent(path, machineType, content); !r.ok) return r;
        lines.TakeJob(std::move(content));
    } catch (const std::exception&) {
        return Damaged(path);
    }
    if (anythingChanged) *anythingChanged = true;
    return {};
}

FileResult CheckProjectFiles(const std::string& path, const JobLines& lines, int machineType) {
    OpenJobFolder(path);
    try {
        std::string bytes;
        if (!plat::ReadWholeFile(path, bytes)) return CannotOpen(path);
        ProjectHead head;
        const bool whole = DecodeProject(bytes, head);
        bytes = {};
        if (!whole || (head.pcbCount > 0 && !lines.PcbSectionReadable(head.pcbCount, head.section)))
            return Damaged(path);
        head = {};
        const std::string base = CompanionBase(path);
        if (base.empty()) return {};
        FileResult result;
        bool present = false;
        std::vector<std::string> companion;
        if (!ReadCompanion(base + ".dis", companion, present, result)) return result;
        companion.clear();
        if (machineType == 9 && !ReadCompanion(base + ".drill", companion, present, result)) return result;
        if (machineType == 4) {
            const std::string txtPath = base + ".txt";
            std::string txt;
            std::vector<std::string> lamp;
            std::size_t p = 0;
            if (plat::ReadWholeFile(plat::ResolvePath(txtPath), txt) && !ReadStrings(txt, p, kLampTableLineCount, lamp))
                return Damaged(txtPath);
        }
        return {};
    } catch (const std::exception&) {
        return Damaged(path);
    }
}

// ---- recent files -------------------------------------------------------------

void RecentFileList::Add(const std::string& path) {
    Remove(path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kSize) m_entries.resize(kSize);
}

void RecentFileList::Remove(const std::string& path) {
    std::erase(m_entries, path);
}

void RecentFileList::Load(const std::string& profilePath) {
    m_entries.clear();
    for (int i = 1; i <= kSize; ++i) {
        std::string v = plat::GetPrivateProfileString("Recent File List", "File" + std::to_string(i), "",
                                                      kProfileBufferChars, profilePath);
        if (!v.empty()) m_entries.push_back(v);
    }
}

bool RecentFileList::Save(const std::string& profilePath) const {
    plat::ProfileBatch batch(profilePath);
    bool ok = true;
    for (int i = 1; i <= kSize; ++i) {
        const std::string v = i <= static_cast<int>(m_entries.size()) ? m_entries[i - 1] : std::string();
        ok = plat::WritePrivateProfileString("Recent File List", "File" + std::to_string(i), v, profilePath) && ok;
    }
    return batch.Commit() && ok;
}

// ---- the document -------------------------------------------------------------

CSMTDoc::CSMTDoc(JobLines& lines, Hooks hooks) : m_lines(lines), m_hooks(std::move(hooks)) {}

bool CSMTDoc::SaveFlag() { return g_saveFlag.load(); }

void CSMTDoc::SetCompanions(const std::string& path) {
    const std::string base = CompanionBase(path);
    m_disPath = base.empty() ? "" : base + ".dis";
}

bool CSMTDoc::OnNewDocument() {
    if (m_hooks.ensurePanels) m_hooks.ensurePanels();
    if (m_lines.PcbRecordCount() > 0) {
        const auto answer = plat::MessageBoxAsk(kNewSaveQuestion, plat::MsgButtons::YesNoCancel, true);
        if (answer == plat::MsgAnswer::Cancel) return false;  // Cancel changes nothing
        if (answer == plat::MsgAnswer::Yes) {
            if (!SaveAll()) return false;  // keep the job that could not be saved
            m_lines.FreePcbRecords();
        }
        m_lines.ClearPlacementList();
    }
    m_path.clear();
    return true;
}

bool CSMTDoc::OnOpenDocument(const std::string& path) {
    // Files that cannot be read whole leave the open job as it was.
    if (const FileResult check = CheckProjectFiles(path, m_lines, g_MachineType); !check.ok) {
        plat::MessageBoxOk(check.message, false, plat::MsgIcon::Error);
        return false;
    }
    // The new names are made before the job is taken, so that taking them cannot fail.
    std::string newPath = path;
    const std::string base = CompanionBase(path);
    std::string newDis = base.empty() ? "" : base + ".dis";
    const FileResult r = ReadProjectFiles(path, m_lines, g_MachineType);
    if (!r.ok) {
        plat::MessageBoxOk(r.message, false, plat::MsgIcon::Error);
        return false;
    }
    m_path.swap(newPath);
    m_disPath.swap(newDis);
    if (m_hooks.showPath) m_hooks.showPath(path);
    if (m_hooks.fileUsed) m_hooks.fileUsed(path);
    return true;
}

bool CSMTDoc::OnSaveDocument(const std::string& path) {
    if (m_hooks.showPath) m_hooks.showPath(path);
    SetCompanions(path);
    const FileResult r = WriteProjectFiles(path, m_lines, g_MachineType);
    if (!r.ok) {
        plat::MessageBoxOk(r.message, false, plat::MsgIcon::Error);
        return false;
    }
    if (!r.message.empty()) plat::MessageBoxOk(r.message, false, plat::MsgIcon::Warning);
    m_path = path;
    if (m_hooks.fileUsed) m_hooks.fileUsed(path);
    return true;
}

bool CSMTDoc::DoFileSave() {
    if (m_path.empty()) return DoSaveAs();
    return OnSaveDocument(m_path);
}

bool CSMTDoc::DoSaveAs() {
    std::string path = m_hooks.askSavePath ? m_hooks.askSavePath(m_path) : std::string();
    if (path.empty()) return false;
    return OnSaveDocument(path);
}

bool CSMTDoc::SaveAll() {
    if (m_hooks.feedListExists && m_hooks.feedListExists() && m_hooks.writeFeedGroupTable)
        m_hooks.writeFeedGroupTable();
    // The flag keeps a second full save from starting inside the first; it is set
    // again on every way out.
    if (!g_saveFlag.exchange(false)) return false;
    struct Restore { ~Restore() { g_saveFlag = true; } } restore;

    TableFileError error;
    if (!SaveFigLists(m_hooks.startFolder, g_FigLists, error)) {
        plat::MessageBoxOk("表格文件保存失败: " + error.file + "\r\nThe table file could not be saved: " +
                               error.file + " (" + error.reason + ")",
                           false, plat::MsgIcon::Error);
        return false;
    }
    if (m_hooks.saveLibraryConfig) m_hooks.saveLibraryConfig();
    if (m_lines.PcbRecordCount() > 0) return DoFileSave();
    return true;
}

} // namespace smt
