"""Scoring Bayesian-network classifiers stored in PMML documents.

    import bnscore
    model = bnscore.load("credit_risk.pmml")
    out = model.score(df)          # a pandas DataFrame, one row per input row

``bnscore.dask.score`` scores a Dask DataFrame on a cluster the same way.
"""

import collections
import hashlib
import importlib
import os
import threading
import typing

import pandas as pd

from . import _inputs, _native
from ._errors import Error, ModelError
from ._learn import learn

__all__ = ["load", "load_cached", "loads_in_process", "Model", "Schema", "Error", "ModelError"]

_native.register_errors(Error, ModelError)
_native.register_missing_markers(pd.NA, pd.NaT)


class Schema(typing.NamedTuple):
    """What a model reads and what it gives.

    ``predictors``: the fields a record must carry, in schema order, each
    mapped to the kind of value it reads, "number" or "text" (with
    derived_in_record, the derived fields themselves). ``target``: the
    target field. ``categories``: the target's categories in output order.
    """

    predictors: dict
    target: str
    categories: tuple


class _Options(typing.NamedTuple):
    by_name: bool = False
    derived_in_record: bool = False
    prediction_only: bool = False
    target: str = ""
    max_document_bytes: int = 0
    max_nodes: int = 0


class Model:
    """A classifier read from a PMML document; get one with ``load``.

    Immutable: it may score from many threads at once. Pickling keeps the
    PMML text and the options; unpickling reads the document again, once per
    process (see ``load_cached``).
    """

    __slots__ = ("_native", "_pmml", "_options", "_schema", "_columns", "_prediction_dtype")

    def __init__(self, pmml, options):
        self._pmml = pmml
        self._options = options
        self._native = _native.NativeModel(pmml, *options)
        _count_load()
        inputs, target, categories = self._native.schema()
        self._schema = Schema(dict(inputs), target, tuple(categories))
        self._columns = ["status", "prediction"]
        if not options.prediction_only:
            self._columns += ["confidence"] + [f"probability({c})" for c in categories]
        self._prediction_dtype = pd.CategoricalDtype(categories)

    @property
    def schema(self):
        """The model's ``Schema``."""
        return self._schema

    @property
    def columns(self):
        """The columns of ``score``'s result, as ``bnscore score`` writes them."""
        return list(self._columns)

    @property
    def options(self):
        """The options the model was loaded with, as a dict."""
        return self._options._asdict()

    @property
    def pmml(self):
        """The PMML document, as bytes."""
        return self._pmml

    def to_pmml(self):
        """The PMML document, as text."""
        return bytes(self._pmml).decode("utf-8")

    def display(self):
        """The model plug-in's description of the model (``bnscore display``)."""
        return self._native.display()

    def score(self, data, *, threads=1):
        """Scores every row of ``data``: a pandas DataFrame, a dict of columns
        or a list of dicts (one per record).

        Columns are matched to the model's fields by name; other columns are
        ignored, and a field without a column is missing in every row. NaN,
        None, pd.NA and NaT are missing values. Returns a DataFrame with the
        index of ``data`` (a RangeIndex for a dict or a list) and the columns
        of ``bnscore score``: ``status`` (int32), ``prediction`` (categorical
        over the target's categories, NaN when there is none), then unless
        prediction_only ``confidence`` and one ``probability(C)`` per
        category (float64, NaN unless the status is 0). ``threads``: the
        number of threads the engine scores on.
        """
        table, rows, index = _inputs.table_of(data)
        columns = [_inputs.engine_column(name, table[name])
                   for name in self._schema.predictors if name in table]
        status, prediction, confidence, probabilities = self._native.score(columns, rows, threads)
        return self._frame(status, prediction, confidence, probabilities, index)

    def score_one(self, record):
        """Scores one record given as a mapping of field name to value.
        Returns a dict with the keys of ``columns``: the prediction is None
        when there is none, the numbers NaN unless the status is 0."""
        if not isinstance(record, dict):
            record = dict(record)
        status, prediction, confidence, probabilities = self._native.score_one(record)
        result = {"status": status,
                  "prediction": self._schema.categories[prediction] if prediction >= 0 else None}
        if not self._options.prediction_only:
            result["confidence"] = confidence
            result.update(zip(self._columns[3:], probabilities))
        return result

    def _frame(self, status, prediction, confidence, probabilities, index):
        # The probabilities become one block without a copy; the three
        # leading columns are inserted in front of it.
        if probabilities is None:
            frame = pd.DataFrame(index=index)
        else:
            frame = pd.DataFrame(probabilities, index=index, columns=self._columns[3:], copy=False)
            frame.insert(0, "confidence", confidence)
        frame.insert(0, "prediction", pd.Categorical.from_codes(prediction, dtype=self._prediction_dtype))
        frame.insert(0, "status", status)
        return frame

    def __reduce__(self):
        return (load_cached, (self._pmml,) + tuple(self._options))

    def __repr__(self):
        return (f"<bnscore.Model target={self._schema.target!r} "
                f"predictors={len(self._schema.predictors)} categories={len(self._schema.categories)}>")


