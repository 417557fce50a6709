#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and uses only what was
# installed: the programs compile a dictionary and a model and run without a
# search path; a host program is compiled with pkg-config and, through
# find_package, with CMake, and both analyse words with the installed library.
#
#   install_test.sh CMAKE BUILD_DIR CONFIG VERSION TESTS_DIR
set -euo pipefail
if [ $# -ne 5 ]; then
  echo "usage: $0 CMAKE BUILD_DIR CONFIG VERSION TESTS_DIR" >&2
  exit 2
fi
cmake=$1 build=$2 config=$3 version=$4 tests=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# Runs "$@" with its output in $work/log, shown only when it fails.
quiet() {
  if ! "$@" > "$work/log" 2>&1; then
    cat "$work/log" >&2
    return 1
  fi
}

quiet "$cmake" --install "$build" --prefix "$prefix" --config "$config" ||
  { echo "FAIL: cmake --install" >&2; exit 1; }

# The layout. The library directory is wherever talmoro.pc went (lib, or
# lib/<multiarch> for a /usr prefix).
pc=$(find "$prefix" -name talmoro.pc -path '*/pkgconfig/*' | head -n 1)
[ -n "$pc" ] || { echo "FAIL: no talmoro.pc installed" >&2; exit 1; }
libdir=$(dirname "$(dirname "$pc")")
for f in "$libdir/libtalmoro.so" "$libdir/libtalmoro.so.1" \
         "$libdir/cmake/talmoro/talmoroConfig.cmake" \
         "$libdir/cmake/talmoro/talmoroConfigVersion.cmake" \
         "$prefix/include/talmoro/talmoro.h" "$prefix/include/talmoro/base/export.h" \
         "$prefix/share/doc/talmoro/NOTICE"; do
  [ -e "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
for p in talmoro talmoro-dict talmoro-train talmoro-mecab-convert \
         talmoro-mecab-silver talmoro-mecab-model; do
  [ -x "$prefix/bin/$p" ] || fail "program not installed: bin/$p"
done
[ ! -e "$prefix/bin/talmoro-demo" ] || fail "the demo program was installed"
if [ -f "$build/talmoro.jar" ]; then
  cmp -s "$build/talmoro.jar" "$prefix/share/java/talmoro.jar" ||
    fail "share/java/talmoro.jar is not the built talmoro.jar"
fi
for data in dic model; do
  if [ -d "$build/$data" ] && [ ! -d "$prefix/share/talmoro/$data" ]; then
    fail "the build tree's $data/ was not installed"
  fi
done
# Nothing installed may still point into the build tree.
for f in "$prefix"/bin/* "$libdir"/libtalmoro*.so.*.*; do
  paths=$(readelf -d "$f" 2>/dev/null | grep -E 'RPATH|RUNPATH') || paths=
  if grep -qF "$build" <<<"$paths"; then
    fail "${f#"$prefix"/} has a search path into the build tree"
  fi
done
if grep -rqF "$build" "$pc" "$libdir/cmake/talmoro"; then
  fail "the package files name the build tree"
fi

# The installed programs, with no search path: compile the test lexicon and
# train the test model.
unset LD_LIBRARY_PATH
quiet "$prefix/bin/talmoro-dict" -i "$tests/data/basic.lex" -o "$work/dic" ||
  fail "installed talmoro-dict cannot compile basic.lex"
quiet "$prefix/bin/talmoro-train" -i "$tests/data/tagged.txt" -o "$work/model" ||
  fail "installed talmoro-train cannot train tagged.txt"
[ $failed -eq 0 ] || exit 1

# The installed talmoro finds its default data in PREFIX/share/talmoro. When
# the build tree had no default data, the test data is put there; otherwise
# the installed data is tried and a copy of the program in a second tree
# shows the look-up with the test data.
sentence="학교에서 나는 사람이다"
expected=$'학교에서\t학교/nng+에서/jkb\n나는\t나/np+는/jx\n사람이다\t사람/nng+이/vcp+다/ef'
tagged=$(echo "$sentence" | "$prefix/bin/talmoro" -d "$work/dic" -m "$work/model") ||
  fail "installed talmoro does not run with -d and -m"
[ "$tagged" = "$expected" ] ||
  fail "installed talmoro tags unlike expected:"$'\n'"$tagged"
lookup=$prefix
if [ -d "$prefix/share/talmoro/dic" ] && [ -d "$prefix/share/talmoro/model" ]; then
  own=$(echo "학교에서" | "$prefix/bin/talmoro") ||
    fail "installed talmoro does not run with the installed default data"
  [[ "$own" == $'학교에서\t'*/* ]] ||
    fail "installed talmoro with the installed default data wrote: $own"
