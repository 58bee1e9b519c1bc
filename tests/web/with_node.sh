#!/bin/sh
# Runs a test script with node, or skips the test where node is missing.
command -v node >/dev/null 2>&1 || { echo "skipped: node is not installed (scripts/build-web.sh installs it)"; exit 77; }
exec node "$@"
