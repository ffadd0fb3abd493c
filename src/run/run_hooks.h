#pragma once

namespace smt {

class HookRegistry;

// Every hook the run adds, with the subsystem that fills it.
void RegisterRunHooks(HookRegistry& r);

} // namespace smt
