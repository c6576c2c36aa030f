#!/usr/bin/env bash
# Sets up and builds Vesko, then runs its main job.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build" >&2
exec "$here/build/src/app/vesko" --help "$@"
