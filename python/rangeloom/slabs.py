"""The steps of an out-of-core clean, for drivers that run them in other
processes or on other machines sharing one work folder.

    from rangeloom import slabs
    n = slabs.partition(["--threshold", "0.0005", "site.conf"], "/shared/work")
    for k in range(n):                      # anywhere that sees /shared/work
        slabs.analyse_slab("/shared/work", k)
    print(slabs.gather(["--threshold", "0.0005", "site.conf"], "/shared/work"), end="")

partition reads the configuration with rangeloom-clean's checks and cuts the
campaign into slabs: files in the work folder, each holding the points of a
range of lattice layers and every polygon they can meet. analyse_slab
measures one slab; it reads only the work folder. gather writes the cleaned
files, exports, histogram, plot and merged cloud byte for byte as
rangeloom-clean with the same arguments writes them.

Every file of the work folder appears whole (written under a temporary name,
then renamed), so each step keeps work that is done: a second partition of
the same configuration with the same options reuses the slabs, analyse_slab
of a slab whose values exist returns at once. Steps on different slabs may
run at the same time in different processes; within one process the calls of
the module run one at a time (they release the GIL meanwhile).

The first step called sets the process's malloc (glibc) to keep what it
frees, up to 1 GB, and to give threads started after it one shared arena:
the steps free and allocate arrays of about the same size scan after scan
and slab after slab, and fresh pages cost a page fault each. The process then
holds its peak memory until it ends.

Failures raise the package's exceptions with rangeloom-clean's messages and
exit status (UsageError, UnreadableError, WriteError, NoRoomError); warnings
are RunWarnings.
"""

from __future__ import annotations

import os
import warnings
from typing import List, Sequence, Union

from . import _errors, _rangeloom

__all__ = ["analyse_slab", "gather", "partition"]

PathLike = Union[str, "os.PathLike[str]"]
Arguments = Union[PathLike, Sequence[PathLike]]

_ERRORS = {
    1: _errors.UsageError,
    2: _errors.UnreadableError,
    3: _errors.WriteError,
    4: _errors.NoRoomError,
}


def _words(args: Arguments) -> List[PathLike]:
    if isinstance(args, (str, bytes, os.PathLike)):
        return [args]
    return list(args)


def _ended(step: tuple) -> tuple:
    """A step's (status, message, warnings, slabs, reused, text): warns, and
    raises for a failure; the error's ``text`` is what was printed."""
    status, message, said, slabs, reused, text = step
    for line in said:
        warnings.warn(line, _errors.RunWarning, stacklevel=3)
    if status != 0:
        error = _ERRORS.get(status, _errors.Error)(message)
        error.status = status
        error.text = text
        raise error
    return slabs, reused, text


def partition(
    args: Arguments,
    work_dir: PathLike,
    *,
    slab_bytes: int = 0,
    slab_cells: int = 0,
) -> int:
    """Cuts the campaign of rangeloom-clean's arguments ``args`` (its words,
    the input among them; or the input alone) into slabs in ``work_dir``
    (made when missing; its parent must exist) and returns their number.
    Slabs are ``slab_cells`` lattice layers thick when that is positive, else
    as thick as an estimated working set of ``slab_bytes`` allows when that
    is, else as rangeloom-clean cuts them from the arguments' --slab-cells or
    --memory (neither: one slab). --register, --merge and --verbose, which
    need every scan in memory, are refused (UsageError). The options of the clean that change the slabs are recorded: a
    work folder made from the same configuration, options and unchanged scans
    is reused as it is. ``--threads`` of ``args`` is the threads of reading.
    Raises UsageError for arguments rangeloom-clean refuses, UnreadableError
    when the input or a scan cannot be read (the message names each),
    NoRoomError or WriteError when the work folder cannot take the slabs."""
    if slab_bytes < 0:
        raise _errors.UsageError("slab bytes must not be negative")
    slabs, _, _ = _ended(
        _rangeloom._partition(_words(args), work_dir, int(slab_bytes), int(slab_cells))
    )
    return slabs


def analyse_slab(work_dir: PathLike, slab: int, threads: int = 1) -> bool:
    """Measures slab number ``slab`` (from 0) of ``work_dir`` on ``threads``
    threads (0: one per processor) and writes its values into the work
    folder. Returns True when its values were there already (nothing done).
    Raises UnreadableError when the slab or the manifest cannot be read or is
    damaged, UsageError for a slab or thread count out of range, NoRoomError
    or WriteError when the values cannot be written."""
    _, reused, _ = _ended(_rangeloom._analyse_slab(work_dir, int(slab), int(threads)))
    return reused


def gather(args: Arguments, work_dir: PathLike) -> str:
    """Gathers the values of every slab of ``work_dir`` (all must be
    analysed) and writes what rangeloom-clean's arguments ``args`` ask for,
    byte for byte as rangeloom-clean writes it. Returns what rangeloom-clean
    prints on standard output: the threshold line and the table. Raises as
    rangeloom-clean fails; a WriteError (a file could not be written, every
    other one was) carries that text as ``text``."""
    _, _, text = _ended(_rangeloom._gather(_words(args), work_dir))
    return text
