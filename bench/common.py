"""What the benchmark scripts share: the load, one timed run, the rows check."""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
TIME = "/usr/bin/time"  # GNU time (Debian package time)


def load():
    with open("/proc/loadavg") as fh:
        return " ".join(fh.read().split()[:3])


def run(argv, env=None, timeout=None):
    """Wall seconds and peak resident kilobytes of one run, output discarded.

    The peak comes from GNU time: a child's peak survives exec, so measured
    from here it would be this interpreter's size."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"bench-run-{os.getpid()}.rss")
    start = time.perf_counter()
    proc = subprocess.run([TIME, "-f", "%M", "-o", report] + argv, env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
    wall = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"{argv[0]} failed with status {proc.returncode}: "
                 f"{proc.stderr.decode(errors='replace')}")
    with open(report) as fh:
        rss = int(fh.read().split()[-1])
    os.unlink(report)
    return wall, rss


def check_rows(csv, expected):
    """The rows of the sizewalk run that wrote `csv` against the sizes
    recorded in `expected` (make-tree's form: size, tab, name, NUL, in byte
    order of the names); removes `csv`."""
    with open(csv, "rb") as fh:
        rows = fh.read().split(b"\r\n")
    os.unlink(csv)
    got = [tuple(r.split(b",", 2)[1:]) for r in rows if r]
    with open(expected, "rb") as fh:
        want = [tuple(record.split(b"\t", 1)) for record in fh.read().split(b"\0") if record]
    if got != want:
        sys.exit(f"sizewalk's rows differ from the recorded sizes:\n{got}\n{want}")
