# Shared by scripts/run and scripts/test: installs the Debian packages the build needs when missing.
# Sourced, not run.

ORVEX_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev libsqlite3-dev sqlite3
    libglib2.0-dev libxcb1-dev libxcb-xkb-dev libxcb-keysyms1-dev libxkbcommon-dev libxkbcommon-x11-dev
    libxcb-xtest0-dev libxcb-damage0-dev libxcb-xinput-dev xkb-data libcld2-dev libexttextcat-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3
    # Tests: a virtual X server with a window manager and a tray, key presses, a private session bus,
    # the accessibility bus a screen reader reads, desktop-entry and property-list checkers, a pinned font.
    xvfb xauth xdotool x11-utils x11-xkb-utils openbox trayer dbus dbus-x11 at-spi2-core desktop-file-utils
    libplist-utils fonts-dejavu-core
    # Tests that listen as a blind user does: the screen reader, the speech service it talks to with the
    # espeak-ng voice (its sound goes to a null device), and util-linux's script, setsid and unshare.
    orca speech-dispatcher speech-dispatcher-espeak-ng espeak-ng bsdutils util-linux
)

orvex_install_dependencies() {
    orvex_install_packages "${ORVEX_PACKAGES[@]}"
}

# Installs those of the named Debian packages that are missing.
orvex_install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one preset (default, asan, tsan or fuzz).
orvex_build() {
    local preset="$1"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
}
