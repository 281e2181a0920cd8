"""The exceptions and warnings of rangeloom.

An exception's message is what rangeloom-clean prints on standard error for the
same failure (without the program's name), its ``status`` the exit status
rangeloom-clean ends with.
"""


class Error(Exception):
    """A failure of rangeloom."""

    status = 0


class UsageError(Error, ValueError):
    """An argument that rangeloom-clean would refuse as bad usage."""

    status = 1


class UnreadableError(Error):
    """The input or one of its scans cannot be read, it holds no scan, or files
    to write would collide with each other or with the input: nothing is
    written."""

    status = 2


class WriteError(Error, OSError):
    """A file could not be written; every other file was."""

    status = 3


class NoRoomError(Error, OSError):
    """The work folder of an out-of-core clean ran out of room: nothing of the
    clean is written."""

    status = 4


class RunWarning(UserWarning):
    """What rangeloom-clean warns of on standard error: words of a
    configuration that no record uses, a default threshold far from the scans'
    spacing."""


class AnalysisWarning(RunWarning):
    """The scans could not be compared: no point is tossed."""
