#!/bin/sh
# Process figures of a Linux host for the agent's "SSH Process" monitor:
#   -metric count|cpu|memory [-name NAME] [-margs ARGUMENTS]
# count: processes whose command name is NAME (all without one) and whose arguments contain
# ARGUMENTS; cpu: their CPU usage in percent, summed; memory: their resident size in KB, summed.
# NAME and ARGUMENTS are single words of their own, matched as plain text.
# Prints one line whose first number is the value, or -1 when it cannot be had.
metric= name= margs=
while [ $# -gt 0 ]; do
  case "$1" in
    -metric) metric=${2:-}; shift ;;
    -name) name=${2:-}; shift ;;
    -margs) margs=${2:-}; shift ;;
  esac
  shift
done
case "$metric" in count|cpu|memory) ;; *) echo -1; exit 0 ;; esac
ps -eo pcpu=,rss=,comm=,args= 2>/dev/null | awk -v metric="$metric" -v name="$name" -v margs="$margs" -v self="$$" '
  {
    cpu = $1; rss = $2; comm = $3
    args = $0; sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+[^ \t]+[ \t]*/, "", args)
    if (name != "" && comm != name) next
    if (margs != "" && index(args, margs) == 0) next
    n++; c += cpu; m += rss
  }
  END {
    if (metric == "count") printf "%d\n", n
    else if (metric == "cpu") printf "%.1f\n", c
    else printf "%d\n", m
  }'
