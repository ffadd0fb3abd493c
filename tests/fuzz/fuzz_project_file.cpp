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
#include "../support/kept_job_lines.h"
#include "platform/files.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Keeps what the reader hands over and gives it back to the writer.
using Lines = smt::test::KeptJobLines;

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
