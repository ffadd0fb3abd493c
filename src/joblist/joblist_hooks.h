// Every hook the job lists add, with the subsystem that fills it.
#pragma once

namespace smt {

class HookRegistry;
void RegisterJobListHooks(HookRegistry& r);

} // namespace smt
