#!/bin/sh
# Disk space of a Linux host for the agent's "SSH Disk space" monitor, from df -Pk:
#   -name PATH -type free|used [-percent]   kilobytes (or percent of the disk) free or used
#   -enumerate                              one mount point per line
# PATH is a single word of its own. Prints one line whose first number is the value, or -1 when
# it cannot be had.
path= type= percent=0 enumerate=0
while [ $# -gt 0 ]; do
  case "$1" in
    -name) path=${2:-}; shift ;;
    -type) type=${2:-}; shift ;;
    -percent) percent=1 ;;
    -enumerate) enumerate=1 ;;
  esac
  shift
done
if [ "$enumerate" = 1 ]; then
  # the mount point is the rest of the line after five fields: it may hold blanks
  df -Pk 2>/dev/null | awk 'NR > 1 && $2 > 0 { line = $0; for (i = 0; i < 5; i++) sub(/^[^ \t]+[ \t]+/, "", line); print line }'
  exit 0
fi
[ -n "$path" ] || { echo -1; exit 0; }
df -Pk -- "$path" 2>/dev/null | awk -v type="$type" -v percent="$percent" '
  NR == 2 { used = $3; free = $4; found = 1 }
  END {
    if (!found || used + free <= 0) { print -1; exit }
    v = (type == "used") ? used : (type == "free" ? free : -1)
    if (v < 0) { print -1; exit }
    if (percent == 1) printf "%.1f\n", 100 * v / (used + free)
    else printf "%d\n", v
  }'
