#!/bin/sh
# Memory figures of a Linux host for the agent's "SSH Memory" monitor, from /proc/meminfo:
#   -memory phy|swap|total -usage free|used -units MB|%
# "free" physical memory is what is available to programs (MemAvailable); "total" adds swap.
# Prints one line whose first number is the value, or -1 when it cannot be had.
memory= usage= units=
while [ $# -gt 0 ]; do
  case "$1" in
    -memory) memory=${2:-}; shift ;;
    -usage) usage=${2:-}; shift ;;
    -units) units=${2:-}; shift ;;
  esac
  shift
done
[ -r /proc/meminfo ] || { echo -1; exit 0; }
awk -v memory="$memory" -v usage="$usage" -v units="$units" '
  $1 == "MemTotal:" { mt = $2 } $1 == "MemAvailable:" { ma = $2 } $1 == "MemFree:" { mf = $2 }
  $1 == "SwapTotal:" { st = $2 } $1 == "SwapFree:" { sf = $2 }
  END {
    if (ma == "") ma = mf
    if (memory == "phy") { total = mt; free = ma }
    else if (memory == "swap") { total = st; free = sf }
    else if (memory == "total") { total = mt + st; free = ma + sf }
    else { print -1; exit }
    if (total <= 0) { print -1; exit }
    v = (usage == "used") ? total - free : (usage == "free" ? free : -1)
    if (v < 0) { print -1; exit }
    if (units == "MB") printf "%d\n", v / 1024
    else if (units == "%") printf "%.1f\n", 100 * v / total
    else print -1
  }' /proc/meminfo
