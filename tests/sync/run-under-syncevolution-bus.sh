#!/bin/sh
# Runs a test program on a private session bus whose SyncEvolution server
# keeps its configuration and data in a temporary home, removed afterwards.
set -e
home=$(mktemp -d "${TMPDIR:-/tmp}/marvesto-syncevo.XXXXXX")
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/run" MARVESTO_SYNCEVOLUTION_HOME="$home"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
command -v dbus-run-session >/dev/null || { echo "dbus-run-session missing (package dbus)"; exec "$@"; }
dbus-run-session -- "$@"
