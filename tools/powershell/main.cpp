// powershell: the stand-in for Windows PowerShell. The whole command text is
// its argument (several arguments are joined by spaces, as powershell.exe
// joins them); it reads the event-log store of $CORVANE_EVENTLOG_DIR, else
// <AppFolder>/EventLogs.

#include <iostream>
#include <string>

#include "platform/eventlog/event_log_store.h"
#include "platform/system/app_folder.h"
#include "tools/powershell/stand_in.h"

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc < 2) {
    std::cerr << "usage: powershell COMMAND-TEXT\n";
    return 1;
  }
  std::string text = argv[1];
  for (int i = 2; i < argc; ++i) {
    text += ' ';
    text += argv[i];
  }
  const platform::EventLogStore store(platform::EventLogStore::DefaultFolder(platform::ProgramFolder()));
  return powershell::RunScript(text, {store, powershell::ListWidthFromEnvironment(), std::cout, std::cerr});
}
