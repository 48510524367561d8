// The traps as a real trap receiver reads them: net-snmp's snmptrapd,
// started here on a loopback port with a private configuration and no MIBs,
// prints every field and variable it decoded.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "platform/snmp/snmp_agent.h"
#include "platform/system/text_file.h"
#include "service/trap_composer.h"
#include "tests/snmp/loopback.h"
#include "tests/support/qt_environment.h"

extern char** environ;

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new corvane::testing::QtEnvironment);

// As snmptrapd prints octets it cannot show as text: hex pairs, each with
// a space, sixteen to a line.
std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0 && i % 16 == 0) text += '\n';
    text += digits[b >> 4];
    text += digits[b & 15];
    text += ' ';
  }
  return text;
}

class SnmptrapdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("corvane-snmptrapd-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(folder_ / "snmptrapd.conf") << "disableAuthorization yes\n";
    port_ = corvane::testing::FreeConfigurablePort();
    ASSERT_NE(port_, 0);
    log_ = folder_ / "traps.log";

    const std::string config = (folder_ / "snmptrapd.conf").string();
    const std::string log = log_.string();
    const std::string listen = "udp:127.0.0.1:" + std::to_string(port_);
    std::vector<std::string> args = {"snmptrapd", "-C", "-c", config, "-m", "",
                                     "-On",       "-n", "-f", "-Lf",  log,  listen};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Its persistent files go to the test's folder, not to /var/lib.
    ::setenv("SNMP_PERSISTENT_DIR", folder_.c_str(), 1);
    const int spawned = ::posix_spawnp(&pid_, "snmptrapd", nullptr, nullptr, argv.data(), environ);
    ASSERT_EQ(spawned, 0) << "snmptrapd (Debian package snmptrapd) could not be started";
    ASSERT_TRUE(WaitForLog("NET-SNMP version", 1)) << "snmptrapd did not start";

    clock_.SetEventProcessor([] { QCoreApplication::processEvents(); });
    agent_ = platform::CreateSnmpAgent(clock_);
    agent_->Open();
    ctx_.snmp_agent = agent_.get();
    ctx_.state.TrapsAllowed = true;
    ctx_.state.ServiceStartTime = clock_.Now() - 30 * 24h;
    ctx_.state.settings.NmsIpAddr = "127.0.0.1";
    ctx_.state.settings.NmsPort = static_cast<int16_t>(port_);
    ctx_.state.settings.SourceIpAddr = "10.20.30.40";
    ctx_.write_app_event = [this](std::string_view, std::string_view, std::string_view text, EntryType) {
      entries_.emplace_back(text);
    };
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (const char* keep = std::getenv("CORVANE_KEEP_TRAP_LOG"); keep != nullptr && fs::exists(log_)) {
      fs::copy_file(log_, keep, fs::copy_options::overwrite_existing);
    }
    fs::remove_all(folder_);
  }

  // A process peer takes real time: wait in short steps, at most 5 seconds,
  // for `count` log lines holding `text`.
  bool WaitForLog(const std::string& text, int count) {
    for (int i = 0; i < 250; ++i) {
      if (fs::exists(log_)) {
        int found = 0;
        for (const auto& line : platform::ReadTextLines(log_)) found += line.find(text) != std::string::npos;
        if (found >= count) return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // What snmptrapd printed for the trap whose enterprise is `enterprise`:
  // the heading line before it, that line, and the variables after it up
  // to the next dated line (a long value goes on over several lines).
  std::vector<std::string> TrapLines(std::string_view enterprise) {
    const auto lines = platform::ReadTextLines(log_);
    auto dated = [](const std::string& line) {
      return line.size() > 4 && line[4] == '-' && std::isdigit(line[0]);
    };
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
      if (!lines[i].starts_with("\t." + std::string(enterprise) + " ")) continue;
      std::string variables = lines[i + 1];
      for (size_t j = i + 2; j < lines.size() && !dated(lines[j]); ++j) variables += "\n" + lines[j];
      return {lines[i - 1], lines[i], variables};
    }
    return {};
  }

  fs::path folder_;
  fs::path log_;
  uint16_t port_ = 0;
  pid_t pid_ = 0;
  platform::SimulatedClock clock_{*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0)};
  std::unique_ptr<platform::SnmpAgent> agent_;
  ServiceContext ctx_{clock_};
  std::vector<std::string> entries_;
};

