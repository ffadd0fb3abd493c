// The machine link's hooks in the program's hook registry.
#pragma once

namespace smt {
class HookRegistry;
void RegisterLinkHooks(HookRegistry& r);
} // namespace smt
