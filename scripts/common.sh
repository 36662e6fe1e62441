# Sourced by the scripts beside it: the repository root, the Debian packages
# the project needs, and Windows paths for programs run under Wine.

scriptfonts_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Cross compiler and Wine for the DLL and its tests; clang with its sanitizer
# and fuzzer runtimes, GoogleTest and Google Benchmark for the native build;
# fontTools for scripts/make-fonts.py; git, which gives a build its time; for
# the release checks, the reproducible-builds tools (and what they use to vary
# the build and to read zips), osslsigncode and OpenSSL. For scripts/test
# alone: Ninja, for the multi-config build, and LLVM's MSVC-style compiler,
# linker, resource compiler and librarian, for the MSVC flags check.
scriptfonts_packages=(
    cmake make g++ clang libclang-rt-dev googletest libbenchmark-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
    python3 python3-fonttools git
    reprotest diffoscope-minimal disorderfs faketime locales unzip osslsigncode openssl
    ninja-build clang-tools-14 lld llvm
)

# Installs whichever packages are missing; with all of them there it only looks.
install_missing_packages() {
    local package missing=()
    for package in "${scriptfonts_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -qx 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    if ((EUID != 0)); then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
}

# The path under which a program running under Wine sees a Unix path: drive Z: is /.
windows_path() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}
