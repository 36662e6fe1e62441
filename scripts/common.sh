# Sourced by the scripts beside it: the repository root, the Debian packages
# the project needs, and Windows paths for programs run under Wine.

scriptfonts_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What scripts/demo uses: CMake and make, the cross compiler with its binutils
# (windres makes the version resource), Wine, GoogleTest's sources (the build
# it configures has the tests), Python 3 for the zip, and git, which gives a
# build its time. For the ARM64 build beside it: Python's venv for Zig (below),
# LLVM's windres with the clang it preprocesses with, and qemu-user for the
# arm64 Wine (below).
scriptfonts_demo_packages=(
    cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine googletest python3 git
    python3-venv llvm clang-14 qemu-user-static
)
# What only the tests use: clang with its sanitizer and fuzzer runtimes and
# Google Benchmark for the native build; fontTools for scripts/make-fonts.py;
# for the release checks, the reproducible-builds tools (and what they use to
# vary the build and to read zips), osslsigncode and OpenSSL, with a software
# token, its tools and OpenSSL's PKCS#11 engine for signing through a token;
# Ninja, for the multi-config build, and LLVM's MSVC-style compiler, linker,
# resource compiler and librarian, for the MSVC flags check.
scriptfonts_test_packages=(
    g++ clang libclang-rt-dev libbenchmark-dev python3-fonttools
    reprotest diffoscope-minimal disorderfs faketime locales unzip osslsigncode openssl
    softhsm2 opensc libengine-pkcs11-openssl
    ninja-build clang-tools-14 lld
)

# The ARM64 build's compiler: Zig's clang, lld, libc++ and MinGW-w64 headers
# and UCRT import libraries, from PyPI, one version (its x86-64 Linux wheel's
# hash), in a virtual environment of the project's own.
scriptfonts_zig_requirement="ziglang==0.17.1 \
--hash=sha256:ea6cc5d87b033cf0aedfbc8f9549a908cae6c50ac31f1698188fa48a74524b54"
scriptfonts_zig=$scriptfonts_root/build/zig

# Where its tests run: Debian 12's arm64 Wine 8 through qemu-user, its packages
# unpacked into a folder of the project's (nothing arm64 is installed into the
# system) by an APT configuration of its own naming the machine's registry.
scriptfonts_arm64_wine=$scriptfonts_root/build/arm64-wine
scriptfonts_arm64_wine_suite=bookworm

# How long set-up waits for another run of the package manager (a fresh
# machine's own updates at boot, say) before it gives up.
scriptfonts_apt_wait=${SCRIPTFONTS_APT_WAIT:-300}

# The locks of apt and dpkg: dpkg's (the front end's first), the package
# lists' and the downloads'; under the root they hang from, which the tests
# point at a scratch directory.
package_manager_lock_root=/var
package_manager_locks=(lib/dpkg/lock-frontend lib/dpkg/lock lib/apt/lists/lock cache/apt/archives/lock)

# Which of those locks another process holds, and who: none, nothing.
package_manager_holder() {
    lslocks --noheadings --raw --output PATH,COMMAND,PID | awk -v root="$package_manager_lock_root" \
        -v locks="${package_manager_locks[*]}" '
        BEGIN { split(locks, names, " "); for (i in names) held[root "/" names[i]] }
        $1 in held { print $1 " is held by " $2 " (process " $3 ")"; exit }'
}

# apt-get once no other process holds those locks, waiting up to the caller's
# deadline and saying so once. apt-get waits for dpkg's own locks when asked
# (DPkg::Lock::Timeout, which covers one taken between the check and the run)
# but gives up at once on the package lists' (apt-get update) and the downloads'.
# What is left of the wait may be spent by then (a slow update, a lock let go
# during the last sleep): apt reads a negative timeout as "for ever", 0 as "try once".
apt_get_waiting() {
    local holder left
    while holder=$(package_manager_holder); [[ -n $holder ]]; do
        if ((SECONDS >= deadline)); then
            echo "gave up waiting for the package manager after $scriptfonts_apt_wait s: $holder" >&2
            return 1
        fi
        $waiting || echo "Waiting up to $scriptfonts_apt_wait s for the package manager: $holder"
        waiting=true
        sleep 2
    done
    left=$((deadline - SECONDS))
    apt-get -o DPkg::Lock::Timeout=$((left > 0 ? left : 0)) "$@"
}

