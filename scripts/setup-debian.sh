#!/usr/bin/env bash
# Installs what building and testing Corvane needs on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  ca-certificates cmake ninja-build g++ clang libclang-rt-14-dev pkg-config make \
  qt6-base-dev libsqlite3-dev sqlite3 \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  snmptrapd snmp procps binutils
