# shellcheck shell=bash
# CPU time of a whole process in nanoseconds: its CPU-time clock (clock_getcpuclockid), which the
# kernel keeps for the process as a whole, threads that have ended included. Summing the threads of
# /proc/PID/task would miss every check, since each runs in a thread that has ended by the time of the
# reading; /proc/PID/stat has the whole process but in clock ticks, too coarse for a few milliseconds.
cpu_ns() {
    /usr/bin/python3 -c '
import sys, time
pid = int(sys.argv[1])
# MAKE_PROCESS_CPUCLOCK(pid, CPUCLOCK_SCHED) of the kernel: what clock_getcpuclockid returns.
print(time.clock_gettime_ns((~pid << 3) | 2))' "$1"
}
