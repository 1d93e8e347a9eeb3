"""Timing of one process for the bench scripts: what it takes, as the kernel counts it."""
import os
import sys
import time


def run_timed(argv, cwd=None):
    """Runs argv (in cwd) with its output discarded; returns (elapsed, processor) seconds,
    processor being user + system time to the microsecond. Exits when the command fails."""
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, 1)
        os.dup2(null, 2)
        try:
            if cwd:
                os.chdir(cwd)
            os.execvp(argv[0], argv)
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + argv[0] + (" in " + cwd if cwd else ""))
    return elapsed, usage.ru_utime + usage.ru_stime
