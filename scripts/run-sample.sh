#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release
./build/release/cli/vexmoor crc examples/*
