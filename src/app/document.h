// The job as files: the project file ".smt" and its companions ".dis", ".drill"
// and ".txt", the document commands New, Open, Save, Save As and the full save,
// and the list of recent files. The lines inside the files belong to the job
// lists; this layer reaches them through JobLines.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "joblist/job_lines.h"

namespace smt {

inline constexpr int kLampTableLineCount = 20;

// The path cut before the first ".smt" of the file name (not of its folders),
// or "" when the name holds no ".smt" past its first character:
// "/d/a.smt.bak.smt" gives "/d/a"; "/d/x.smt/job.smt" gives "/d/x.smt/job".
std::string CompanionBase(const std::string& projectPath);

struct FileResult {
    bool ok = true;
    std::string message;  // for the operator when !ok, or the companions a save could not write
};

// The file level, byte for byte, without questions or boxes.
FileResult WriteProjectFiles(const std::string& path, JobLines& lines, int machineType);
// Reads the files whole into a new job and only then replaces the open one; a
// failed read changes nothing (`anythingChanged` says whether the job was replaced).
FileResult ReadProjectFiles(const std::string& path, JobLines& lines, int machineType,
                            bool* anythingChanged = nullptr);
// Reads every file that ReadProjectFiles would read and checks that it would take
// them whole, without changing the job: the open's question before it replaces it.
FileResult CheckProjectFiles(const std::string& path, const JobLines& lines, int machineType);

// The most-recently-used list: four entries, newest first, no duplicates.
class RecentFileList {
public:
    static constexpr int kSize = 4;
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Entries() const { return m_entries; }
    // Kept in a profile file, section "Recent File List", keys File1..File4.
    void Load(const std::string& profilePath);
    bool Save(const std::string& profilePath) const;

private:
    std::vector<std::string> m_entries;
};

class CSMTDoc {
public:
    struct Hooks {
        std::string startFolder;
        // Creates the feeder list and part list panels when missing.
        std::function<void()> ensurePanels;
        // True when the feeder list exists; then writeFeedGroupTable fills g_FeedLines.
        std::function<bool()> feedListExists;
        std::function<void()> writeFeedGroupTable;
        // CameraListConfig and AutoFeedConfig into config.ini.
        std::function<void()> saveLibraryConfig;
        // Asks for a project path to save to; "" when cancelled.
        std::function<std::string(const std::string& suggested)> askSavePath;
        // The status bar's path pane.
        std::function<void(const std::string&)> showPath;
        // A project was opened or saved under this path (recent files).
        std::function<void(const std::string&)> fileUsed;
    };

    CSMTDoc(JobLines& lines, Hooks hooks);

    const std::string& PathName() const { return m_path; }
    bool IsUntitled() const { return m_path.empty(); }
    // The dispensing companion of the last save or load.
    const std::string& DisPath() const { return m_disPath; }

    // New: false (nothing changed) when the operator cancels or the save fails.
    bool OnNewDocument();
    // Open: files that cannot be read whole are refused with the error shown and the
    // open job, its rows and its path untouched, whatever made the read fail (the
    // files changed after the check, memory ran out).
    bool OnOpenDocument(const std::string& path);
    // Save under `path`; the failure is shown.
    bool OnSaveDocument(const std::string& path);
    // File Save (asks for a path when untitled) and File Save As.
    bool DoFileSave();
    bool DoSaveAs();
    // The full save: feeder rows, the eight table files, the library settings and,
    // with PCB records, the project. Each failure is shown; false when anything
    // failed or the path question was cancelled.
    bool SaveAll();

    static bool SaveFlag();

private:
    void SetCompanions(const std::string& path);

    JobLines& m_lines;
    Hooks m_hooks;
    std::string m_path;
    std::string m_disPath;
};

} // namespace smt
