#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test dependencies this machine lacks. A machine
# that has everything is left alone (apt is not touched at all).
set -euo pipefail

QUILLMAP_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-translations-l10n qt6-webengine-dev libgtest-dev libgmock-dev libbenchmark-dev libicu-dev
    libminiupnpc-dev qtkeychain-qt6-dev libsecret-1-0 gnome-keyring libxcb1-dev libldns-dev
    python3 python3-pyftpdlib python3-aiosmtpd dovecot-pop3d vsftpd python3-openssl openssl
    bind9 bind9-dnsutils
    curl sed iproute2 procps bash-completion
    fonts-ipafont-gothic xvfb xauth x11-utils xdotool dbus-daemon python3-dbus python3-gi
    dpkg-dev file fakeroot lintian desktop-file-utils appstream
)

quillmap_missing_packages() {
    local missing=()
    for p in "${QUILLMAP_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    echo "${missing[@]:-}"
}

quillmap_install_deps() {
    local missing
    missing=$(quillmap_missing_packages)
    if [ -z "$missing" ]; then
        return 0
    fi
    echo "Installing missing packages: $missing"
    local sudo=()
    if [ "$(id -u)" != 0 ]; then sudo=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    # shellcheck disable=SC2086
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends $missing >/dev/null
    # The POP3 test server is started by the tests themselves; a system-wide one is not wanted.
    if command -v service >/dev/null 2>&1; then "${sudo[@]}" service dovecot stop >/dev/null 2>&1 || true; fi
    # Likewise the FTPS test server.
    if command -v service >/dev/null 2>&1; then "${sudo[@]}" service vsftpd stop >/dev/null 2>&1 || true; fi
    # Likewise the DNS server (BIND 9's named) of the dynamic DNS tests.
    if command -v service >/dev/null 2>&1; then "${sudo[@]}" service named stop >/dev/null 2>&1 || true; fi
}

# Configures and builds into the given folder. Extra CMake arguments follow the folder.
quillmap_build() {
    local dir=$1
    shift
    cmake -S "$QUILLMAP_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
