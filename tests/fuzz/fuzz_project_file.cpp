// Arbitrary bytes as a project file and its companions (the first byte picks the
// machine type): reading never fails in any other way than with the operator's
// message, and whatever was read writes back and reads again to the same lines.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/document.h"
#include "platform/files.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Keeps what the reader hands over and gives it back to the writer.
struct Lines : smt::JobLines {
    std::string name;
    std::int32_t count = 0;
    std::vector<std::string> pcb, dis, drill;
    int PcbRecordCount() const override { return count; }
    std::string CurrentPcbName() const override { return name; }
    std::vector<std::string> BuildPcbSection() override { return pcb; }
    void ParsePcbSection(const std::string& n, std::int32_t c, const std::vector<std::string>& l) override {
        name = n, count = c, pcb = l;
    }
    void FreePcbRecords() override { name.clear(), count = 0, pcb.clear(); }
    void ClearPlacementList() override {}
    int DisCount() const override { return static_cast<int>(dis.size()); }
    std::vector<std::string> BuildDisLines() override { return dis; }
    void ParseDisLines(const std::vector<std::string>& l) override { dis = l; }
    void FreeDisRows() override { dis.clear(); }
    int DrillCount() const override { return static_cast<int>(drill.size()); }
    std::vector<std::string> BuildDrillLines() override { return drill; }
    void ParseDrillLines(const std::vector<std::string>& l) override { drill = l; }
    void FreeDrillRows() override { drill.clear(); }
    void ReadLampTableLines() override {}
    bool operator==(const Lines& o) const {
        return name == o.name && count == o.count && pcb == o.pcb && dis == o.dis && drill == o.drill;
    }
};

// A folder of this process's own, in memory where the system has one (writes flush).
const std::string& folder() {
    static const std::string path = [] {
        std::string t = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz_project_XXXXXX");
        if (!mkdtemp(t.data())) std::abort();
        return t;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const int kTypes[] = {0, 4, 9};
    const int machineType = kTypes[data[0] % 3];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string base = folder() + "/job";
    // The same bytes as the project file and as each companion.
    for (const char* ext : {".smt", ".dis", ".drill", ".txt"}) check(plat::WriteFileAtomic(base + ext, bytes));

    Lines read;
    const smt::FileResult first = smt::ReadProjectFiles(base + ".smt", read, machineType);
    check(first.ok || !first.message.empty());
    if (!first.ok || machineType == 4) return 0;  // the lamp table is not the document's to write back

    check(smt::WriteProjectFiles(folder() + "/back.smt", read, machineType).ok);
    Lines again;
    check(smt::ReadProjectFiles(folder() + "/back.smt", again, machineType).ok);
    check(again == read);
    return 0;
}
