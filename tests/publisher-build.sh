# Shared by the tests of the publisher's build (tests/branded-build, tests/signed-build); sourced
# once they have set source_dir, scratch and toolchain.

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# configure BUILD_DIR OPTIONS...: configures a publisher's build; cmake's output in BUILD_DIR.log.
configure() {
  local dir=$1; shift
  cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@" >"$dir.log" 2>&1
}

# expect_refusal EXPECTED OPTIONS...: configure must refuse OPTIONS with a message that holds
# EXPECTED, and generate no build. The message, its line wrapping undone, is left in `refusal`,
# and cmake's output in $scratch/refused.log until the next call.
expect_refusal() {
  local expected=$1; shift
  rm -rf "$scratch/refused" "$scratch/refused.log"
  refusal=""
  if configure "$scratch/refused" "$@"; then
    fail "configure took $*"
    return
  fi
  refusal=$(tr -s ' \n' '  ' < "$scratch/refused.log" | sed -n 's/.*(message): \(.*\) Call Stack.*/\1/p')
  if ! grep -qF -- "$expected" <<<"$refusal" || [ -e "$scratch/refused/build.ninja" ]; then
    fail "configure refused $* without saying \"$expected\", or generated a build:"
    cat "$scratch/refused.log" >&2
  else
    echo "ok: refused: $refusal"
  fi
}
