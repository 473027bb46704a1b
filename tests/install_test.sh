#!/usr/bin/env bash
# Installs the build into a scratch prefix, then configures and builds the
# example consumer project against the installed package: its sounds are
# converted at build time and assembled into an ARM static library, and an
# edited input is converted again while the other is not.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
for tool in arm-none-eabi-as arm-none-eabi-ar arm-none-eabi-nm; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed (Debian: binutils-arm-none-eabi)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/notebake bin/pcmar share/man/man1/notebake.1 share/man/man1/pcmar.1 \
         lib/cmake/NotebakePcmar/NotebakePcmarConfig.cmake lib/cmake/NotebakePcmar/NotebakePcmarHelpers.cmake; do
  [ -e "$work/prefix/$f" ] || fail "not installed: $f"
done

mkdir "$work/sounds"
cp "$source/examples/theme.mid" "$source/examples/chime.wav" "$work/sounds/"
cmake -S "$source/examples/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" -DSOUND_DIR="$work/sounds" >/dev/null
cmake --build "$work/consumer" >"$work/first.log" 2>&1 || { cat "$work/first.log"; fail "first build"; }

symbols=$(arm-none-eabi-nm "$work/consumer/libsounds.a")
grep -q ' R theme$' <<<"$symbols" || fail "no global theme in .rodata: $symbols"
grep -q ' R chime$' <<<"$symbols" || fail "no global chime in .rodata: $symbols"
grep -q '^\.word 3$' "$work/consumer/samples/chime.s" || fail "RATE_INDEX 3 not passed to pcmar"
grep -q '^\.long 0x5ab$' "$work/consumer/samples/chime.s" || fail "LOOP 1000 not passed to pcmar"
[ -z "$(find "$work/sounds" -name '*.s')" ] || fail "outputs written beside the sources"

# An edited .wav is converted again; the .mid is not.
sleep 1; touch "$work/sounds/chime.wav"
cmake --build "$work/consumer" >"$work/second.log" 2>&1 || { cat "$work/second.log"; fail "second build"; }
grep -q 'Converting chime.wav' "$work/second.log" || fail "edited chime.wav not converted again"
if grep -q 'Converting theme.mid' "$work/second.log"; then fail "unchanged theme.mid converted again"; fi
cmake --build "$work/consumer" >"$work/third.log" 2>&1
grep -q 'no work to do' "$work/third.log" || { cat "$work/third.log"; fail "a build with nothing changed did work"; }
echo "installed package consumed: 1 passed, 0 failed"
