"""python3 -m rangeloom.dask: rangeloom-clean with the slabs of a campaign
measured as tasks on a Dask cluster.

The campaign is partitioned into slabs in a work folder here, one task per
slab measures it on a worker (workers read the slab from the work folder and
write its values there; only a flag travels back), and the values are
gathered and the files written here, byte for byte as rangeloom-clean writes
them. A task whose worker died is run again on another; a task that failed
is retried. A second run over the same work folder reuses the slabs and the
values already there.
"""

from __future__ import annotations

import os
import re
import shutil
import sys
import tempfile
import warnings
from dataclasses import dataclass, field
from typing import Callable, List, Optional, Sequence

from . import __version__, _errors, slabs

PROGRAM = "rangeloom.dask"

# The cluster could not measure a slab: the scheduler could not be reached,
# or a slab's task failed or lost its worker on every attempt. Nothing is
# written; the values already measured stay in a work folder given by --work.
CLUSTER_FAILED = 5

USAGE = f"""Usage: python3 -m {PROGRAM} [OPTION]... [RANGELOOM-CLEAN OPTION]... FILE.conf|FILE.ptx|FILE.e57

Cleans the scans of FILE as rangeloom-clean does, with the slabs of the
campaign measured as tasks on a Dask cluster: the same files byte for byte and
the same table. The campaign is cut into slabs in the work folder here, each
slab is measured by a task on a worker, and the values are gathered and the
files written here.

Options of the driver:
      --scheduler=ADDRESS  run the tasks on the cluster of the Dask scheduler at
                           ADDRESS (tcp://HOST:8786); its workers must see the
                           work folder at the same path; needs --work
      --local=N            run them on a cluster of N worker processes on this
                           machine, one task at a time each (default: one per
                           processor)
      --work=DIR           the work folder: the slabs, their values and the
                           manifest; kept, so that a run over the same
                           configuration and options reuses the slabs and values
                           there (default: a new temporary folder, removed at
                           the end)
      --task-threads=N     threads of each task, 0 for one per processor of its
                           worker (default 1)
      --retries=N          how often a task that failed is run again (default 2;
                           a task whose worker died is always run again, as the
                           scheduler allows)
  -h, --help               print this text and exit
  -V, --version            print the version and exit

Every other option is rangeloom-clean's (rangeloom-clean --help), with its
meaning; --threads is the threads of partitioning and writing here, --memory
bounds each slab's task (default 512M) and --slab-cells makes slabs N lattice
layers thick. --register, --merge and --verbose need every scan in memory and
PTX and E57 files are cleaned in memory: for them, use rangeloom-clean.

Exit status:
  0  success
  1  bad usage
  2  unreadable input, or a slab or values file of the work folder cannot be
     read; nothing is written
  3  a file could not be written (every other file is)
  4  the work folder ran out of room; nothing is written
  5  the cluster could not measure a slab (the scheduler cannot be reached, or a
     task failed or lost its worker on every attempt); nothing is written
"""

# rangeloom-clean's options that take a value, as separate words.
_CLEAN_VALUE_SHORT = set("tsomj")
_CLEAN_VALUE_LONG = {
    "threshold", "steps", "out", "merge", "threads", "histogram", "plot", "bins", "memory",
    "slab-cells",
}

# The estimated working set of one slab when neither --memory nor --slab-cells
# is given: half of a task's 512M, as rangeloom-clean cuts slabs.
DEFAULT_SLAB_BYTES = 256 << 20


class BadUsage(Exception):
    pass


@dataclass
class Request:
    clean_args: List[str] = field(default_factory=list)
    scheduler: Optional[str] = None
    local: Optional[int] = None
    work: Optional[str] = None
    sized: bool = False  # --memory or --slab-cells was given
    task_threads: int = 1
    retries: int = 2
    quiet: bool = False
    help: bool = False
    version: bool = False


def _count(text: str, name: str, low: int, high: int) -> int:
    if not re.fullmatch(r"[0-9]+", text) or not low <= int(text) <= high:
        raise BadUsage(f"--{name} must be a whole number from {low} to {high}, not '{text}'")
    return int(text)


def parse(argv: Sequence[str]) -> Request:
    """The driver's own options taken out of argv, the rest left for
    rangeloom-clean (judged by its parser when the campaign is partitioned)."""
    r = Request()
    own = {"scheduler", "local", "work", "task-threads", "retries"}
    words = list(argv)
    i = 0
    while i < len(words):
        word = words[i]
        i += 1
        if word == "--":
            r.clean_args += words[i - 1 :]
            break
        if word in ("-h", "--help"):
            r.help = True
            continue
        if word in ("-V", "--version"):
            r.version = True
            continue
        if word.startswith("--"):
            name, has_value, value = word[2:].partition("=")
            if name in own:
                if not has_value:
                    if i == len(words):
                        raise BadUsage(f"--{name} needs a value")
                    value = words[i]
                    i += 1
                if name == "scheduler":
                    r.scheduler = value
                elif name == "local":
                    r.local = _count(value, name, 1, 1024)
                elif name == "work":
                    if not value:
                        raise BadUsage("--work needs a folder")
                    r.work = value
                elif name == "task-threads":
                    r.task_threads = _count(value, name, 0, 1024)
                else:
                    r.retries = _count(value, name, 0, 100)
                continue
            r.quiet = r.quiet or name == "quiet"
            r.sized = r.sized or name in ("memory", "slab-cells")
            r.clean_args.append(word)
            if name in _CLEAN_VALUE_LONG and not has_value and i < len(words):
                r.clean_args.append(words[i])
                i += 1
            continue
        r.clean_args.append(word)
        if word.startswith("-") and len(word) > 1:
            # A cluster of short options: the first that takes a value takes
            # the rest of the word, or the next word.
            for k, letter in enumerate(word[1:], start=1):
                r.quiet = r.quiet or letter == "q"
                if letter in _CLEAN_VALUE_SHORT:
                    if k == len(word) - 1 and i < len(words):
                        r.clean_args.append(words[i])
                        i += 1
                    break
    if r.scheduler is not None and r.local is not None:
        raise BadUsage("--scheduler and --local exclude each other")
    if r.scheduler is not None and r.work is None:
        raise BadUsage("--scheduler needs --work: a folder its workers see at the same path")
    return r


