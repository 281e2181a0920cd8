"""rangeloom: range scans compared with each other and cleaned, from Python.

    import rangeloom
    scans = rangeloom.load("scans.conf")        # or a lone .ply, .ptx or .e57 file
    values = scans.analyze()                    # one float32 array per scan, NaN: not measured
    report = scans.clean(threshold=0.0005, out="cleaned", export=True)
    print(report.text)                          # rangeloom-clean's table

The values, the threshold and the files written are bit for bit those of
rangeloom-clean with the same options, and failures raise the exceptions of
this module with rangeloom-clean's messages. The scans' points, normals and
rasters are read-only numpy views of the loaded scans (no copy).

The slab steps of an out-of-core clean, for drivers that run slabs in
other processes or on other machines, are in rangeloom.slabs; the Dask driver
is ``python3 -m rangeloom.dask``.

Calls into the library release the GIL while they run and take one
process-wide lock, so Python threads may call them at any time; the work of
one call is spread over ``threads`` threads (0: one per processor).
"""

from __future__ import annotations

import os
import warnings
from dataclasses import dataclass
from typing import Iterator, List, Optional, Union, overload

from . import _rangeloom
from ._errors import (
    AnalysisWarning,
    Error,
    NoRoomError,
    RunWarning,
    UnreadableError,
    UsageError,
    WriteError,
)
from ._rangeloom import Scan

__all__ = [
    "AnalysisWarning",
    "CleanReport",
    "Error",
    "NoRoomError",
    "RunWarning",
    "Scan",
    "ScanReport",
    "ScanSet",
    "UnreadableError",
    "UsageError",
    "WriteError",
    "load",
]

__version__ = _rangeloom.__version__

PathLike = Union[str, "os.PathLike[str]"]


@dataclass(frozen=True)
class ScanReport:
    """One row of rangeloom-clean's table."""

    file: str  # the scan's label (its file, '#N' for scan N of a PTX or E57 file)
    points: int
    measured: int  # points that had a polygon of another scan in their cell
    tossed: int  # points whose value is greater than the threshold
    median: Optional[float]  # of the measured values (nearest rank); None: none measured
    p95: Optional[float]
    written: Optional[str]  # the cleaned file, "FAILED", or None when none was to be written
    exported: Optional[str]  # the export, or None


@dataclass(frozen=True)
class CleanReport:
    """What ScanSet.clean did."""

    threshold: float  # the removal threshold used
    scans: List[ScanReport]
    text: str  # what rangeloom-clean prints on standard output for the same run


def _warn(lines: List[str]) -> None:
    for line in lines:
        kind = AnalysisWarning if line.endswith("no point is tossed") else RunWarning
        warnings.warn(line, kind, stacklevel=3)


class ScanSet:
    """The scans of one input, in the order of its records (see load)."""

    def __init__(self, core: _rangeloom.ScanSet) -> None:
        self._core = core

    @property
    def source(self) -> str:
        """The file the scans were loaded from."""
        return self._core.source

    @property
    def default_threshold(self) -> float:
        """The default removal threshold: the point spacing of the first scan's
        raster (0.002 for a single scan)."""
        return self._core.default_threshold

    @property
    def transcript(self) -> str:
        """The loaders' report, as rangeloom-clean --verbose prints it."""
        return self._core.transcript

    @property
    def analyzed(self) -> bool:
        """Whether the analysis has run (analyze, or clean)."""
        return self._core.analyzed

    def __len__(self) -> int:
        return len(self._core)

    @overload
    def __getitem__(self, index: int) -> Scan: ...

    @overload
    def __getitem__(self, index: slice) -> List[Scan]: ...

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self._core[i] for i in range(*index.indices(len(self)))]
        return self._core[index]

    def __iter__(self) -> Iterator[Scan]:
        return (self._core[i] for i in range(len(self)))

    def __repr__(self) -> str:
        return f"<rangeloom.ScanSet {self.source}: {len(self)} scans>"

    def analyze(self, threads: int = 0) -> list:
        """Compares every scan with the others and returns, per scan, a float32
        array of one value per point: the distance to the nearest polygon of
        another scan in the point's lattice cell, NaN where there was none.
        Runs afresh on each call; the values do not depend on threads. Warns
        (AnalysisWarning) when the scans could not be compared."""
        values, warning = self._core._analyze(threads)
        _warn([warning] if warning else [])
        return values

    def clean(
        self,
        *,
        threshold: Optional[float] = None,
        steps: Optional[int] = None,
        out: Optional[PathLike] = None,
        export: bool = False,
        merge: Optional[PathLike] = None,
        keep_tossed: bool = False,
        summary: bool = False,
        histogram: Optional[PathLike] = None,
        plot: Optional[PathLike] = None,
        bins: Optional[int] = None,
        plot_log: bool = False,
        threads: int = 0,
    ) -> CleanReport:
        """Does what rangeloom-clean does with the same options (--threshold,
        --steps, --out, --export, --merge, --keep-tossed, --summary,
        --histogram, --plot, --bins, --plot-log, --threads) with its own code,
        analysing first if analyze has not run: the same files, byte for byte.
        The threshold is converted to single precision as the command line
        converts its shortest decimal. Raises UsageError for options the
        command line refuses, UnreadableError when files would collide with
        each other or the scans (nothing written), WriteError when files could
        not be written (the others are); warns (RunWarning) as it warns."""
        threshold_value, rows, text, said = self._core._clean(
            threshold=None if threshold is None else float(threshold),
            steps=steps,
            out=out,
            export=export,
            merge=merge,
            keep_tossed=keep_tossed,
            summary=summary,
            histogram=histogram,
            plot=plot,
            bins=bins,
            plot_log=plot_log,
            threads=threads,
        )
        _warn(said)
        return CleanReport(
            threshold=threshold_value,
            scans=[ScanReport(**row) for row in rows],
            text=text,
        )


def load(path: PathLike, threads: int = 0) -> ScanSet:
    """Loads a scan configuration (.conf), or a lone PLY range image, PTX or
    E57 file as a configuration of its scans with their own poses, as
    rangeloom-clean loads its input. Raises UnreadableError when the file or
    one of its scans cannot be read or it holds no scan (the message names
    each unreadable scan and why). Words of the configuration that no record
    uses are warned of (RunWarning)."""
    scans = ScanSet(_rangeloom._load(path, threads))
    _warn(scans._core.warnings)
    return scans
