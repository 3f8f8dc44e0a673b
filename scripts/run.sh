#!/usr/bin/env bash
# Runs the tool from a fresh Debian 12 machine: installs what is missing,
# builds, starts the stand-in picture service on loopback (unless one already
# answers there), opens the window, and stops the service it started when the
# window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh release
build=build/release
address=127.0.0.1:8631
probe="http://$address/velkaro/dremsil.php?id=1&name="

answers() { curl -s -o /dev/null --max-time 2 --noproxy '*' "$probe"; }

service_pid=""
stop_service() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
}
trap stop_service EXIT

if ! answers; then
  "$build/service/velkaro-picture-service" --listen "$address" >/dev/null &
  service_pid=$!
  for _ in $(seq 1 100); do answers && break; sleep 0.1; done
  answers || { echo "run: the picture service did not start on $address" >&2; exit 1; }
fi

status=0
"$build/app/velkaro" || status=$?
exit "$status"
