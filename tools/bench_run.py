#!/usr/bin/env python3
"""Times commands against each other: warm-up runs first, then interleaved
rounds (every command once per round, in a rotating order, so a burst of load
on the machine hits all of them alike). Prints, per command, the median and
minimum wall time, the median CPU time (user + system, which other load on
the machine disturbs far less), the median peak memory (maximum resident set
size), and each one's ratio to the first command.

  bench_run.py [--rounds N] [--warmup N] [--cold] [--save FILE] LABEL -- CMD ARGS... [LABEL -- CMD ARGS...]...
  bench_run.py --side-by-side WARM.json COLD.json

--cold writes back dirty pages and drops the page cache, dentries and inodes
before every run (warm-up runs included), so each run reads its metadata from
the device; it needs root. --save keeps the medians as JSON, and
--side-by-side prints two saved tables (the same commands, warm and cold) as
one.

Each command's standard output and error are discarded; a command that fails
stops the benchmark.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time


def leading_options(argv, options, converters):
    """Reads the --options in front of the arguments into `options`: a name
    with a converter takes the next argument, one without is a flag. Returns
    where the arguments start."""
    i = 0
    while i < len(argv) and argv[i].startswith("--"):
        name = argv[i][2:]
        if name not in options:
            sys.exit("unknown option " + argv[i])
        if name in converters:
            if i + 1 >= len(argv):
                sys.exit(argv[i] + " needs a value")
            options[name] = converters[name](argv[i + 1])
            i += 2
        else:
            options[name] = True
            i += 1
    return i


def parse(argv):
    options = {"rounds": 7, "warmup": 1, "cold": False, "save": None}
    i = leading_options(argv, options, {"rounds": int, "warmup": int, "save": str})
    commands = []
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
    return options, commands


def drop_caches():
    # Dirty pages cannot be dropped: write them back first.
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as knob:
        knob.write("3\n")


def run_once(command, cold):
    if cold:
        drop_caches()
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


def measure(options, commands):
    for _ in range(options["warmup"]):
        for _, command in commands:
            run_once(command, options["cold"])
    samples = {label: [] for label, _ in commands}
    for r in range(options["rounds"]):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for label, command in order:
            samples[label].append(run_once(command, options["cold"]))
    rows = []
    for label, _ in commands:
        walls = [s[0] for s in samples[label]]
        rows.append({"label": label, "wall": statistics.median(walls), "wall_min": min(walls),
                     "cpu": statistics.median(s[1] for s in samples[label]),
                     "peak_mib": statistics.median(s[2] for s in samples[label])})
    return rows


def print_table(rows, options):
    base = rows[0]
    print("%-14s %9s %9s %9s %10s %8s %8s" %
          ("", "wall med", "wall min", "cpu med", "peak MiB", "wall x", "cpu x"))
    for row in rows:
        print("%-14s %8.3fs %8.3fs %8.3fs %10.1f %8.2f %8.2f" % (
            row["label"], row["wall"], row["wall_min"], row["cpu"], row["peak_mib"],
            row["wall"] / base["wall"], row["cpu"] / base["cpu"]))
    print("(%s: %d interleaved rounds after %d warm-up; \"x\" is the time relative to %s)" %
          ("cold, caches dropped before every run" if options["cold"] else "warm",
           options["rounds"], options["warmup"], base["label"]))


def print_side_by_side(warm_file, cold_file):
    warm, cold = (json.load(open(name)) for name in (warm_file, cold_file))
    cold_rows = {row["label"]: row for row in cold}
    print("%-14s %9s %7s %9s   %9s %7s %9s" %
          ("", "warm", "x", "peak MiB", "cold", "x", "peak MiB"))
    for row in warm:
        other = cold_rows.get(row["label"])
        if not other:
            continue
        print("%-14s %8.3fs %7.2f %9.1f   %8.3fs %7.2f %9.1f" % (
            row["label"], row["wall"], row["wall"] / warm[0]["wall"], row["peak_mib"],
            other["wall"], other["wall"] / cold[0]["wall"], other["peak_mib"]))
    print("(median wall times; \"x\" is the time relative to %s)" % warm[0]["label"])


def main():
    if sys.argv[1:2] == ["--side-by-side"] and len(sys.argv) == 4:
        print_side_by_side(sys.argv[2], sys.argv[3])
        return
    options, commands = parse(sys.argv[1:])
    rows = measure(options, commands)
    print_table(rows, options)
    if options["save"]:
        with open(options["save"], "w") as saved:
            json.dump(rows, saved)


if __name__ == "__main__":
    main()
