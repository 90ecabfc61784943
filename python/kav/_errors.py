"""Exceptions and warnings of the kav package."""


class KavError(RuntimeError):
    """A grid file could not be opened or read; the text is the library's message."""


class KavWarning(UserWarning):
    """The library reported something while a call still succeeded."""
