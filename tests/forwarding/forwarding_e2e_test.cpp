// Forwarding as an administrator sees it, through real processes: CorvaneSrv
// installed and started through the service-manager stand-in in a fresh
// AppFolder, the PowerShell and event-log stand-ins, and snmptrapd on a free
// loopback port as the trap receiver. Runs in real time: the first poll
// comes ten seconds after the start, the next a minute later.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/text_file.h"
#include "tests/support/run_command.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

using corvane::testing::Q;
using corvane::testing::RunCommand;

std::string ReadIfThere(const fs::path& file) {
  return fs::exists(file) ? corvane::platform::ReadWholeFile(file) : "";
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
  return corvane::testing::WaitFor(condition, limit, 100ms);
}

// A UDP port on 127.0.0.1 that was free a moment ago. The settings keep
// ports as signed 16-bit numbers, so it lies below 32768, under the range
// the system hands out for port 0; the test picks among those itself.
int FreeLoopbackPort() {
  std::mt19937 random(static_cast<unsigned>(::getpid()));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int port = std::uniform_int_distribution<int>(20000, 32767)(random);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (free) return port;
  }
  return -1;
}

// One trap as snmptrapd printed it: the header line, then its variables by
// object identifier, each as "TYPE: value".
struct Trap {
  std::string printed;
  std::string enterprise;
  std::map<std::string, std::string> variables;
};

std::vector<Trap> ParseTraps(const std::string& output) {
  std::vector<Trap> traps;
  for (const std::string& line : corvane::platform::SplitTextLines(output)) {
    if (line.find("TRAP, SNMP v1") != std::string::npos) {
      traps.push_back({line + "\n", "", {}});
      continue;
    }
    if (traps.empty() || line.empty() || line[0] != '\t') continue;
    Trap& trap = traps.back();
    trap.printed += line + "\n";
    if (trap.enterprise.empty()) {
      trap.enterprise = line.substr(1, line.find(' ') - 1);
      continue;
    }
    // Variables are joined by TABs, each "OID = TYPE: value".
    size_t start = 1;
    while (start < line.size()) {
      size_t end = line.find("\t.1.3.6.", start);
      if (end == std::string::npos) end = line.size();
      const std::string variable = line.substr(start, end - start);
      const size_t equals = variable.find(" = ");
      if (equals != std::string::npos) {
        trap.variables[variable.substr(0, equals)] = variable.substr(equals + 3);
      }
      start = end + 1;
    }
  }
  return traps;
}

constexpr char kEventTrap[] = ".1.3.6.1.4.1.7365.1.17.2";
constexpr char kInfoTrap[] = ".1.3.6.1.4.1.7365.2.1.2";
std::string EventVar(int n) { return ".1.3.6.1.4.1.7365.1.17.1.1." + std::to_string(n); }
std::string InfoVar(int n) { return ".1.3.6.1.4.1.7365.2.1.1." + std::to_string(n); }

