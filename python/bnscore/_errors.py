"""The exceptions of the bnscore package."""


class Error(RuntimeError):
    """A fault of the scoring engine: the model plug-in cannot be loaded, an
    input does not fit the model."""


class ModelError(Error):
    """A PMML document that the host or the model plug-in rejected.

    ``code`` is the host's fault code, ``str(e)`` its message as the host gave
    it, ``path`` the file the document was read from (None for text).
    """

    def __init__(self, code, message, path=None):
        super().__init__(message)
        self.code = code
        self.message = message
        self.path = path

    def __str__(self):
        return self.message

    def __reduce__(self):
        # Exceptions travel between processes (Dask workers) by pickling.
        return (type(self), (self.code, self.message, self.path))


class InputError(Error, ValueError):
    """Input that does not fit the model: missing or repeated columns,
    values of a field that cannot stand for its categories."""


class UnscorableWarning(UserWarning):
    """Most rows of a scoring call got no prediction because of one field."""