fi
if [ -e "$prefix/share/talmoro" ]; then
  lookup=$work/copy
  mkdir -p "$lookup/bin"
  cp "$prefix/bin/talmoro" "$lookup/bin/"
fi
mkdir -p "$lookup/share/talmoro"
cp -r "$work/dic" "$work/model" "$lookup/share/talmoro/"
by_default=$(echo "$sentence" | "$lookup/bin/talmoro") ||
  fail "talmoro without options does not find share/talmoro/{dic,model}"
[ "$by_default" = "$expected" ] ||
  fail "talmoro without options tags unlike with -d and -m:"$'\n'"$by_default"

# The host program and what it must print.
host_expected=$'학교에서\t학교/nng+에서/jkb\n나는\t나/np+는/jx 나/vv+는/etm\n사람이다\t사람/nng+이/vcp+다/ef'
run_host() {  # NAME HOST [ENV...]
  local name=$1 host=$2 out
  shift 2
  if ! out=$(env "$@" "$host" "$work/dic" 학교에서 나는 사람이다); then
    fail "$name host failed:"$'\n'"$out"
    return
  fi
  if [ "$out" = "$host_expected" ]; then
    echo "ok: $name host analyses with the installed library"
  else
    fail "$name host printed:"$'\n'"$out"
  fi
}

# With pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig
modversion=$(pkg-config --modversion talmoro) || modversion=
[ "$modversion" = "$version" ] || fail "pkg-config --modversion gives '$modversion', not $version"
flags=$(pkg-config --cflags --libs talmoro)
if quiet c++ -std=c++17 -Wall -Wextra -Werror -o "$work/host-pc" "$tests/install/host.cpp" $flags; then
  # The host must bind the installed library, not one from elsewhere.
  bound=$(LD_LIBRARY_PATH=$libdir ldd "$work/host-pc") || bound=
  if ! grep -qF "$libdir/libtalmoro.so.1" <<<"$bound"; then
    fail "the pkg-config host does not bind $libdir/libtalmoro.so.1"
  fi
  run_host pkg-config "$work/host-pc" LD_LIBRARY_PATH="$libdir"
else
  fail "the host does not compile with pkg-config --cflags --libs talmoro"
fi

# With find_package; the host's build tree holds a search path to the
# imported library, so it runs as it is.
if command -v "$cmake" >/dev/null; then
  if quiet "$cmake" -S "$tests/install" -B "$work/host-cmake" -DCMAKE_BUILD_TYPE="$config" \
       -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
       -DTALMORO_VERSION="$version" \
       -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" &&
     quiet "$cmake" --build "$work/host-cmake" --config "$config"; then
    found=$(sed -n 's/^talmoro_DIR:PATH=//p' "$work/host-cmake/CMakeCache.txt")
    [ "$found" = "$libdir/cmake/talmoro" ] ||
      fail "find_package found talmoro in '$found', not in the prefix"
    host=$(find "$work/host-cmake" -name host -type f -perm -u+x | head -n 1)
    run_host find_package "$host"
  else
    fail "the host does not build with find_package(talmoro)"
  fi
else
  echo "skipped: no cmake, the find_package host is not built"
fi

[ $failed -eq 0 ] && echo "ok: install tree" || exit 1
