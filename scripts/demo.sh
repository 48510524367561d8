#!/usr/bin/env bash
# Corvane's main job, end to end, on a machine of its own: builds the
# programs, makes an AppFolder under build/demo with a new database whose
# trap receiver is a local snmptrapd, installs and starts the service through
# the service-manager stand-in, writes sample events, shows the traps as they
# arrive, then stops and removes everything it started. About two minutes
# after the build (the first poll comes 10 s after the start, the next a
# minute later).
set -euo pipefail
cd "$(dirname "$0")/.."
echo "--- building"
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" >/dev/null

demo=$PWD/build/demo
rm -rf "$demo"
app=$demo/app
mkdir -p "$app/Debug" "$app/Backup" "$app/temp" "$demo/snmp"
chmod 0700 "$app/temp"
for program in CorvaneSrv powershell corvane-eventlog corvane-sc corvane-db CORVANE-MIB; do
  cp "build/default/bin/$program" "$app/"
done
cp build/default/bin/*.so "$app/" 2>/dev/null || true
export CORVANE_SCM_DIR=$demo/scm
sc=$app/corvane-sc
eventlog=$app/corvane-eventlog
trapd_pid=

cleanup() {
  "$sc" stop Corvane >/dev/null 2>&1 || true
  for _ in $(seq 100); do "$sc" query Corvane 2>/dev/null | grep -q RUNNING || break; sleep 0.1; done
  "$app/CorvaneSrv" -uninstall >/dev/null 2>&1 || true
  [ -n "$trapd_pid" ] && kill "$trapd_pid" 2>/dev/null || true
}
trap cleanup EXIT

# The trap receiver on a free loopback port; ports are signed 16-bit in the
# database, so it stays below 32768.
echo "disableAuthorization yes" >"$demo/snmp/snmptrapd.conf"
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 12000))
  SNMP_PERSISTENT_DIR=$demo/snmp /usr/sbin/snmptrapd -f -Lf "$demo/traps.txt" -n -On -C \
    -c "$demo/snmp/snmptrapd.conf" -M /dev/null -m "" "udp:127.0.0.1:$port" &
  trapd_pid=$!
  sleep 0.5
  kill -0 "$trapd_pid" 2>/dev/null && break
  trapd_pid=
done
[ -n "$trapd_pid" ] || { echo "could not start snmptrapd" >&2; exit 1; }
echo "--- snmptrapd listens on 127.0.0.1:$port"

# The database: the receiver, a one-minute interval, and two rules. The
# first keeps everything of "Noisy-App" back; the second sends errors and
# warnings of the Application log as traps.
"$app/corvane-db" create "$app/Corvane.mdb"
sqlite3 "$app/Corvane.mdb" <<SQL
UPDATE Settings_General SET NmsIpAddr = '127.0.0.1', NmsPort = $port, SourceIpAddr = '127.0.0.1';
INSERT INTO Event_Filter VALUES (1, 'Application', '>=', '1 - Error', 'Noisy-App', '*', '*', '*', '*', '*', 'None');
INSERT INTO Event_Filter VALUES (1, 'Application', '<=', '2 - Warning', '*', '*', '*', '*', '*', '*', 'Send Trap');
SQL

# Entries already in the logs before the start are never forwarded.
"$eventlog" write --log Application --source Demo-App --id 1 --level Error --message "Old error, before the start" >/dev/null
"$eventlog" write --log System --source Kernel --id 6005 --level Information --message "The log was started." >/dev/null

echo "--- installing and starting the service"
"$app/CorvaneSrv" -install_noMsg
"$sc" start Corvane
echo "--- waiting for the first poll"
for _ in $(seq 300); do [ -e "$app/Debug/s-lastevtid.txt" ] && break; sleep 0.2; done

echo "--- writing sample events"
"$eventlog" write --log Application --source Demo-App --id 1000 --level Error \
  --message "Disk quota exceeded on volume D:" >/dev/null
"$eventlog" write --log Application --source Demo-App --id 1001 --level Warning \
  --message "The backup finished with warnings." >/dev/null
"$eventlog" write --log Application --source Demo-App --id 1002 --level Information \
  --message "Nothing to see: information is not caught." >/dev/null
"$eventlog" write --log Application --source Noisy-App --id 13 --level Error \
  --message "Kept back by the None rule." >/dev/null

echo "--- traps as they arrive (the next poll comes a minute after the first)"
shown=0
for _ in $(seq 900); do
  count=$(grep -c "TRAP, SNMP v1" "$demo/traps.txt" 2>/dev/null || true)
  if [ "${count:-0}" -gt "$shown" ]; then
    awk -v skip="$shown" '/TRAP, SNMP v1/ {n++} n > skip' "$demo/traps.txt"
    shown=$count
  fi
  grep -q "Disk quota" "$demo/traps.txt" 2>/dev/null && grep -q "backup finished" "$demo/traps.txt" && break
  sleep 0.2
done

echo "--- stopping the service"
"$sc" stop Corvane
for _ in $(seq 100); do "$sc" query Corvane | grep -q STOPPED && break; sleep 0.1; done
sleep 0.5
awk -v skip="$shown" '/TRAP, SNMP v1/ {n++} n > skip' "$demo/traps.txt"
trap - EXIT
cleanup
echo "--- application log ($app/Debug/AppEventCorvane.txt)"
cat "$app/Debug/AppEventCorvane.txt"
