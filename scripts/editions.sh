# Sourced by the scripts: the two editions, the Wine loader that runs each, and whether this machine can.

editions=(32 64)

# The Wine loader of an edition: the 32-bit one runs 32-bit Windows programs, the 64-bit one 64-bit programs.
wine_loader() {
  case $1 in
    32) echo /usr/lib/wine/wine ;;
    64) echo /usr/lib/wine/wine64 ;;
    *) echo "unknown edition '$1' (32 or 64)" >&2; return 2 ;;
  esac
}

edition_build() { echo "$1/$2-bit"; }

# The MinGW-w64 target of an edition: its toolchain file and binutils are named after it.
edition_triplet() { [ "$1" = 32 ] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32; }

edition_exe() {
  case $2 in
    32) echo "$(edition_build "$1" 32)/app/AsioQuimble.exe" ;;
    64) echo "$(edition_build "$1" 64)/app/AsioQuimble64.exe" ;;
  esac
}

# The edition's console program: quimble.exe or quimble64.exe.
edition_console_exe() {
  case $2 in
    32) echo "$(edition_build "$1" 32)/console/quimble.exe" ;;
    64) echo "$(edition_build "$1" 64)/console/quimble64.exe" ;;
  esac
}

# Configures the edition's build folder under BUILD (a release build with the tests), quietly unless it fails.
# Further arguments go to cmake.
configure_edition() {
  local root=$1 build=$2 edition=$3 folder toolchain
  shift 3
  folder=$(edition_build "$build" "$edition")
  mkdir -p "$folder"
  toolchain=$root/cmake/$(edition_triplet "$edition").cmake
  # The 64-bit tests include the two-view and console tests, which also run the 32-bit edition's programs.
  cmake -S "$root" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQUIMBLE_OTHER_EDITION_EXE="$(edition_exe "$build" 32)" \
    -DQUIMBLE_OTHER_CONSOLE_EXE="$(edition_console_exe "$build" 32)" \
    -DQUIMBLE_OTHER_TEST_DRIVER_DIR="$(edition_build "$build" 32)/tests/console/asio_test_drivers" "$@" \
    >"$folder/configure.log" 2>&1 || { cat "$folder/configure.log"; return 1; }
}

# Runs the edition's loader once. Succeeds when it runs; otherwise sets `unrunnable_reason` to a plain sentence.
# Some kernels cannot execute 32-bit Linux programs at all, which no package list shows.
probe_edition() {
  local loader output
  loader=$(wine_loader "$1") || return 2
  unrunnable_reason=""
  if [ ! -e "$loader" ]; then
    unrunnable_reason="its Wine loader $loader is not installed (scripts/install-deps installs it)"
    return 1
  fi
  if output=$("$loader" --version 2>&1 </dev/null); then
    return 0
  fi
  if grep -q 'Exec format error' <<<"$output"; then
    unrunnable_reason="this machine's kernel cannot execute $1-bit Linux programs, so $loader cannot start"
  else
    unrunnable_reason="$loader does not start here: $(head -n1 <<<"$output")"
  fi
  return 1
}

# Probes every edition: `runnable` lists those this machine can execute, `unrunnable[EDITION]` says why not.
probe_editions() {
  local edition
  runnable=()
  declare -gA unrunnable=()
  for edition in "${editions[@]}"; do
    if probe_edition "$edition"; then runnable+=("$edition"); else unrunnable[$edition]=$unrunnable_reason; fi
  done
}

edition_runnable() { [ -z "${unrunnable[$1]:-}" ]; }
