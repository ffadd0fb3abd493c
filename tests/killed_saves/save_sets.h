// The saves that the killed-saves test interrupts, shared by the helper that runs
// them in a loop and the test that checks what a kill left: two jobs in folders of
// their own (machine type 9 with ".smt", ".dis" and ".drill"; type 4 with ".smt",
// ".dis" and ".txt") and the table files of a start folder with their backups. Every
// file of generation g says g, so a set is whole when all its files say the same.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/document.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/tablefile.h"
#include "../support/kept_job_lines.h"

namespace smt::test {

// Hands the document the lines of one generation and keeps what a read gives back.
struct GenerationLines : KeptJobLines {
    explicit GenerationLines(long g = -1) {
        if (g < 0) return;
        const std::string tag = std::to_string(g);
        name = "G" + tag;
        count = 1;
        // A record of the oldest layout with one placement row; a few KB per file, so
        // that a kill lands inside a write as well as between them.
        pcb = {name + "\t\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t1\t", tag + "\t" + std::string(2000, 'p') + "\t"};
        dis = {tag + "\t" + std::string(2000, 'd') + "\t"};
        drill = {tag + "\t" + std::string(2000, 'r') + "\t"};
    }
};

inline std::vector<std::string> LampLinesOf(long g) {
    return std::vector<std::string>(kLampTableLineCount, std::to_string(g) + "\t" + std::string(100, 'l') + "\t");
}

inline FigLists FigListsOf(long g) {
    const std::string tag = std::to_string(g) + "\t";
    FigLists l;
    for (TableFile f : kAllTableFiles) l.Rows(f) = {tag + std::string(300, 'f'), tag};
    l.speedSetNames = tag;
    return l;
}

struct SaveFolders {
    std::string start, job9, job4;  // job9 and job4 hold "job.smt" and its companions
};

// Which saves a generation makes.
enum class Saves { All, Jobs, Tables };

// One generation of the saves (all three by default); false when one of them failed.
inline bool SaveGeneration(const SaveFolders& f, long g, Saves which = Saves::All) {
    if (which != Saves::Tables) {
        GenerationLines lines(g);
        if (!WriteProjectFiles(f.job9 + "/job.smt", lines, 9).ok) return false;
        {
            std::lock_guard lock(LampTableMutex());
            g_LampTableLines = LampLinesOf(g);
        }
        if (!WriteProjectFiles(f.job4 + "/job.smt", lines, 4).ok) return false;
    }
    if (which == Saves::Jobs) return true;
    TableFileError error;
    return SaveFigLists(f.start, FigListsOf(g), error);
}

// The generation a line of these saves begins with; -1 for anything else.
inline long GenerationOf(const std::string& line) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || line.find_first_not_of("0123456789") != tab) return -1;
    return std::stol(line.substr(0, tab));
}

// The one generation every value says, or -2 when they differ (or one says none).
inline long OneGeneration(const std::vector<long>& gens) {
    for (long g : gens)
        if (g < 0 || g != gens.front()) return -2;
    return gens.empty() ? -2 : gens.front();
}

// Opens a job folder as the program does and says which generation its files hold;
// `error` gets why an open failed.
inline long JobGeneration(const std::string& folder, int machineType, std::string& error) {
    GenerationLines read;
    const FileResult r = ReadProjectFiles(folder + "/job.smt", read, machineType);
    if (!r.ok) error += r.message + "\n";
    std::vector<long> gens;
    gens.push_back(read.name.size() > 1 ? GenerationOf(read.name.substr(1) + "\t") : -1);
    gens.push_back(read.pcb.size() == 2 ? GenerationOf(read.pcb[1]) : -1);
    gens.push_back(read.dis.size() == 1 ? GenerationOf(read.dis[0]) : -1);
    if (machineType == 9) gens.push_back(read.drill.size() == 1 ? GenerationOf(read.drill[0]) : -1);
    if (machineType == 4) {
        std::lock_guard lock(LampTableMutex());
        if (g_LampTableLines.size() != kLampTableLineCount) gens.push_back(-1);
        for (const std::string& l : g_LampTableLines) gens.push_back(GenerationOf(l));
    }
    return OneGeneration(gens);
}

// Starts the program as it starts in the start folder and says which generation the
// sixteen table files hold.
inline long TableGeneration(const std::string& start, std::string& error) {
    RemoveKilledSaveLeftovers(start);
    std::vector<long> gens;
    for (const std::string& folder : {start, start + "/ConfigBackup"}) {
        FigLists lists;
        TableFileError e;
        if (!LoadFigLists(folder, lists, e)) error += e.file + ": " + e.reason + "\n";
        for (TableFile f : kAllTableFiles) {
            const auto& rows = lists.Rows(f);
            gens.push_back(rows.size() == 2 && GenerationOf(rows[1]) == GenerationOf(rows[0]) ? GenerationOf(rows[0]) : -1);
        }
        gens.push_back(GenerationOf(lists.speedSetNames));
    }
    return OneGeneration(gens);
}

} // namespace smt::test
