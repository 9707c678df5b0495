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
import warnings

import numpy as np
import pandas as pd

from . import _columns, _estimator, _inputs, _native, _reason
from ._csv import read_csv
from ._evaluate import evaluate
from ._errors import Error, InputError, ModelError, UnscorableWarning
from ._learn import learn

__all__ = ["load", "load_cached", "loads_in_process", "Model", "Schema", "Error", "ModelError",
           "InputError", "UnscorableWarning", "read_csv", "evaluate"]

_native.register_errors(Error, ModelError)
_native.register_missing_markers(pd.NA, pd.NaT)


class Schema(typing.NamedTuple):
    """What a model reads and what it gives.

    ``inputs``: the fields a record may carry for the model, in schema
    order, each mapped to the kind of value it reads, "number" or "text":
    the predictors and the fields derived predictors are computed from
    (with derived_in_record, the derived fields themselves). ``target``: the
    target field. ``categories``: the target's categories in output order.
    ``predictors`` is the deprecated former name of ``inputs``.
    """

    inputs: dict
    target: str
    categories: tuple

    @property
    def predictors(self):
        """Deprecated, to be removed in the next release: ``inputs``."""
        warnings.warn("Schema.predictors is deprecated, use Schema.inputs (the list holds "
                      "more than the predictors)", DeprecationWarning, stacklevel=2)
        return self.inputs


class _Options(typing.NamedTuple):
    by_name: bool = False
    derived_in_record: bool = False
    prediction_only: bool = False
    target: str = ""
    max_document_bytes: int = 0
    max_nodes: int = 0
    missing: str = "stop"
    unknown: str = "stop"


class Model:
    """A classifier read from a PMML document; get one with ``load``.

    Immutable: it may score from many threads at once. Pickling keeps the
    PMML text and the options; unpickling reads the document again, once per
    process (see ``load_cached``).
    """

    __slots__ = ("_native", "_pmml", "_options", "_schema", "_columns", "_prediction_dtype", "_cache")

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
        self._cache = {}  # what the package works out once per model (_columns)

    # The estimator idioms: predict(df), predict_proba(df), classes_,
    # feature_names_in_.
    predict = _estimator.predict
    predict_proba = _estimator.predict_proba
    classes_ = _estimator.classes_
    feature_names_in_ = _estimator.feature_names_in_

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

    def score(self, data, *, threads=1, allow_missing_columns=False, allow_nonfinite=False,
              reason=False, explain=0):
        """Scores every row of ``data``: a pandas DataFrame, a dict of columns
        or a list of dicts (one per record).

        Columns are matched to the model's fields by name; other columns are
        ignored. As ``bnscore score`` refuses such a CSV, a predictor without
        a column is an ``InputError`` ("missing columns", naming near misses
        such as " age" or "Age"), unless ``allow_missing_columns``: then it
        is missing in every row. A field with two columns is an
        ``InputError``. NaN, None, pd.NA and NaT are missing values.

        Number fields read numbers, and texts as ``bnscore score`` reads a
        CSV cell ("NA", "null" and the like are missing); a number that is
        not finite (inf, "inf") is a ValueError naming the column and the
        row unless ``allow_nonfinite``. Text fields read texts; booleans and
        integers there stand for the category with their text (True for
        "TRUE", "True" or "true", whichever the field has), and one that is
        no category is an ``InputError``.

        Returns a DataFrame with the index of ``data`` (a RangeIndex for a
        dict or a list) and the columns of ``bnscore score``: ``status``
        (int32), ``prediction`` (categorical over the target's categories,
        NaN when there is none), then unless prediction_only ``confidence``
        and one ``probability(C)`` per category (float64, NaN unless the
        status is 0), then with ``reason`` a column ``reason``: the text of
        ``bnscore score --reason`` ("" for scored rows). ``threads``: the
        number of threads the engine scores on. When one field leaves more
        than half the rows unscored, an ``UnscorableWarning`` names it.
        ``explain=K`` adds ``reason_1..K`` and ``logodds_1..K`` (see
        ``explain``; row by row).
        """
        table, rows, index = _inputs.table_of(data)
        fields = _columns.fields_of(self, table, allow_missing_columns)
        columns = [_inputs.engine_column(name, values) for name, values in fields.items()]
        status, prediction, confidence, probabilities = self._native.score(
            columns, rows, threads, bool(allow_nonfinite))
        frame = self._frame(status, prediction, confidence, probabilities, index)
        if reason:
            texts = np.full(rows, "", dtype=object)
            failed = np.flatnonzero(status != 0)
            texts[failed] = _reason.reasons(self, fields, failed, allow_nonfinite)
            frame["reason"] = texts
        if explain:
            self._add_explanations(frame, data, int(explain))
        _reason.warn_if_mostly_unscored(self, fields, status, allow_nonfinite, stacklevel=2)
        return frame

    def _add_explanations(self, frame, data, k):
        # reason_1..k and logodds_1..k, as bnscore score --explain writes them.
        fields = [[None] * len(frame) for _ in range(k)]
        terms = [[float("nan")] * len(frame) for _ in range(k)]
        records, _ = _records(data)
        for row, record in enumerate(records):
            _, reasons = self._native.explain_one(record, k)
            for i, (field, _value, log_odds) in enumerate(reasons):
                fields[i][row] = field
                terms[i][row] = log_odds
        for i in range(k):
            frame[f"reason_{i + 1}"] = fields[i]
        for i in range(k):
            frame[f"logodds_{i + 1}"] = terms[i]

    def nodes(self):
        """The network's nodes, target first: a dict of node name to the
        list of its categories (docs/inference.md)."""
        return {name: list(categories) for name, categories in self._native.nodes()}

    def query(self, data, nodes):
        """The posterior of each node in ``nodes`` for every row of ``data``
        (as for ``score``), given the row's usable values: fields without
        one are summed out of the network. Returns a DataFrame with the index
        of ``data``: ``status`` (int32) and one ``probability(N=C)`` column
        per category C of each node N (NaN unless the status is 0)."""
        nodes = [nodes] if isinstance(nodes, str) else list(nodes)
        known = self._native.nodes()
        index_of = {name: i for i, (name, _) in enumerate(known)}
        missing = [n for n in nodes if n not in index_of]
        if missing:
            raise KeyError(f"no node {missing[0]!r} in the model (its nodes: "
                           + ", ".join(name for name, _ in known) + ")")
        indexes = [index_of[n] for n in nodes]
        columns = [f"probability({n}={c})" for n in nodes for c in known[index_of[n]][1]]
        status = []
        rows = []
        records, index = _records(data)
        for record in records:
            code, values = self._native.query_one(record, indexes)
            status.append(code)
            rows.append(values)
        frame = pd.DataFrame(rows, index=index, columns=columns, dtype="float64")
        frame.insert(0, "status", pd.array(status, dtype="int32").to_numpy())
        return frame

    def explain(self, record, k=3):
        """The ``k`` reasons that most favour one record's prediction over the
        runner-up: a list of dicts ``{"field", "value", "logOdds"}``, largest
        first (empty unless the record is scored; docs/inference.md)."""
        if not isinstance(record, dict):
            record = dict(record)
        _, reasons = self._native.explain_one(record, int(k))
        return [{"field": f, "value": v, "logOdds": lo} for f, v, lo in reasons]

    def score_one(self, record, *, allow_nonfinite=False):
        """Scores one record given as a mapping of field name to value (read
        as ``score`` reads a row; an absent field is missing).
        Returns a dict with the keys of ``columns``: the prediction is None
        when there is none, the numbers NaN unless the status is 0."""
        if not isinstance(record, dict):
            record = dict(record)
        record = _columns.record_texts(self, record)
        status, prediction, confidence, probabilities = self._native.score_one(
            record, bool(allow_nonfinite))
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
                f"inputs={len(self._schema.inputs)} categories={len(self._schema.categories)}>")


