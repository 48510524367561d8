#!/usr/bin/env bash
# Corvane's main job on its embedded defaults: builds the programs, sets up
# an AppFolder with a new database, installs the service through the
# service-manager stand-in, starts it, shows its application log, stops it
# and removes it again. Everything it makes lives under build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" >/dev/null

demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/app/Debug" "$demo/app/Backup" "$demo/app/temp"
chmod 0700 "$demo/app/temp"
cp -a build/default/bin/. "$demo/app/"
rm -f "$demo/app/Corvane.mdb" "$demo/app/Debug/"* "$demo/app/CorvaneSrv.lock"
"$demo/app/corvane-db" create "$demo/app/Corvane.mdb"
export CORVANE_SCM_DIR=$demo/scm
sc=$demo/app/corvane-sc

cleanup() {
  "$sc" stop Corvane >/dev/null 2>&1 || true
  for _ in $(seq 50); do "$sc" query Corvane 2>/dev/null | grep -q RUNNING || break; sleep 0.1; done
  "$demo/app/CorvaneSrv" -uninstall >/dev/null 2>&1 || true
}
trap cleanup EXIT

echo "--- installing"
"$demo/app/CorvaneSrv" -install_noMsg
echo "--- starting"
"$sc" start Corvane
"$sc" query Corvane
sleep 3
echo "--- stopping"
"$sc" stop Corvane
for _ in $(seq 50); do "$sc" query Corvane | grep -q STOPPED && break; sleep 0.1; done
"$sc" query Corvane
trap - EXIT
"$demo/app/CorvaneSrv" -uninstall
echo "--- application log ($demo/app/Debug/AppEventCorvane.txt)"
cat "$demo/app/Debug/AppEventCorvane.txt"
