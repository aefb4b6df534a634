#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, if any is
# missing (clang and its sanitizers' runtime for the sanitize build and its
# fuzz targets, clang-format and clang-tidy for scripts/lint.sh among them), then
# the glTF validator and three.js (scripts/install-gltf-validator.sh) and
# the viewer's npm packages (scripts/install-viewer.sh, ESLint among them).
# With the argument "demo", only what `make demo` builds with: the native
# programs and libraries and the viewer (cpp-httplib; Node.js and npm for
# three.js), no test program. With "deb", that and what `make deb` needs
# to make the Debian package. With "windows", what `make windows` builds
# with: MinGW-w64, the sources of GoogleTest and cpp-httplib, and the
# viewer's three.js. The full set and "windows" also unpack Debian's source
# of cpp-httplib for the Windows build (scripts/install-httplib-source.sh).
# Needs root (or sudo) and a reachable package registry; an index of it
# that cannot be read is a warning (scripts/apt.sh). libmeshoptimizer-dev only
# makes the meshopt cases of the tests (its encoder and decoder): no program
# that the project ships links it.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libmeshoptimizer-dev
    binutils-mingw-w64-i686 g++-mingw-w64-i686
    help2man dpkg-dev file
    lintian librsvg2-bin
    assimp-testmodels rapidjson-dev
    libcpp-httplib-dev chromium
    clang-format clang-tidy
)
demo_packages=(
    cmake ninja-build g++ help2man
    binutils-mingw-w64-i686 gcc-mingw-w64-i686-posix
    libcpp-httplib-dev
)
windows_packages=(
    cmake ninja-build
    binutils-mingw-w64-i686 g++-mingw-w64-i686
    googletest nlohmann-json3-dev dpkg-dev
)
demo=false
windows=true
case ${1:-} in
    demo) demo=true; windows=false; packages=("${demo_packages[@]}") ;;
    deb) demo=true; windows=false; packages=("${demo_packages[@]}" dpkg-dev file) ;;
    windows) demo=true; packages=("${windows_packages[@]}") ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# Node.js and npm install three.js for the viewer and run the glTF
# validator; a machine that has them from elsewhere keeps its own.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)

if ((${#missing[@]} > 0)); then
    log_tag=install-deps
    source "$(dirname "$0")/apt.sh"
    apt_refresh
    apt_install --no-install-recommends -- "${missing[@]}"
fi

if $windows; then
    bash "$(dirname "$0")/install-httplib-source.sh"
fi
if ! $demo; then
    bash "$(dirname "$0")/install-gltf-validator.sh"
fi
bash "$(dirname "$0")/install-viewer.sh"
