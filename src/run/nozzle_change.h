// The automatic nozzle change of the run: each cycle CheckNozzleTypes compares the
// nozzle each loaded slot needs with what the heads carry and has ChangeNozzle put
// nozzles back into their holders of the library and take others out.
#pragma once

#include <atomic>
#include <cstdint>

namespace smt {

// Set while a head stands at the library's side entry.
extern std::atomic<std::uint8_t> g_LibraryOut;

// Records ur and lr are 1-based (9 the spare); un 0 skips the unload, ln 0 the
// load. false on a failed move, a stop or a refusal; the records and holders then
// keep the state the last finished step left.
bool ChangeNozzle(int ur, int uh, int un, int lr, int lh, int ln);
// false when a change failed: the run ends.
bool CheckNozzleTypes();

} // namespace smt