TEST_F(SnmptrapdTest, ReceivesTheEventTrapAndTheInformationTrap) {
  const std::string message = "Disque plein: \xC3\xA9t\xC3\xA9 \xE2\x82\xAC";  // "été €"
  const EventRecord event{
      "Application", "10233", "2026-12-11 09:05:07", "2 - Warning", "Demo-Provider", "", "100", "S-1-5-18",
      "HOST01",      message};
  SendTrap(ctx_, event, 3);
  SendInfoTrap(ctx_, "frmCorvaneSrv", "dartSvc_State", "Service Started, Version 2.22",
               EntryType::kInformation);
  // Both traps end with an INTEGER 3 (the rule number, the entry type).
  ASSERT_TRUE(WaitForLog("= INTEGER: 3", 2)) << platform::ReadWholeFile(log_);
  clock_.ProcessEvents();
  EXPECT_TRUE(entries_.empty());

  const auto event_trap = TrapLines("1.3.6.1.4.1.7365.1.17.2");
  ASSERT_EQ(event_trap.size(), 3u) << platform::ReadWholeFile(log_);
  // Agent address, then the transport, then the community.
  EXPECT_THAT(event_trap[0], HasSubstr(" 10.20.30.40 [10.20.30.40] (via UDP: [127.0.0.1]:"));
  EXPECT_THAT(event_trap[0],
              HasSubstr("->[127.0.0.1]:" + std::to_string(port_) + ") TRAP, SNMP v1, community tamber"));
  // Generic 6 with specific 1, and the time-stamp of 30 days (259200000).
  EXPECT_EQ(event_trap[1],
            "\t.1.3.6.1.4.1.7365.1.17.2 Enterprise Specific Trap (1) Uptime: 30 days, 0:00:00.00");
  const std::string p = ".1.3.6.1.4.1.7365.1.17.1.1.";
  EXPECT_EQ(event_trap[2], "\t" + p + "1 = INTEGER: 10233\t" +                  //
                               p + "2 = STRING: \"2026-12-11 09:05:07\"\t" +    //
                               p + "3 = STRING: \"Application\"\t" +            //
                               p + "4 = INTEGER: 2\t" +                         //
                               p + "5 = STRING: \"Demo-Provider\"\t" +          //
                               p + "6 = \"\"\t" +                               //
                               p + "7 = INTEGER: 100\t" +                       //
                               p + "8 = STRING: \"S-1-5-18\"\t" +               //
                               p + "9 = STRING: \"HOST01\"\t" +                 //
                               p + "10 = Hex-STRING: " + Hex(message) + "\t" +  //
                               p + "11 = INTEGER: 3");

  const auto info_trap = TrapLines("1.3.6.1.4.1.7365.2.1.2");
  ASSERT_EQ(info_trap.size(), 3u) << platform::ReadWholeFile(log_);
  EXPECT_THAT(info_trap[0], HasSubstr(" 10.20.30.40 [10.20.30.40] (via UDP: [127.0.0.1]:"));
  EXPECT_THAT(info_trap[0], HasSubstr("TRAP, SNMP v1, community tamber"));
  // Counted in whole seconds: the event trap's half-second pause does not show.
  EXPECT_EQ(info_trap[1],
            "\t.1.3.6.1.4.1.7365.2.1.2 Enterprise Specific Trap (1) Uptime: 30 days, 0:00:00.00");
  const std::string q = ".1.3.6.1.4.1.7365.2.1.1.";
  EXPECT_EQ(info_trap[2], "\t" + q + "1 = STRING: \"10.20.30.40\"\t" +                 //
                              q + "2 = STRING: \"Corvane\"\t" +                        //
                              q + "3 = STRING: \"frmCorvaneSrv\"\t" +                  //
                              q + "4 = STRING: \"dartSvc_State\"\t" +                  //
                              q + "5 = STRING: \"Service Started, Version 2.22\"\t" +  //
                              q + "6 = INTEGER: 3");
}

}  // namespace
}  // namespace corvane::service