def load(path_or_pmml_text, *, by_name=False, derived_in_record=False, prediction_only=False,
         target=None, max_document_bytes=None, max_nodes=None, missing="stop", unknown="stop"):
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
    prediction; ``missing="marginalize"``, fields without a usable value
    are summed out of the network; ``unknown="missing"``, values none of
    their field's categories count as missing (docs/inference.md). Raises
    ``ModelError`` (with ``.code``) when the document is
    rejected, OSError when the file cannot be read, ``Error`` when the model
    plug-in cannot be loaded.
    """
    options = _Options(bool(by_name), bool(derived_in_record), bool(prediction_only),
                       str(target or ""), int(max_document_bytes or 0), int(max_nodes or 0),
                       str(missing), str(unknown))
    pmml, path = _document(path_or_pmml_text)
    try:
        return Model(pmml, options)
    except ModelError as e:
        if path is not None:
            e.path = path
        raise


def _records(data):
    """(the rows of ``data`` as dicts, its index), for the row-by-row calls."""
    if isinstance(data, list):
        return [r if isinstance(r, dict) else dict(r) for r in data], pd.RangeIndex(len(data))
    if isinstance(data, dict):
        data = pd.DataFrame(data)
    frame = data
    names = [c for c in frame.columns if isinstance(c, str)]
    rows = frame[names].astype(object).where(frame[names].notna(), None).to_dict("records")
    return rows, frame.index


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
                max_document_bytes=0, max_nodes=0, missing="stop", unknown="stop"):
    """The model of PMML bytes with these options, read at most once per
    process while it is among the last 8 used (unpickled models and the Dask
    workers get theirs here)."""
    options = _Options(bool(by_name), bool(derived_in_record), bool(prediction_only), str(target),
                       int(max_document_bytes), int(max_nodes), str(missing), str(unknown))
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
