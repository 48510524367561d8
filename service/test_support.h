#pragma once
// Test helpers for the service's procedures: a fresh AppFolder with Debug/
// and Backup/ in a temporary folder, a context on a simulated clock, and the
// application-log entries the procedures write.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "service/service_context.h"

namespace corvane::service::testing {

struct AppEntry {
  std::string module;
  std::string procedure;
  std::string text;
  EntryType type;
};

class ServiceFixture : public ::testing::Test {
 protected:
  explicit ServiceFixture(platform::TimePoint start = *platform::MakeLocalTime(2026, 12, 11, 10))
      : clock(start), context(clock) {
    std::string name = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = name;
    std::filesystem::create_directory(folder / "Debug");
    std::filesystem::create_directory(folder / "Backup");
    context.state.AppFolder = folder;
    context.write_app_event = [this](std::string_view module, std::string_view procedure,
                                     std::string_view text, EntryType type) {
      entries.push_back({std::string(module), std::string(procedure), std::string(text), type});
    };
  }
  ~ServiceFixture() override { std::filesystem::remove_all(folder); }

  std::filesystem::path debug() const { return folder / "Debug"; }

  platform::SimulatedClock clock;
  ServiceContext context;
  std::filesystem::path folder;
  std::vector<AppEntry> entries;
};

}  // namespace corvane::service::testing
