#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine.
# Idempotent: installs only what is missing. Needs root to install; otherwise it
# prints the exact apt-get line and stops.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev
    clang-format clang-tidy clang libclang-rt-14-dev
    qt6-base-dev
    curl lftp python3 rclone tzdata
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: missing packages; run as root:" >&2
    echo "  apt-get update && $line" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
$line
