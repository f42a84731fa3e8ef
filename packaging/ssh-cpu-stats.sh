#!/bin/sh
# CPU figures of a Linux host for the agent's "SSH CPU" monitor. One argument set:
#   -cputime active|user|system|waitio   percent of CPU time over the sample
#   -runqlen                             processes ready to run (procs_running)
#   -intpersec | -cswpersec              interrupts or context switches per second
# Times and rates come from two samples of /proc/stat taken 0.5 s apart.
# Prints one line whose first number is the value, or -1 when it cannot be had.
interval=0.5

sample() { # -> "user nice system idle iowait irq softirq steal intr ctxt"
  awk '$1 == "cpu" { c = $2 " " $3 " " $4 " " $5 " " $6 " " $7 " " $8 " " ($9 == "" ? 0 : $9) }
       $1 == "intr" { i = $2 } $1 == "ctxt" { x = $2 }
       END { print c, i, x }' /proc/stat 2>/dev/null
}

[ -r /proc/stat ] || { echo -1; exit 0; }
case "${1:-}" in
  -runqlen)
    awk '$1 == "procs_running" { print ($2 > 0 ? $2 - 1 : 0); found = 1 } END { if (!found) print -1 }' /proc/stat
    exit 0 ;;
  -cputime|-intpersec|-cswpersec) ;;
  *) echo -1; exit 0 ;;
esac
first=$(sample)
sleep "$interval"
second=$(sample)
echo "$first $second" | awk -v what="${1}" -v which="${2:-}" -v interval="$interval" '{
  du = $11 - $1; dn = $12 - $2; ds = $13 - $3; di = $14 - $4; dw = $15 - $5; dq = $16 - $6; dsq = $17 - $7; dst = $18 - $8
  total = du + dn + ds + di + dw + dq + dsq + dst
  if (what == "-intpersec") { printf "%d\n", ($19 - $9) / interval; exit }
  if (what == "-cswpersec") { printf "%d\n", ($20 - $10) / interval; exit }
  if (total <= 0) { print -1; exit }
  if (which == "active") v = total - di - dw
  else if (which == "user") v = du + dn
  else if (which == "system") v = ds + dq + dsq
  else if (which == "waitio") v = dw
  else { print -1; exit }
  printf "%.1f\n", 100 * v / total
}'