def load(path_or_pmml_text, *, by_name=False, derived_in_record=False, prediction_only=False,
         target=None, max_document_bytes=None, max_nodes=None):
    """Reads a model from a PMML file (a path) or from PMML text (a str or
    bytes that starts with "<").

    A network in BIF, XMLBIF 0.3 or DMG PMML is read too, given ``target``,
    the variable to predict (every other one a predictor; DMG documents name
    their own, the default); see docs/formats.md. ``max_document_bytes``
    and ``max_nodes`` change the limits of the document read (default 256
    MiB, and 200,000 XML nodes or one per 8 bytes, whichever is more).

    Options, as those of ``bnscore score``: ``by_name``, records give access
    by field name only; ``derived_in_record``, records carry the derived
    fields' values themselves; ``prediction_only``, only status and
    prediction. Raises ``ModelError`` (with ``.code``) when the document is
    rejected, OSError when the file cannot be read, ``Error`` when the model
    plug-in cannot be loaded.
    """
    options = _Options(bool(by_name), bool(derived_in_record), bool(prediction_only),
                       str(target or ""), int(max_document_bytes or 0), int(max_nodes or 0))
    pmml, path = _document(path_or_pmml_text)
    try:
        return Model(pmml, options)
    except ModelError as e:
        if path is not None:
            e.path = path
        raise


def _document(path_or_pmml_text):
    """(PMML bytes, path or None)."""
    source = path_or_pmml_text
    if isinstance(source, (bytes, bytearray, memoryview)):
        source = bytes(source)
        if source.lstrip()[:1] == b"<" or source.startswith(b"\xef\xbb\xbf"):
            return source, None
        source = os.fsdecode(source)
    if isinstance(source, str) and (source.lstrip()[:1] == "<" or source.startswith("\ufeff")):
        return source.encode("utf-8"), None
    path = os.fspath(source)
    with open(path, "rb") as f:
        return f.read(), path


# Models read by load_cached in this process, newest last.
_cache = collections.OrderedDict()
_cache_lock = threading.Lock()
_CACHE_SIZE = 8
_loads = 0


def _count_load():
    global _loads
    with _cache_lock:
        _loads += 1


def loads_in_process():
    """How many times this process has read a PMML document into a model."""
    return _loads


def load_cached(pmml, by_name=False, derived_in_record=False, prediction_only=False, target="",
                max_document_bytes=0, max_nodes=0):
    """The model of PMML bytes with these options, read at most once per
    process while it is among the last 8 used (unpickled models and the Dask
    workers get theirs here)."""
    options = _Options(bool(by_name), bool(derived_in_record), bool(prediction_only), str(target),
                       int(max_document_bytes), int(max_nodes))
    key = (hashlib.sha256(pmml).digest(), options)
    with _cache_lock:
        model = _cache.get(key)
        if model is not None:
            _cache.move_to_end(key)
            return model
    model = Model(pmml, options)
    with _cache_lock:
        model = _cache.setdefault(key, model)
        _cache.move_to_end(key)
        while len(_cache) > _CACHE_SIZE:
            _cache.popitem(last=False)
    return model


def __getattr__(name):
    # bnscore.dask is imported on first use: importing dask takes a while.
    if name == "dask":
        return importlib.import_module(".dask", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
