// CorvaneSrv: the trap service program.

#include <QCoreApplication>
#include <string>

#include "platform/eventloop/qt_clock.h"
#include "platform/scm/service_host.h"
#include "platform/snmp/snmp_agent.h"
#include "platform/system/app_folder.h"
#include "service/frm_corvane_srv.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The whole argument text, as the command line of a Windows program is.
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
  const auto folder = corvane::platform::ProgramFolder();
  corvane::platform::QtClock clock;
  auto host = corvane::platform::CreateServiceHost(folder / "CorvaneSrv");
  auto agent = corvane::platform::CreateSnmpAgent(clock);
  corvane::service::FrmCorvaneSrv form(clock, *host, *agent, corvane::platform::StderrMessageBox(), folder);
  if (const auto exit_status = form.Form_Load(arguments)) return *exit_status;
  return app.exec();
}
