#!/usr/bin/env bash
# Starts the console under Wine against the stand-in driver and plays a demo scenario.
set -euo pipefail
cd "$(dirname "$0")"
echo "run.sh: the console window is not built yet."
echo "Once it is, this prepares what is missing, builds build/win32, installs the stand-in"
echo "driver service RkFw_slot, starts Vardeen.exe under Wine and plays a demo with rkfwctl."
