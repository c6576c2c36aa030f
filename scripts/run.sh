#!/usr/bin/env bash
# Sets up and builds Vesko (the executable only: no tests, no benchmarks), then runs its
# main job: the scan report of the home folder, saving the index archive on the way. Extra
# arguments go to it (--root, --query, --out).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" --app-only "$here/build" >&2
exec "$here/build/src/app/vesko" --scan --archive "$@"
