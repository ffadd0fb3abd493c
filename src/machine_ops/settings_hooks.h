// The machine settings' hooks in the program's hook registry.
#pragma once

namespace smt {
class HookRegistry;
void RegisterSettingsHooks(HookRegistry& r);
} // namespace smt