def _say(message: str, quiet: bool = False) -> None:
    if not quiet:
        print(f"{PROGRAM}: {message}", file=sys.stderr, flush=True)


def _error(error: BaseException) -> None:
    """The error's lines as rangeloom-clean prints them: its name before
    each, but for the indented lines of details."""
    for line in str(error).splitlines() or [type(error).__name__]:
        print(line if line[:1].isspace() else f"{PROGRAM}: {line}", file=sys.stderr)
    sys.stderr.flush()


def _warned(step: Callable, quiet: bool):
    """Runs a step and says its warnings as rangeloom-clean does, unless
    quiet."""
    with warnings.catch_warnings(record=True) as said:
        warnings.simplefilter("always", _errors.RunWarning)
        try:
            return step()
        finally:
            for w in said:
                if issubclass(w.category, _errors.RunWarning):
                    _say(f"warning: {w.message}", quiet)
                else:
                    warnings.showwarning(w.message, w.category, w.filename, w.lineno)


def _measure(client, request: Request, work: str, count: int, analyse: Callable) -> None:
    """One task per slab on the cluster, waited for; raises the first
    failure."""
    from distributed import as_completed

    token = os.urandom(6).hex()
    futures = [
        client.submit(
            analyse,
            work,
            k,
            request.task_threads,
            key=f"rangeloom-slab-{k:05d}-{token}",
            pure=False,
            retries=request.retries,
        )
        for k in range(count)
    ]
    progress = sys.stderr.isatty() and not request.quiet
    try:
        for done, future in enumerate(as_completed(futures), start=1):
            future.result()  # raises the task's failure
            if progress:
                print(f"\rmeasuring slabs: {done} of {count}", end="", file=sys.stderr, flush=True)
    finally:
        if progress:
            print("\r\x1b[K", end="", file=sys.stderr, flush=True)
        client.cancel(futures)


def _cluster(request: Request):
    """A client of the cluster asked for, and what to close after it."""
    from distributed import Client, LocalCluster

    if request.scheduler is not None:
        client = Client(request.scheduler, timeout="30s")
        return client, [client]
    import dask

    workers = request.local or os.cpu_count() or 1
    # One malloc arena per worker process: its task thread then reuses the
    # memory the slab before it freed instead of taking fresh pages, each a
    # page fault, from the system (the module asks the same of the main
    # arena, but a thread's arena is chosen before the first task runs).
    with dask.config.set({"distributed.nanny.pre-spawn-environ.MALLOC_ARENA_MAX": 1}):
        cluster = LocalCluster(
            n_workers=workers,
            threads_per_worker=1,
            processes=True,
            host="127.0.0.1",
            dashboard_address=None,
            memory_limit=0,  # a slab's size is bounded by --memory, not by killing its worker
        )
    client = Client(cluster)
    return client, [client, cluster]


def main(argv: Optional[Sequence[str]] = None, *, client=None, analyse: Callable = None) -> int:
    """The command line; returns its exit status. ``client``: run on this
    Dask client instead of the cluster that the options name. ``analyse``:
    the task run per slab, (work folder, slab, threads) -> anything small
    (default: rangeloom.slabs.analyse_slab)."""
    try:
        request = parse(sys.argv[1:] if argv is None else argv)
    except BadUsage as e:
        _say(str(e))
        print(f"Try 'python3 -m {PROGRAM} --help' for more information.", file=sys.stderr)
        return 1
    if request.help:
        print(USAGE, end="")
        return 0
    if request.version:
        print(f"{PROGRAM} {__version__}")
        return 0
    analyse = analyse or slabs.analyse_slab
    if request.quiet:
        import logging

        logging.getLogger("distributed").setLevel(logging.ERROR)
    own_work = request.work is None
    work = tempfile.mkdtemp(prefix="rangeloom-dask-") if own_work else os.path.abspath(request.work)
    closing = []
    try:
        count = _warned(
            lambda: slabs.partition(
                request.clean_args,
                work,
                slab_bytes=0 if request.sized else DEFAULT_SLAB_BYTES,
            ),
            request.quiet,
        )
        try:
            if client is None:
                client, closing = _cluster(request)
            _measure(client, request, work, count, analyse)
        except _errors.Error:
            raise
        except Exception as e:  # the cluster's failures: unreachable, a worker lost every time
            _error(e)
            if not own_work:
                _say(f"the values measured so far are kept in {work}")
            return CLUSTER_FAILED
        try:
            text = _warned(lambda: slabs.gather(request.clean_args, work), request.quiet)
        except _errors.WriteError as e:
            sys.stdout.write(e.text)
            raise
        sys.stdout.write(text)
        sys.stdout.flush()
        return 0
    except _errors.Error as e:
        sys.stdout.flush()
        _error(e)
        return e.status
    except KeyboardInterrupt:
        _say("interrupted" + ("" if own_work else f"; the work done so far is kept in {work}"))
        return 130
    finally:
        for thing in closing:
            thing.close()
        if own_work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
