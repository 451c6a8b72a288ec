# Functions for the measurement scripts (sourced, not run): the CPU a Wine
# program and the Wine server use while a script watches.

# Seconds of CPU (user + system) a process has used so far.
cpu_seconds() {
  awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"
}

# The one process whose command line starts with the program $1 (a .exe
# path): Wine's process for it.
wine_pid() {
  local p
  for p in $(pgrep -f "$1"); do
    if tr '\0' ' ' <"/proc/$p/cmdline" | grep -q "^$1"; then echo "$p"; return 0; fi
  done
  return 1
}

# measure_cpu LABEL NAME PID SERVER-PID SECONDS: prints the share of one core
# the process NAME (PID) and the Wine server used over SECONDS.
measure_cpu() {
  local p0 s0 t0 p1 s1 t1
  p0=$(cpu_seconds "$3"); s0=$(cpu_seconds "$4"); t0=$(date +%s.%N)
  sleep "$5"
  p1=$(cpu_seconds "$3"); s1=$(cpu_seconds "$4"); t1=$(date +%s.%N)
  awk -v l="$1" -v n="$2" -v p0="$p0" -v p1="$p1" -v s0="$s0" -v s1="$s1" -v t0="$t0" -v t1="$t1" 'BEGIN {
    t = t1 - t0
    printf "CPU over %.1f s, %s: %s %.2f%% of one core, wineserver %.2f%%\n",
      t, l, n, 100 * (p1 - p0) / t, 100 * (s1 - s0) / t
  }'
}
