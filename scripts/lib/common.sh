# Shared by the scripts: where things are, and installing what is missing.
# shellcheck shell=bash

QV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export QV_ROOT

qv_say() { printf '==> %s\n' "$*" >&2; }

# Installs the given Debian packages unless they are all there already.
# apt-get update runs at most once per script run.
qv_ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        qv_say "missing packages: ${missing[*]} (run as root, or install them with apt-get)"
        return 1
    fi
    qv_say "installing: ${missing[*]}"
    if [ -z "${QV_APT_UPDATED:-}" ]; then
        apt-get update -qq >&2
        export QV_APT_UPDATED=1
    fi
    # With recommends: Wine's fonts and GL drivers come that way, and the
    # benches were proven with them.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >&2
}

# What every native build needs.
QV_BUILD_PACKAGES=(cmake ninja-build g++ clang libgtest-dev libgmock-dev libpng-dev libwebp-dev pkg-config)
# What the renderer's clip tests read its output with (webpmux, ffmpeg).
QV_RENDER_TEST_PACKAGES=(webp ffmpeg)

qv_jobs() { nproc 2>/dev/null || echo 2; }
