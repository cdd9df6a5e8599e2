#!/usr/bin/env bash
# Cross-builds the Windows programs (vexelor.exe, vexelor-jpeg.exe) and the
# Windows unit tests into build-windows/ (or $WIN_BUILD_DIR) with mingw-w64.
# Arguments: cmake options for the configure step (-D...), and --target NAME
# (repeatable) to build only those targets.
#
# libpng and libjpeg-turbo are built as static libraries from Debian's own
# source packages (Debian's patches applied), fetched with apt through a
# private state folder in the build tree; the system's apt configuration is
# not touched. The built libraries are kept in a cache folder keyed by the
# package and compiler versions ($VEXELOR_DEPS_CACHE, by default
# ~/.cache/vexelor/mingw-deps), so that later builds, even from a fresh clone,
# reuse them. Google Benchmark comes the same way (Debian has no mingw build
# of it), GoogleTest from /usr/src/googletest.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root="$PWD"
configure_args=() build_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --target) build_args+=(--target "$2"); shift 2 ;;
    *) configure_args+=("$1"); shift ;;
    esac
done
scripts/install-deps.sh

build="${WIN_BUILD_DIR:-build-windows}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
cache="${VEXELOR_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vexelor/mingw-deps}"
mkdir -p "$cache"
jobs="${JOBS:-2}"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR=1
log() { echo "build-windows: $*" >&2; }

# --- The private apt state: Debian's source packages from the system's mirror --------
apt_dir="$build/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/src"

# deb-src lines for the mirrors and keyrings the system's own apt sources use
# (deb822 .sources files and one-line .list files alike).
write_source_list() {
    python3 - "$apt_dir/sources.list" <<'PY'
import glob, re, sys
lines = []
def add(opts, uri, suite, comps):
    if "main" not in comps:
        return
    line = "deb-src " + (f"[{opts}] " if opts else "") + f"{uri} {suite} main"
    if line not in lines:
        lines.append(line)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    text = open(path, encoding="utf-8", errors="replace").read()
    for stanza in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for raw in stanza.splitlines():
            if raw.startswith("#") or not raw.strip():
                continue
            if raw[0] in " \t" and key:
                fields[key] += " " + raw.strip()
                continue
            key, _, value = raw.partition(":")
            key = key.strip().lower()
            fields[key] = value.strip()
        if "deb" not in fields.get("types", "").split() or fields.get("enabled", "yes").lower() == "no":
            continue
        keyring = fields.get("signed-by", "")
        opts = f"signed-by={keyring}" if keyring.startswith("/") else ""
        for uri in fields.get("uris", "").split():
            for suite in fields.get("suites", "").split():
                add(opts, uri, suite, fields.get("components", "").split())
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        text = open(path, encoding="utf-8", errors="replace").read()
    except OSError:
        continue
    for raw in text.splitlines():
        m = re.match(r"\s*deb\s+(?:\[([^\]]*)\]\s+)?(\S+)\s+(\S+)\s+(.*)", raw)
        if m:
            add((m.group(1) or "").strip(), m.group(2), m.group(3), m.group(4).split())
if not lines:
    sys.exit("no Debian mirror found in the system's apt sources")
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
}

apt_opts=(
    -o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o "Dir::Etc::sourceparts=-"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o "Dir::State::status=$apt_dir/status" -o "APT::Sandbox::User=root"
    -o "Debug::NoLocking=1" -qq
)
: >"$apt_dir/status" 2>/dev/null || true

# The versions of a source package the mirrors list, newest first.
source_versions() {
    apt-cache "${apt_opts[@]}" showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u |
        python3 -c '
import functools, subprocess, sys
def cmp(a, b):
    if a == b: return 0
    return -1 if subprocess.call(["dpkg", "--compare-versions", a, "lt", b]) == 0 else 1
for v in sorted(sys.stdin.read().split(), key=functools.cmp_to_key(cmp), reverse=True): print(v)'
}

# Downloads the newest version of a source package that can be fetched (a
# mirror may list a version whose files it does not hold) and prints it.
fetch_source() {
    local pkg="$1" version
    for version in $(source_versions "$pkg"); do
        if [ -f "$apt_dir/src/${pkg}_${version#*:}.dsc" ] ||
            (cd "$apt_dir/src" && apt-get "${apt_opts[@]}" source --download-only "$pkg=$version" \
                >>"$apt_dir/fetch.log" 2>&1); then
            echo "$version"
            return 0
        fi
        log "$pkg $version is listed but cannot be fetched; trying an older version"
    done
    return 1
}

