// The shell's services in the program's hook registry.
#pragma once

namespace smt {
class HookRegistry;
void RegisterShellHooks(HookRegistry& r);
} // namespace smt
