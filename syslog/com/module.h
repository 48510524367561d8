#pragma once
// Counts the library's live objects and server locks, so the host can tell
// when the library may be unloaded.

namespace ostrel {

void LockModule();
void UnlockModule();
bool ModuleInUse();

}  // namespace ostrel
