#!/usr/bin/env bash
# Runs one JUnit 4 test class with the JNI checker on. Fails when a test
# fails and also when the checker reports anything: a missed exception check
# or too many local references is only a warning, which the virtual machine
# writes to standard output or standard error.
# Usage: run_junit.sh JAVA CLASSPATH LIBDIR FIXTURES DATA CLASS [JVM FLAGS]
set -uo pipefail
java=$1 classpath=$2 libdir=$3 fixtures=$4 data=$5 class=$6
shift 6

out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$java" -Xcheck:jni "$@" \
  -Djava.library.path="$libdir" \
  -Dtalmoro.test.fixtures="$fixtures" -Dtalmoro.test.data="$data" \
  -cp "$classpath" org.junit.runner.JUnitCore "$class" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2

if grep -q -e WARNING -e 'FATAL ERROR' "$out" "$err"; then
  echo "the JNI checker reported problems (see above)" >&2
  exit 1
fi
exit "$status"