class ForwardingE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("CORVANE_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    bin_ = bin;
    std::string name = (fs::temp_directory_path() / "corvane-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    root_ = name;
    app_ = root_ / "app";
    for (const char* folder : {"Debug", "Backup", "temp"}) fs::create_directories(app_ / folder);
    fs::permissions(app_ / "temp", fs::perms::owner_all);
    // The programs and their libraries, as an installation lays them out.
    for (const auto& entry : fs::directory_iterator(bin_)) {
      const std::string file = entry.path().filename().string();
      if (!entry.is_regular_file() || file == "Corvane.mdb" || file.ends_with(".lock")) continue;
      fs::copy_file(entry.path(), app_ / file);
    }
    ASSERT_EQ(RunCommand(Q(app_ / "corvane-db") + " create " + Q(app_ / "Corvane.mdb")).exit_status, 0);
    ::setenv("CORVANE_SCM_DIR", (root_ / "scm").c_str(), 1);
    ::setenv("CORVANE_EVENTLOG_DIR", (root_ / "eventlogs").c_str(), 1);
    StartTrapReceiver();
  }

  void TearDown() override {
    RunCommand(Sc("stop Corvane"));
    WaitFor([&] { return RunCommand(Sc("query Corvane")).output.find("RUNNING") == std::string::npos; }, 10s);
    RunCommand(Sc("delete Corvane"));
    if (trapd_pid_ > 0) {
      ::kill(trapd_pid_, SIGTERM);
      ::waitpid(trapd_pid_, nullptr, 0);
    }
    ::unsetenv("CORVANE_SCM_DIR");
    ::unsetenv("CORVANE_EVENTLOG_DIR");
    fs::remove_all(root_);
  }

  void StartTrapReceiver() {
    trap_port_ = FreeLoopbackPort();
    ASSERT_GT(trap_port_, 0);
    fs::create_directories(root_ / "snmp");
    corvane::platform::WriteTextLines(root_ / "snmp" / "snmptrapd.conf", {"disableAuthorization yes"});
    const std::string listen = "udp:127.0.0.1:" + std::to_string(trap_port_);
    const std::string conf = (root_ / "snmp" / "snmptrapd.conf").string();
    const std::string out = (root_ / "traps.txt").string();
    trapd_pid_ = ::fork();
    if (trapd_pid_ == 0) {
      const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      // Its persistent files in our folder, not the machine's.
      ::setenv("SNMP_PERSISTENT_DIR", (root_ / "snmp").c_str(), 1);
      ::execl("/usr/sbin/snmptrapd", "snmptrapd", "-f", "-Lo", "-n", "-On", "-C", "-c", conf.c_str(), "-M",
              "/dev/null", "-m", "", listen.c_str(), nullptr);
      ::_exit(127);
    }
    ASSERT_GT(trapd_pid_, 0);
    ASSERT_TRUE(WaitFor([&] { return Traps().find("NET-SNMP version") != std::string::npos; }, 10s))
        << "snmptrapd did not start: " << Traps();
  }

  void Sql(const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((app_ / "Corvane.mdb").c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "") << " in " << statement;
    sqlite3_free(error);
    sqlite3_close(db);
  }
  void AddRule(const std::string& log, const std::string& exp, const std::string& severity,
               const std::string& source, const std::string& action) {
    Sql("INSERT INTO Event_Filter (Enabled, Log, SeverityExp, Severity, Source, Category, EventID,"
        " UserName, Computer, Message, Action) VALUES (1, '" +
        log + "', '" + exp + "', '" + severity + "', '" + source + "', '*', '*', '*', '*', '*', '" + action +
        "')");
  }

  // Writes one entry with corvane-eventlog and returns its record id.
  std::string WriteEvent(const std::string& log, const std::string& source, int id, const std::string& level,
                         const std::string& message) {
    const corvane::testing::CommandResult r =
        RunCommand(Q(app_ / "corvane-eventlog") + " write --log '" + log + "' --source '" + source +
                   "' --id " + std::to_string(id) + " --level " + level + " --message '" + message +
                   "' --computer host01 --user S-1-5-18");
    EXPECT_EQ(r.exit_status, 0) << r.output;
    std::string record_id = r.output;
    while (!record_id.empty() && (record_id.back() == '\n' || record_id.back() == '\r')) {
      record_id.pop_back();
    }
    return record_id;
  }

  std::string Sc(const std::string& arguments) { return Q(app_ / "corvane-sc") + " " + arguments; }
  std::string Traps() { return ReadIfThere(root_ / "traps.txt"); }
  std::string AppLog() { return ReadIfThere(app_ / "Debug" / "AppEventCorvane.txt"); }
  std::vector<Trap> EventTraps() {
    std::vector<Trap> found;
    for (Trap& t : ParseTraps(Traps())) {
      if (t.enterprise == kEventTrap) found.push_back(std::move(t));
    }
    return found;
  }
  bool HasInfoTrap(const std::string& text) {
    for (const Trap& t : ParseTraps(Traps())) {
      if (t.enterprise != kInfoTrap) continue;
      const auto v = t.variables.find(InfoVar(5));
      if (v != t.variables.end() && v->second.find(text) != std::string::npos) return true;
    }
    return false;
  }

  fs::path bin_, root_, app_;
  int trap_port_ = 0;
  pid_t trapd_pid_ = -1;
};

