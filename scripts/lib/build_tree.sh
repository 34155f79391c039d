# Sourced by the scripts that build: the trees are named in CMakePresets.json (test, asan, tsan,
# fuzz, bench, run, soak), each in build/<name>.

# ccache, when the machine has it, makes rebuilding unchanged files cheap; nothing needs it.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi

# quorvane_build_tree PRESET [cmake --build options...]: configures and builds the named tree.
quorvane_build_tree() {
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" "$@"
}
