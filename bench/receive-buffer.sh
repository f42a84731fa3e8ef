# Sourced by the receiver bench scripts: both receivers get one and the same receive buffer,
# the system default for new sockets (neither asks for its own size), raised for the run and
# put back at exit. The kernel's stock 212,992 bytes last about 2 ms at 100k datagrams/s,
# shorter than a loaded machine keeps a woken reader waiting; the lossless rate then measures
# the scheduler, not the receiver. ZAM_BENCH_RCVBUF=0 keeps the system's value.
# Usage: source bench/receive-buffer.sh; raise_receive_buffer; ...; restore_receive_buffer
RCVBUF=${ZAM_BENCH_RCVBUF:-8388608}
saved_rmem_default=$(cat /proc/sys/net/core/rmem_default)
saved_rmem_max=$(cat /proc/sys/net/core/rmem_max)

raise_receive_buffer() {
  [ "$RCVBUF" -gt 0 ] || return 0
  [ "$saved_rmem_max" -ge "$RCVBUF" ] || echo "$RCVBUF" > /proc/sys/net/core/rmem_max
  echo "$RCVBUF" > /proc/sys/net/core/rmem_default
}

restore_receive_buffer() {
  echo "$saved_rmem_default" > /proc/sys/net/core/rmem_default
  echo "$saved_rmem_max" > /proc/sys/net/core/rmem_max
}
