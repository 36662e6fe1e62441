# Sourced by the scripts beside it: the repository root, the Debian packages
# the project needs, and Windows paths for programs run under Wine.

scriptfonts_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What scripts/demo uses: CMake and make, the cross compiler with its binutils
# (windres makes the version resource), Wine, GoogleTest's sources (the build
# it configures has the tests), Python 3 for the zip, and git, which gives a
# build its time.
scriptfonts_demo_packages=(
    cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine googletest python3 git
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
    ninja-build clang-tools-14 lld llvm
)

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

# The release checks' own build in DIR: the windows preset without tests, the
# two programs that ship built; all output appended to LOG. The caller's
# environment (SOURCE_DATE_EPOCH, say) goes to the configure.
build_shipped_programs() {
    cmake -S "$scriptfonts_root" --preset windows -B "$1" -DSCRIPTFONTS_BUILD_TESTS=OFF >>"$2" &&
        cmake --build "$1" -j "$(nproc)" --target scriptfonts scriptfonts-run >>"$2"
}

# The path under which a program running under Wine sees a Unix path: drive Z: is /.
windows_path() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}
