#!/usr/bin/env bash
# The benchmarks: what a relink costs as the front-end and its catalog grow,
# and against mdbtools. `make bench` builds BUILD_DIR with -DVOSTREL_BENCH=ON
# in Release and runs this. Prints a Markdown report and keeps it in
# BUILD_DIR/bench-report.md.
#   tools/bench.sh BUILD_DIR
# BENCH_ARGS adds options of vostrel-bench (e.g. "--sizes 1M,10M --runs 5"
# for a quick look; `vostrel-bench --help` lists them). BENCH_SCRATCH names
# the folder for the files (a 1 GiB front-end among them; default: a new one
# under /tmp, removed at the end unless BENCH_KEEP=1).
set -euo pipefail

build=${1:?usage: tools/bench.sh BUILD_DIR}
build=$(cd "$build" && pwd)
bin="$build/bin"

for program in vostrel-bench vostrel-mkdb vostrel-cli; do
  if [ ! -x "$bin/$program" ]; then
    echo "bench: $bin/$program is missing; build with -DVOSTREL_BENCH=ON (make bench)" >&2
    exit 1
  fi
done
for program in mdb-tables mdb-export time; do
  if [ ! -x "/usr/bin/$program" ]; then
    echo "bench: /usr/bin/$program is missing (Debian packages mdbtools and time: tools/deps.sh mdbtools time)" >&2
    exit 1
  fi
done
[ -x "$bin/vostrel" ] || echo "bench: $bin/vostrel is missing: no figures for the window" >&2

scratch=${BENCH_SCRATCH:-$(mktemp -d /tmp/vostrel-bench.XXXXXX)}
mkdir -p "$scratch"
if [ "${BENCH_KEEP:-0}" != 1 ]; then
  trap 'rm -rf "$scratch"' EXIT
fi

# The machine the figures come from.
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
device=$(df --output=source "$scratch" | tail -1)
disk="$device"
name=$(basename "$device")
# A partition (vda1, nvme0n1p1): the queue settings are its disk's.
[ -e "/sys/class/block/$name/partition" ] && name=$(basename "$(readlink -f "/sys/class/block/$name/..")")
if [ -r "/sys/block/$name/queue/rotational" ]; then
  if [ "$(cat "/sys/block/$name/queue/rotational")" = 0 ]; then disk="$disk, non-rotational"; else disk="$disk, rotational"; fi
  [ -d "/sys/block/$name/device" ] && [ -r "/sys/block/$name/device/vendor" ] &&
    disk="$disk, vendor $(tr -s ' ' < "/sys/block/$name/device/vendor")"
  # A virtio disk's flag is the driver's default; the storage behind it is the host's.
  case "$name" in vd*) disk="$disk flag (virtio block device of a virtual machine: the host's storage)" ;; esac
fi
free_space=$(df -h --output=avail "$scratch" | tail -1 | tr -d ' ')

report="$build/bench-report.md"
{
  echo "# vostrel benchmarks"
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git -C "$(dirname "$0")/.." rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "- CPU: $cpu, $(nproc) cores online"
  echo "- Memory: $memory"
  echo "- Disk: $disk; $free_space free before the run"
  echo "- Kernel: $(uname -sr); compiler: $(c++ --version | head -1)"
  echo "- mdbtools: $(mdb-ver --version 2>&1 | head -1)"
  # Other work on the machine widens the spread; the load says how much there was.
  echo "- Load average (1, 5, 15 min) at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
} > "$report"

# shellcheck disable=SC2086  # BENCH_ARGS is a list of options
"$bin/vostrel-bench" --bin "$bin" --scratch "$scratch" ${BENCH_ARGS:-} >> "$report"
{
  echo
  echo "Load average (1, 5, 15 min) at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} >> "$report"
cat "$report"
echo
echo "bench: the report is in $report" >&2
