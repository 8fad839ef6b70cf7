# Installs what the build and the tests need on a fresh Debian 12 machine
# (sourced, not run). Only missing packages are fetched.

VASKEN_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine wine64 wine32:i386 xvfb xdotool x11-apps imagemagick xauth
    fonts-ipafont-gothic locales qemu-user
    libx11-dev libxext-dev libxrender-dev libasound2-dev xscreensaver xscreensaver-data x11-utils
    libwayland-dev wayland-protocols pkg-config sway grim wtype swayidle
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
    emscripten node-acorn nodejs chromium
    build-essential dpkg-dev debhelper lintian desktop-file-utils man-db
)

ensure_packages() {
    local missing=() p
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        rm -f /var/lib/apt/lists/*_Packages 2>/dev/null || true
    fi
    for p in "${VASKEN_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        apt-get update -q >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
    fi
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
        localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
    fi
}
