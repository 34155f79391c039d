# Sourced by scripts/run and scripts/screenshot: builds the monitor and the simulator, starts
# the simulator on a free loopback port and writes a run folder whose settings file points the
# monitor at it.

QUORVANE_BUILD_DIR=${QUORVANE_BUILD_DIR:-$PWD/build/run}

source scripts/lib/build_tree.sh

# quorvane_build_monitor [TARGET...]: the run tree (QUORVANE_BUILD_DIR may put it elsewhere),
# by default the monitor, the simulator, the socket library and the history filler.
quorvane_build_monitor() {
  local targets=("$@")
  [ ${#targets[@]} -gt 0 ] || targets=(Quorvane unit-sim quorvane_socket history-fill)
  cmake --preset run -B "$QUORVANE_BUILD_DIR" >/dev/null
  cmake --build "$QUORVANE_BUILD_DIR" -j "$(nproc)" --target "${targets[@]}"
}

# quorvane_start_simulator LOGDIR [unit-sim options...]: sets QUORVANE_SIM_PID and QUORVANE_SIM_PORT.
# The simulator takes the unit's factory credentials, which are the monitor's defaults too.
quorvane_start_simulator() {
  local logdir=$1; shift
  local out="$logdir/unit-sim.out"
  : >"$out"
  "$QUORVANE_BUILD_DIR/bin/unit-sim" --port 0 "$@" >"$out" 2>"$logdir/unit-sim.err" &
  QUORVANE_SIM_PID=$!
  local i line=
  for i in $(seq 1 100); do
    line=$(head -n 1 "$out" 2>/dev/null || true)
    case $line in "listening on 127.0.0.1:"*) break ;; esac
    kill -0 "$QUORVANE_SIM_PID" 2>/dev/null || break
    sleep 0.05
  done
  case $line in
    "listening on 127.0.0.1:"*) QUORVANE_SIM_PORT=${line##*:} ;;
    *) echo "The simulator did not start (see $logdir/unit-sim.err)." >&2; return 1 ;;
  esac
}

quorvane_stop_simulator() {
  if [ -n "${QUORVANE_SIM_PID:-}" ]; then
    kill "$QUORVANE_SIM_PID" 2>/dev/null || true
    wait "$QUORVANE_SIM_PID" 2>/dev/null || true
    QUORVANE_SIM_PID=
  fi
}

# quorvane_write_settings FOLDER PORT INTERVAL: the monitor's settings file (named after the
# executable, Quorvane.ini) in the folder the monitor will run from. It holds only what differs
# from the program's own defaults; the monitor adds the other keys at its first start.
quorvane_write_settings() {
  local folder=$1 port=$2 interval=$3
  mkdir -p "$folder"
  printf '[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=%s\r\nRTimeout=5\r\nInterval=%s\r\n\r\n' \
    "$port" "$interval" >"$folder/Quorvane.ini"
}
