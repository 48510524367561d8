// One full filter pass at the design's limits: 25 enabled rules, one per
// log, over 5000 events (25 logs of 200 entries each), with a real database
// and event file. The sends themselves are left out (their pauses would be
// all there is to measure); the report lines and duplicate checks stay.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "platform/system/text_file.h"
#include "service/filter_engine.h"

namespace {

namespace fs = std::filesystem;
using namespace corvane;

constexpr int kLogs = 25;
constexpr int kEntriesPerLog = 200;

class PassSetup {
 public:
  PassSetup() : clock_(*platform::MakeLocalTime(2026, 12, 11, 10)), context_(clock_) {
    std::string name = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = name;
    fs::create_directory(folder_ / "Debug");
    CreateDatabase(folder_ / "Corvane.mdb", kCurrentSchemaVersion);
    context_.state.AppFolder = folder_;
    context_.state.DbConnectString = DbConnectString(folder_);
    GeneralSettings& settings = context_.state.settings;
    settings.SendMaxTraps = 10;
    settings.DropDuplicate = true;
    settings.DropDupMess = "First Half Equal";
    settings.CaseSensitive = false;

    Connection db = Connection::Open(context_.state.DbConnectString);
    db.Execute("BEGIN");
    Recordset rules = Recordset::Open(db, "Event_Filter");
    std::vector<std::string> lines = {
        "LogName\tRecordId\tTimeCreated\tLevel\tSource\tCategory\tEventID\tUserName\tMachineName"
        "\tMessage"};
    for (int log = 0; log < kLogs; ++log) {
      const std::string name = "Log-" + std::to_string(log);
      context_.state.log_slots[log].Log = name;
      rules.AddNew();
      rules.SetField("Enabled", true);
      rules.SetField("Log", name);
      rules.SetField("SeverityExp", "<=");
      rules.SetField("Severity", "2 - Warning");
      rules.SetField("Source", log % 2 == 0 ? "service control*" : "*");
      rules.SetField("Category", "*");
      rules.SetField("EventID", "70##");
      rules.SetField("UserName", "S-1-5-*");
      rules.SetField("Computer", "HOST0?.*");
      rules.SetField("Message", "*terminated*");
      rules.SetField("Action", log % 3 == 0 ? "Send Trap+Syslog" : "Send Trap");
      rules.Update();
      for (int k = 1; k <= kEntriesPerLog; ++k) {
        lines.push_back(
            name + '\t' + std::to_string(k) + "\t2026-12-11 09:" + std::to_string(10 + k % 50) + ":00\t" +
            (k % 3 == 0 ? "3 - Information" : "1 - Error") + "\tService Control Manager\tn/a\t70" +
            std::to_string(10 + k % 90) + "\tS-1-5-18\tHOST01.example.local\tThe " + std::to_string(k) +
            " service terminated unexpectedly. It has done this " + std::to_string(k % 7) + " time(s). ");
      }
    }
    db.Execute("COMMIT");
    platform::WriteTextLines(folder_ / "Debug" / "s-logevent.txt", lines);
  }
  ~PassSetup() { fs::remove_all(folder_); }

  // Every entry new again, and the day's records empty.
  void Rewind() {
    for (auto& slot : context_.state.log_slots) slot.LastRecordId = 0;
    context_.state.SentKeyList.Reset();
    for (const char* name : {"s-snmptraps.txt", "s-syslog.txt"}) fs::remove(folder_ / "Debug" / name);
  }
  service::ServiceContext& context() { return context_; }

 private:
  platform::SimulatedClock clock_;
  service::ServiceContext context_;
  fs::path folder_;
};

void BM_FilterPass(benchmark::State& state) {
  PassSetup setup;
  int64_t traps = 0;
  int64_t syslogs = 0;
  service::FilterSenders senders;
  senders.SendTrap = [&](const EventRecord&, int16_t) { ++traps; };
  senders.SendSyslog = [&](const std::string&, const std::string&, const std::string&) { ++syslogs; };
  for (auto _ : state) {
    state.PauseTiming();
    setup.Rewind();
    state.ResumeTiming();
    service::FilterTest(setup.context(), senders);
  }
  state.SetItemsProcessed(state.iterations() * kLogs * kEntriesPerLog);
  state.counters["traps_per_pass"] = static_cast<double>(traps) / state.iterations();
  state.counters["syslogs_per_pass"] = static_cast<double>(syslogs) / state.iterations();
}
BENCHMARK(BM_FilterPass)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
