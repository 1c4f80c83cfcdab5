#!/bin/sh
# Installs the build tree into a scratch prefix, then builds the small C
# program in consumer/ against it twice, with pkg-config and with
# find_package(VantrelPIC), and runs each on the virtual programmer.
# Usage: installed_library_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
consumer=$2/consumer
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

pcdir=$(dirname "$(find "$prefix" -name vantrel-pic.pc)")
export PKG_CONFIG_PATH="$pcdir"
[ "$(pkg-config --modversion vantrel-pic)" = "$VANTREL_VERSION" ]
cc -Wall -Wextra -Werror -o "$scratch/with-pkg-config" "$consumer/adapter_check.c" \
  $(pkg-config --cflags --libs vantrel-pic)
libdir=$(pkg-config --variable=libdir vantrel-pic)

cmake -S "$consumer" -B "$scratch/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/with-cmake" >/dev/null

# Each in a working directory of its own: the virtual chip lives there.
for program in "$scratch/with-pkg-config" "$scratch/with-cmake/adapter_check"; do
  work=$(mktemp -d "$scratch/work.XXXX")
  printf 'ComPortName = VIRTUAL\n' > "$work/Preferences.ini"
  word=$(cd "$work" && LD_LIBRARY_PATH="$libdir" "$program")
  [ "$word" = 1234 ] || { echo "$program read $word"; exit 1; }
  grep -Eq '^:[0-9A-F]{2}0000003412' "$work/virtual-pic.hex" || { echo "$program: word not in the virtual chip"; exit 1; }
  [ -s "$work/virtual-pic.vcd" ]
done
echo "pkg-config and find_package(VantrelPIC) builds ran on VIRTUAL"