# Installs whichever of the packages named (all of the above when none are)
# are missing; with all of them there it only looks.
install_missing_packages() {
    local package missing=() deadline=$((SECONDS + scriptfonts_apt_wait)) waiting=false
    (($#)) || set -- "${scriptfonts_demo_packages[@]}" "${scriptfonts_test_packages[@]}"
    for package; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -qx 'install ok installed' || missing+=("$package")
    done
    ((${#missing[@]} > 0)) || return 0
    if ((EUID != 0)); then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt_get_waiting update
    apt_get_waiting install -y --no-install-recommends "${missing[@]}"
}

# Zig in build/zig, once.
install_zig() {
    local marker=$scriptfonts_zig/.installed
    [[ $(cat "$marker" 2>/dev/null) != "$scriptfonts_zig_requirement" ]] || return 0
    echo "Installing Zig into $scriptfonts_zig"
    rm -rf "$scriptfonts_zig"
    /usr/bin/python3 -m venv "$scriptfonts_zig" &&
        "$scriptfonts_zig/bin/pip" install --disable-pip-version-check -q --require-hashes \
            -r <(echo "$scriptfonts_zig_requirement") &&
        echo "$scriptfonts_zig_requirement" >"$marker"
}

# Debian's arm64 Wine in build/arm64-wine, once. Without binfmt_misc the
# kernel cannot start an aarch64 program, so the programs Wine starts itself
# (its loader again, its server) become scripts that start them under qemu;
# bin/ holds wine, wineserver and wineboot for scripts/wine-run --arm64.
install_arm64_wine() {
    local lab=$scriptfonts_arm64_wine
    local sysroot=$lab/sysroot registry deb
    local qemu="qemu-aarch64-static -L $lab/sysroot"
    [[ ! -f $lab/.ready ]] || return 0
    echo "Unpacking Debian's arm64 Wine ($scriptfonts_arm64_wine_suite) into $lab"
    registry=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    registry=${registry:-http://deb.debian.org/debian}
    rm -rf "$lab"
    mkdir -p "$lab"/apt/lists/partial "$lab"/apt/cache/archives/partial "$lab"/apt/sources.list.d "$lab"/debs \
        "$lab"/bin "$sysroot"
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' "$registry" \
        "$scriptfonts_arm64_wine_suite" /usr/share/keyrings/debian-archive-keyring.gpg \
        >"$lab/apt/sources.list.d/debian.sources"
    printf '%s\n' 'APT::Architecture "arm64";' 'APT::Architectures { "arm64"; };' 'APT::Sandbox::User "root";' \
        "Dir::State::Lists \"$lab/apt/lists\";" "Dir::State::status \"$lab/apt/status\";" \
        "Dir::Cache \"$lab/apt/cache\";" 'Dir::Etc::SourceList "/dev/null";' \
        "Dir::Etc::SourceParts \"$lab/apt/sources.list.d\";" 'Dir::Etc::Preferences "/dev/null";' \
        'Dir::Etc::PreferencesParts "/dev/null";' 'Debug::NoLocking "true";' >"$lab/apt/apt.conf"
    : >"$lab/apt/status"
    (
        export APT_CONFIG=$lab/apt/apt.conf
        apt-get -q update >/dev/null &&
            cd "$lab/debs" &&
            apt-get -q download \
                $(apt-get -s install --no-install-recommends wine64 libwine | awk '/^Inst/ {print $2}') >/dev/null
    ) || return 1
    for deb in "$lab"/debs/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
    [[ -e $sysroot/lib ]] || ln -s usr/lib "$sysroot/lib"  # where the dynamic loader is looked for
    printf '%s\n' '#!/bin/sh' 'loader="$1"; shift' 'unset WINEPRELOADRESERVE' 'export WINELOADERNOEXEC=1' \
        "exec $qemu \"\$loader\" \"\$@\"" >"$sysroot/usr/lib/wine/wine64-preloader"
    printf '#!/bin/sh\nexec %s %s "$@"\n' "$qemu" "$sysroot/usr/lib/wine/wineserver64" \
        >"$sysroot/usr/lib/wine/wineserver"
    printf '#!/bin/sh\nexec %s %s "$@"\n' "$qemu" "$sysroot/usr/lib/wine/wine64" >"$lab/bin/wine"
    printf '#!/bin/sh\nexec "$(dirname "$0")/wine" wineboot.exe "$@"\n' >"$lab/bin/wineboot"
    ln -s "$sysroot/usr/lib/wine/wineserver" "$lab/bin/wineserver"
    chmod +x "$sysroot/usr/lib/wine/wine64-preloader" "$sysroot/usr/lib/wine/wineserver" "$lab/bin/wine" \
        "$lab/bin/wineboot"
    touch "$lab/.ready"
}

# The release checks' own build in DIR, with the ARM64 tree it packages in
# DIR-arm64: the windows and windows-arm64 presets without tests, the two
# programs that ship built in each; all output appended to LOG. The caller's
# environment (SOURCE_DATE_EPOCH, say) goes to the configures.
build_shipped_programs() {
    cmake -S "$scriptfonts_root" --preset windows-arm64 -B "$1-arm64" -DSCRIPTFONTS_BUILD_TESTS=OFF >>"$2" &&
        cmake --build "$1-arm64" -j "$(nproc)" --target scriptfonts scriptfonts-run >>"$2" &&
        cmake -S "$scriptfonts_root" --preset windows -B "$1" -DSCRIPTFONTS_BUILD_TESTS=OFF \
            -DSCRIPTFONTS_ARM64_BUILD_DIR="$1-arm64" >>"$2" &&
        cmake --build "$1" -j "$(nproc)" --target scriptfonts scriptfonts-run >>"$2"
}

# The path under which a program running under Wine sees a Unix path: drive Z: is /.
windows_path() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}
