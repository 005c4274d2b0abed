#!/usr/bin/env python3
"""Times commands against each other: warm-up runs first, then interleaved
rounds (every command once per round, in a rotating order, so a burst of load
on the machine hits all of them alike). Prints, per command, the median and
minimum wall time, the median CPU time (user + system, which other load on
the machine disturbs far less), the median peak memory (maximum resident set
size), and each one's ratio to the first command.

  bench_run.py --rounds N --warmup N LABEL -- CMD ARGS... [LABEL -- CMD ARGS...]...

Each command's standard output and error are discarded; a command that fails
stops the benchmark.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def parse(argv):
    rounds, warmup, commands = 7, 1, []
    i = 0
    while i < len(argv) and argv[i].startswith("--"):
        if argv[i] == "--rounds":
            rounds = int(argv[i + 1])
        elif argv[i] == "--warmup":
            warmup = int(argv[i + 1])
        else:
            sys.exit("unknown option " + argv[i])
        i += 2
    # LABEL -- CMD ... up to the next "LABEL --" pair.
    while i < len(argv):
        label = argv[i]
        if i + 1 >= len(argv) or argv[i + 1] != "--":
            sys.exit("expected LABEL -- CMD...")
        j = i + 2
        while j < len(argv) and not (j + 1 < len(argv) and argv[j + 1] == "--"):
            j += 1
        commands.append((label, argv[i + 2:j]))
        i = j
    if not commands:
        sys.exit(__doc__)
    return rounds, warmup, commands


def run_once(command):
    # Peak memory comes from /usr/bin/time: the rusage of a child forked from
    # this interpreter would count the interpreter's own pages too.
    with tempfile.NamedTemporaryFile("r") as memory:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", memory.name] + command,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        # du exits 1 when some folder could not be read, which the adversarial
        # tree does on purpose; anything else is a real failure.
        if code not in (0, 1):
            sys.exit("failed (%d): %s" % (code, " ".join(command)))
        peak_kib = int(memory.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, peak_kib / 1024.0


def main():
    rounds, warmup, commands = parse(sys.argv[1:])
    for _ in range(warmup):
        for _, command in commands:
            run_once(command)
    samples = {label: [] for label, _ in commands}
    for r in range(rounds):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for label, command in order:
            samples[label].append(run_once(command))

    def med(label, k):
        return statistics.median(s[k] for s in samples[label])

    base = commands[0][0]
    print("%-14s %9s %9s %9s %10s %8s %8s" %
          ("", "wall med", "wall min", "cpu med", "peak MiB", "wall x", "cpu x"))
    for label, _ in commands:
        print("%-14s %8.3fs %8.3fs %8.3fs %10.1f %8.2f %8.2f" % (
            label, med(label, 0), min(s[0] for s in samples[label]), med(label, 1), med(label, 2),
            med(label, 0) / med(base, 0), med(label, 1) / med(base, 1)))
    print("(%d interleaved rounds after %d warm-up; \"x\" is the time relative to %s)" %
          (rounds, warmup, base))


if __name__ == "__main__":
    main()