TEST_F(ForwardingE2eTest, NewEntriesArriveAsTrapsAtTheNextPoll) {
  Sql("UPDATE Settings_General SET NmsIpAddr = '127.0.0.1', NmsPort = " + std::to_string(trap_port_) +
      ", SourceIpAddr = '127.0.0.1', LogCheckInterval = 1, SendMaxTraps = 10, DropDuplicate = 1");
  AddRule("Application", "<=", "3 - Information", "Demo-Quiet*", "None");
  AddRule("Application", "<=", "3 - Information", "*", "Send Trap");
  AddRule("System", "<=", "2 - Warning", "*", "Send Trap");
  WriteEvent("Application", "Demo-Old", 1, "Error", "written before the start");
  WriteEvent("System", "Demo-Old", 2, "Error", "written before the start");

  ASSERT_EQ(RunCommand(Q(app_ / "CorvaneSrv") + " -install_noMsg").exit_status, 0) << AppLog();
  const corvane::testing::CommandResult start = RunCommand(Sc("start Corvane"));
  ASSERT_EQ(start.exit_status, 0) << start.output;
  ASSERT_TRUE(WaitFor([&] { return HasInfoTrap("Service Started, Version 2.22"); }, 15s))
      << "no start trap; application log:\n"
      << AppLog() << "\ntraps:\n"
      << Traps();

  // The first poll, ten seconds after the start, only notes the newest entries.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(app_ / "Debug" / "s-lastevtid.txt"); }, 40s)) << AppLog();
  const std::string caught_app =
      WriteEvent("Application", "Demo-App", 1000, "Error", "Disk quota exceeded on volume D:");
  WriteEvent("Application", "Demo-Quiet", 1001, "Warning", "kept back by the None rule");
  const std::string caught_sys =
      WriteEvent("System", "Demo-Disk", 7, "Warning", "The device has a bad block");
  WriteEvent("System", "Demo-Disk", 8, "Information", "no rule catches information here");

  ASSERT_TRUE(WaitFor([&] { return EventTraps().size() >= 2; }, 90s)) << "application log:\n"
                                                                      << AppLog() << "\ntraps:\n"
                                                                      << Traps();
  std::this_thread::sleep_for(2s);  // anything else of the same pass
  const std::vector<Trap> traps = EventTraps();
  ASSERT_EQ(traps.size(), 2u) << Traps();
  std::printf("An event trap as snmptrapd printed it:\n%s", traps[0].printed.c_str());

  const auto& app = traps[0].variables;
  EXPECT_EQ(app.at(EventVar(1)), "INTEGER: " + caught_app);
  EXPECT_THAT(app.at(EventVar(2)), HasSubstr("STRING: \"20"));
  EXPECT_EQ(app.at(EventVar(3)), "STRING: \"Application\"");
  EXPECT_EQ(app.at(EventVar(4)), "INTEGER: 1");
  EXPECT_EQ(app.at(EventVar(5)), "STRING: \"Demo-App\"");
  EXPECT_EQ(app.at(EventVar(7)), "INTEGER: 1000");
  EXPECT_EQ(app.at(EventVar(8)), "STRING: \"S-1-5-18\"");
  EXPECT_EQ(app.at(EventVar(9)), "STRING: \"host01\"");
  EXPECT_EQ(app.at(EventVar(10)), "STRING: \"Disk quota exceeded on volume D: \"");
  EXPECT_EQ(app.at(EventVar(11)), "INTEGER: 2");

  const auto& sys = traps[1].variables;
  EXPECT_EQ(sys.at(EventVar(1)), "INTEGER: " + caught_sys);
  EXPECT_EQ(sys.at(EventVar(3)), "STRING: \"System\"");
  EXPECT_EQ(sys.at(EventVar(4)), "INTEGER: 2");
  EXPECT_EQ(sys.at(EventVar(11)), "INTEGER: 3");

  const std::string all = Traps();
  EXPECT_THAT(all, Not(HasSubstr("written before the start")));
  EXPECT_THAT(all, Not(HasSubstr("kept back by the None rule")));
  EXPECT_THAT(all, Not(HasSubstr("no rule catches")));

  ASSERT_EQ(RunCommand(Sc("stop Corvane")).exit_status, 0);
  EXPECT_TRUE(WaitFor([&] { return HasInfoTrap("Service Stopped"); }, 15s)) << Traps();
  EXPECT_THAT(AppLog(), Not(HasSubstr("\t1\t"))) << "an error entry was written";
}

}  // namespace