# Unpacks a fetched source package, Debian's patches applied, and prints its folder.
unpack_source() {
    local pkg="$1" version="$2" dir="$apt_dir/src/$1_${2#*:}"
    if [ ! -d "$dir" ]; then
        rm -rf "$dir.tmp"
        dpkg-source -x "$apt_dir/src/${pkg}_${version#*:}.dsc" "$dir.tmp" >"$apt_dir/src/$pkg.log" 2>&1
        mv "$dir.tmp" "$dir"
    fi
    echo "$dir"
}

write_source_list
png_ver="" jpeg_ver="" bench_ver=""
if apt-get "${apt_opts[@]}" update >"$apt_dir/update.log" 2>&1; then
    png_ver="$(fetch_source libpng1.6 || true)"
    jpeg_ver="$(fetch_source libjpeg-turbo || true)"
    bench_ver="$(fetch_source benchmark || true)"
fi
gcc_ver="$(x86_64-w64-mingw32-gcc-posix -dumpfullversion)"
gtest_ver="$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
# Raise when the way the libraries are built below changes.
recipe=2
toolchain_sum="$( (cat "$toolchain"; echo "$recipe") | sha1sum | cut -c1-10)"

if [ -n "$png_ver" ] && [ -n "$jpeg_ver" ] && [ -n "$bench_ver" ]; then
    key="png-${png_ver}_jpeg-${jpeg_ver}_gtest-${gtest_ver}_bench-${bench_ver}_gcc-${gcc_ver}_${toolchain_sum}"
    key="${key//[:~+]/.}"
    prefix="$cache/$key"
else
    # No mirror reachable: the newest libraries built before will do.
    prefix="$(ls -dt "$cache"/png-*/ 2>/dev/null | head -n 1 || true)"
    prefix="${prefix%/}"
    [ -n "$prefix" ] && [ -f "$prefix/.complete" ] ||
        { log "cannot reach the Debian mirror (see $apt_dir/update.log) and no cached libraries"; exit 1; }
    log "mirror unreachable; using cached libraries $(basename "$prefix")"
fi

# --- Static libraries, built once per key ---------------------------------------------
deps_cmake() {  # source dir, build dir, cmake options...
    local src="$1" bld="$2"
    shift 2
    nice cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix.tmp" \
        -DCMAKE_POLICY_DEFAULT_CMP0091=NEW "$@" >"$bld.log" 2>&1 ||
        { log "configuring $(basename "$src") failed, see $bld.log"; exit 1; }
    nice cmake --build "$bld" -j "$jobs" >>"$bld.log" 2>&1 &&
        cmake --install "$bld" >>"$bld.log" 2>&1 ||
        { log "building $(basename "$src") failed, see $bld.log"; exit 1; }
}

if [ ! -f "$prefix/.complete" ]; then
    start=$SECONDS
    log "building static libpng $png_ver, libjpeg-turbo $jpeg_ver, googletest $gtest_ver, benchmark $bench_ver (once)"
    png_src="$(unpack_source libpng1.6 "$png_ver")"
    jpeg_src="$(unpack_source libjpeg-turbo "$jpeg_ver")"
    bench_src="$(unpack_source benchmark "$bench_ver")"
    rm -rf "$prefix.tmp" "$build/deps"
    mkdir -p "$build/deps"
    deps_cmake "$jpeg_src" "$build/deps/jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DWITH_JPEG8=OFF
    deps_cmake "$png_src" "$build/deps/png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF \
        -DPNG_TESTS=OFF -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
        -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include -DCMAKE_INSTALL_LIBDIR=lib
    deps_cmake /usr/src/googletest "$build/deps/googletest" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
        -Dgtest_disable_pthreads=ON -DCMAKE_INSTALL_LIBDIR=lib
    # Google Benchmark (its version is the package's; the tarball has no git tags).
    deps_cmake "$bench_src" "$build/deps/benchmark" -DGIT_VERSION=0.0.0 -DBENCHMARK_ENABLE_TESTING=OFF \
        -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON \
        -DBENCHMARK_INSTALL_DOCS=OFF -DCMAKE_INSTALL_LIBDIR=lib
    touch "$prefix.tmp/.complete"
    rm -rf "$prefix"
    mv "$prefix.tmp" "$prefix"
    log "libraries built in $((SECONDS - start)) s into $prefix"
fi

# --- The programs and the unit tests --------------------------------------------------
nice cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXELOR_WIN_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo ${configure_args[@]+"${configure_args[@]}"} >/dev/null
nice cmake --build "$build" -j "$jobs" ${build_args[@]+"${build_args[@]}"}
