// The agent's error limit through a real socket: the service form with the
// real agent sends to a loopback port where nothing listens; the refusals
// come back as notifications until the sixth turns traps off, and a
// receiver that appears on that port afterwards gets nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/database/database.h"
#include "common/database/schema.h"
#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "platform/snmp/snmp_agent.h"
#include "platform/system/text_file.h"
#include "service/frm_corvane_srv.h"
#include "service/trap_composer.h"
#include "tests/snmp/loopback.h"
#include "tests/support/qt_environment.h"

namespace corvane::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new corvane::testing::QtEnvironment);

class RunningHost : public platform::ServiceHostControl {
 public:
  void Install(std::string_view, int) override {}
  void Uninstall(std::string_view) override {}
  void Run() override {}
  int State() const override { return 2; }
};

TEST(AgentErrorLimitTest, SixRefusalsEndAllTraps) {
  const fs::path folder = fs::temp_directory_path() / ("corvane-error-limit-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "Debug");
  CreateDatabase(folder / "Corvane.mdb", kCurrentSchemaVersion);
  const uint16_t port = corvane::testing::FreeConfigurablePort();
  ASSERT_NE(port, 0);
  {
    Connection db = Connection::Open(DbConnectString(folder));
    Recordset rs = Recordset::Open(db, "Settings_General");
    rs.SetField("NmsPort", static_cast<int>(port));
    rs.SetField("SourceIpAddr", "10.20.30.40");
    rs.Update();
  }

  platform::SimulatedClock clock(*platform::MakeLocalTime(2026, 12, 11, 10, 0, 0));
  clock.SetEventProcessor([] { QCoreApplication::processEvents(); });
  RunningHost host;
  auto agent = platform::CreateSnmpAgent(clock);
  {
    FrmCorvaneSrv form(clock, host, *agent, nullptr, folder);
    ASSERT_EQ(form.Form_Load(""), std::nullopt);
    host.on_state();  // the start's entry goes out as the first trap

    // Each refusal's error entry is itself a trap while traps are allowed,
    // so the refusals follow one another until the sixth.
    for (int i = 0; i < 20 && form.context().state.TrapsAllowed; ++i) clock.Advance(100ms);
    EXPECT_FALSE(form.context().state.TrapsAllowed);
    clock.Advance(1s);
    EXPECT_EQ(form.context().state.AgentErrorCount, 6);

    std::vector<std::string> entries;
    for (const auto& line : platform::ReadTextLines(folder / "Debug" / "AppEventCorvane.txt")) {
      entries.push_back(line.substr(line.find('\t') + 1));
    }
    const std::string refused =
        "1\tfrmCorvaneSrv_snmpAgent_Error\tError 10054: Connection refused by the trap "
        "receiver (127.0.0.1:" +
        std::to_string(port) + ")";
    EXPECT_THAT(
        entries,
        ElementsAre("3\tfrmCorvaneSrv_dartSvc_State\tService Started, Version 2.22", refused, refused,
                    refused, refused, refused,
                    "2\tfrmCorvaneSrv_snmpAgent_Error\tThis may depend on 'Trap receiver does not exist'",
                    "2\tfrmCorvaneSrv_snmpAgent_Error\tThe Snmp Agent will NOT try to send any more traps.",
                    refused));

    // A receiver on the same port now: neither kind of trap reaches it.
    corvane::testing::Receiver receiver(port);
    ASSERT_TRUE(receiver.ok());
    SendTrap(form.context(), EventRecord{}, 1);
    form.WriteAppEvent("modCorvaneSrv", "FilterTest", "after the limit", EntryType::kError);
    EXPECT_TRUE(receiver.Receive().empty());
    // The port and the agent still work: the same trap sent directly arrives.
    ComposeAndSend(*agent, form.context().state.settings, kEventTrapEnterprise, 0,
                   EventTrapVariables(EventRecord{}, 1));
    EXPECT_FALSE(receiver.Receive().empty());
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace corvane::service
