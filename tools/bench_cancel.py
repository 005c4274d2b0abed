#!/usr/bin/env python3
"""Times how soon a cancel ends a scan that is under way: the scan is started,
cancelled after each of a few delays, in interleaved rounds (every delay once
per round, in a rotating order), and per delay it prints the median and the
worst time from the cancel to the end, next to the 200 ms the cancel promises.

  bench_cancel.py [--rounds N] [--delays MS,MS,...] [--cold] signal LABEL -- CMD ARGS...
  bench_cancel.py [--rounds N] [--delays MS,MS,...] [--cold] component LABEL -- CMD ARGS...

signal: CMD is started for each round and sent SIGINT after the delay; timed
from the signal to the process's exit, which must be the exit of a cancelled
scan (130).

component: CMD is the component's measuring program (engine_cancel_timing),
started once with the whole sequence of delays appended; before each round it
says "ready" and waits for a line, and it reports for each round the time from
Cancel to AnalyzeDrive's return (and to the end of the engine's workers). Its
own start-up is therefore never timed, and neither is the drop of the caches.

--cold writes back dirty pages and drops the page cache, dentries and inodes
before every round (bench_run.py's way), so each scan reads from the device;
it needs root. A round whose scan ended before the cancel is counted apart.
"""
import signal
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from bench_run import drop_caches, leading_options  # noqa: E402

PROMISE_MS = 200.0


def parse(argv):
    options = {"rounds": 5, "delays": [100, 300, 600], "cold": False}
    i = leading_options(argv, options, {
        "rounds": int, "delays": lambda ms: [int(one) for one in ms.split(",")]})
    if len(argv) < i + 4 or argv[i] not in ("signal", "component") or argv[i + 2] != "--":
        sys.exit(__doc__)
    return options, argv[i], argv[i + 1], argv[i + 3:]


def sequence(options):
    delays = options["delays"]
    order = []
    for r in range(options["rounds"]):
        shift = r % len(delays)
        order += delays[shift:] + delays[:shift]
    return order


def signal_round(command, delay_ms, cold):
    """Milliseconds from SIGINT to the exit, or None when the scan ended first."""
    if cold:
        drop_caches()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay_ms / 1000.0)
    if process.poll() is not None:
        return None
    signalled_at = time.perf_counter()
    process.send_signal(signal.SIGINT)
    code = process.wait()
    elapsed_ms = (time.perf_counter() - signalled_at) * 1000.0
    if code == 0:
        return None  # it ended between the look and the signal
    # A signal that came before the program took over SIGINT ends it by the
    # default action (-SIGINT here), which is as prompt as a cancel can be.
    if code not in (128 + signal.SIGINT, -signal.SIGINT):
        sys.exit("a cancelled scan ended with %d, not %d: %s" %
                 (code, 128 + signal.SIGINT, " ".join(command)))
    return (elapsed_ms,)


def measure_signal(options, command):
    results = []
    for delay_ms in sequence(options):
        results.append((delay_ms, signal_round(command, delay_ms, options["cold"])))
    return results


def measure_component(options, command):
    order = sequence(options)
    process = subprocess.Popen(command + [str(ms) for ms in order], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True, bufsize=1)
    results = []
    for line in process.stdout:
        words = line.split()
        if words[:1] == ["ready"]:
            if options["cold"]:
                drop_caches()
            process.stdin.write("go\n")
            process.stdin.flush()
        elif words[:1] == ["cancelled"]:
            results.append((int(words[1]), (float(words[2]), float(words[3]), int(words[4]))))
        elif words[:1] == ["finished"]:
            results.append((int(words[1]), None))
        else:
            print("(%s)" % line.strip())
    process.stdin.close()
    code = process.wait()
    if code != 0 or len(results) != len(order):
        sys.exit("the measuring program failed (%d) after %d of %d rounds: %s" %
                 (code, len(results), len(order), " ".join(command)))
    return results


def promise(worst_ms):
    return "kept" if worst_ms <= PROMISE_MS else "MISSED"


def print_table(options, mode, label, results):
    timed = "SIGINT to the exit" if mode == "signal" else "Cancel to AnalyzeDrive's return"
    print("%s: cancelled after a delay, time from %s" % (label, timed))
    columns = ("delay", "rounds", "median", "worst", "promise")
    extra = ("workers med", "workers max", "entries med") if mode == "component" else ()
    header = "%-9s %7s %10s %10s %-17s" % columns + "".join(" %12s" % c for c in extra)
    print(header.rstrip())
    for delay_ms in options["delays"]:
        samples = [s for d, s in results if d == delay_ms and s is not None]
        ended_first = sum(1 for d, s in results if d == delay_ms and s is None)
        row = "%-9s %7d" % ("%d ms" % delay_ms, len(samples))
        if samples:
            times = [s[0] for s in samples]
            row += " %8.1fms %8.1fms %-17s" % (statistics.median(times), max(times),
                                                "%d ms: %s" % (PROMISE_MS, promise(max(times))))
            if extra:
                workers = [s[1] for s in samples]
                entries = statistics.median(s[2] for s in samples)
                row += " %10.1fms %10.1fms %12d" % (statistics.median(workers), max(workers),
                                                    entries)
        if ended_first:
            row += "  (%d ended before the cancel)" % ended_first
        print(row.rstrip())
    notes = ["cold, caches dropped before every round" if options["cold"] else "warm",
             "%d interleaved rounds" % options["rounds"]]
    if extra:
        notes.append("\"workers\": from Cancel until the released engine's workers had ended; "
                     "\"entries\": scanned when Cancel came")
    print("(%s)" % "; ".join(notes))


def main():
    options, mode, label, command = parse(sys.argv[1:])
    measure = measure_signal if mode == "signal" else measure_component
    print_table(options, mode, label, measure(options, command))


if __name__ == "__main__":
    main()
