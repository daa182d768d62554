#!/usr/bin/env bash
# Installs the Debian packages that building and testing trevanix need, and
# only those that are missing (nothing happens when all are there).
set -euo pipefail

packages=(build-essential cmake g++ libgtest-dev libbenchmark-dev qt6-base-dev libcli11-dev nlohmann-json3-dev
          libassimp-dev libtiff-dev libstb-dev xvfb xauth jq clang-14 libclang-rt-14-dev pmccabe)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

if ! command -v apt-get >/dev/null 2>&1; then
    echo "install-deps: no apt-get here; please install: ${missing[*]}" >&2
    exit 1
fi
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-deps: run as root (or install sudo) to install: ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
