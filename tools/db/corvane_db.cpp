// corvane-db: makes a configuration database file.
//   corvane-db create PATH [--version 2.22|1.10]

#include <cstdio>
#include <string>
#include <string_view>

#include "common/database/database.h"
#include "common/database/schema.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: corvane-db create PATH [--version %s|%s]\n",
               std::string(corvane::kCurrentSchemaVersion).c_str(),
               std::string(corvane::kOldestSchemaVersion).c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::string_view(argv[1]) != "create") return Usage();
  std::string version(corvane::kCurrentSchemaVersion);
  if (argc == 5 && std::string_view(argv[3]) == "--version") {
    version = argv[4];
  } else if (argc != 3) {
    return Usage();
  }
  try {
    corvane::CreateDatabase(argv[2], version);
  } catch (const corvane::DatabaseError& e) {
    std::fprintf(stderr, "corvane-db: %s\n", e.what());
    return 1;
  }
  return 0;
}
