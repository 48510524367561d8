#pragma once
// The service's trail under Debug/ (the report files of the polls and filter
// passes) and its daily housekeeping: pruning the application log and
// backing up the configuration database into Backup/.

#include <filesystem>

#include "common/events/event_record.h"
#include "service/service_context.h"

namespace corvane::service {

std::filesystem::path DebugFolder(const ServiceContext& context);
std::filesystem::path BackupFolder(const ServiceContext& context);

// One line per named log slot, then an empty line, to "s-lastevtid.txt".
// The appenders throw on a file failure: it is a failure of their caller.
void AppendSlotReport(const ServiceContext& context);
// One line per event trap to "s-snmptraps.txt", per syslog message to
// "s-syslog.txt".
void AppendTrapReport(const ServiceContext& context, const EventRecord& event, int rule);
void AppendSyslogReport(const ServiceContext& context, const EventRecord& event, int rule);
// The daily removal of the three report files, each only when it exists.
void DeleteDailyReports(const ServiceContext& context);

// Drops application-log entries dated 60 or more calendar days ago. An entry
// is its dated line with the undated lines after it, so a multi-line entry is
// kept or dropped whole. Catches its own failures.
void ClearDebugDir_AET(const ServiceContext& context);

// Replaces Backup/ with a consistent copy of Corvane.mdb, taken through
// SQLite's online backup. The old files go only once the new copy is
// complete. Catches its own failures.
void BackupDatabase(const ServiceContext& context);

}  // namespace corvane::service
