// The vision subsystem's own ports in the program's hook registry.
#pragma once

namespace smt {
class HookRegistry;
void RegisterVisionHooks(HookRegistry& r);
} // namespace smt
