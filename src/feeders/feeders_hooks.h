// The feeder subsystem's ports in the program's hook registry.
#pragma once

namespace smt {
class HookRegistry;
void RegisterFeedersHooks(HookRegistry& r);
} // namespace smt
