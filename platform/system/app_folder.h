#pragma once
// The folder of the running program file: the root of every path the
// programs use (Debug/, Backup/, temp/, Corvane.mdb, Corvane.ini).

#include <filesystem>

namespace corvane::platform {

std::filesystem::path ProgramFolder();

}  // namespace corvane::platform
