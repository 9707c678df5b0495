"""bnscore.evaluate: a model's predictions compared with known labels, with
the figures of ``bnscore evaluate``, computed in the same order of
operations so that they are the same numbers."""

import math

import numpy as np
import pandas as pd

from . import _columns, _inputs, _native
from ._errors import InputError
from ._reason import number_text

# The probability a log-loss term is clipped to, so that 0 costs 34.5.
_SMALLEST_PROBABILITY = 1e-15


def evaluate(model, data, label=None, **options):
    """Scores ``data`` (what ``Model.score`` takes, with its options) and
    compares each prediction with the row's label, in the column ``label``
    (default: the model's target field). Returns a dict with the keys and
    values of ``bnscore evaluate --format json`` (None where a figure is
    undefined).

    Labels are compared as texts, as the command line reads them from a
    CSV: the int 1 is the category "1", 1.0 too, True the category "TRUE",
    "True" or "true" that the target has. A missing label (NaN, None, "",
    "NA" and the command line's other missing values) and a label that is
    no category are counted, not evaluated; so are rows with a status
    other than 0.
    """
    import bnscore

    if model.options["prediction_only"]:
        opts = model.options
        model = bnscore.load_cached(model.pmml, opts["by_name"], opts["derived_in_record"], False)
    label = model.schema.target if label is None else label
    table, rows, _ = _inputs.table_of(data)
    if label not in (list(table.columns) if isinstance(table, pd.DataFrame) else list(table)):
        raise InputError(f"no label column \"{label}\" (see label=)")
    result = model.score(data, **options)
    categories = list(model.schema.categories)
    status = result["status"].to_numpy()
    labels = _label_texts(table[label], set(categories))
    statuses = {str(s): int(n) for s, n in zip(*np.unique(status, return_counts=True))}

    scored = status == 0
    missing = scored & np.array([t is None for t in labels], dtype=bool)
    index = {c: i for i, c in enumerate(categories)}
    actual = np.array([index.get(t, -1) if t is not None else -1 for t in labels], dtype=np.int64)
    unknown = scored & ~missing & (actual < 0)
    evaluated = np.flatnonzero(scored & (actual >= 0))
    figures = _Figures(len(categories))
    figures.add(actual[evaluated], result["prediction"].cat.codes.to_numpy()[evaluated],
                result[model.columns[3:]].to_numpy()[evaluated])
    return {
        "records": int(rows),
        "statuses": statuses,
        "evaluated": len(evaluated),
        "not_evaluated": {"status_not_0": int((~scored).sum()), "label_missing": int(missing.sum()),
                          "label_unknown": int(unknown.sum())},
        "blank_lines": 0,
        "label_column": label,
        "correct": figures.correct(),
        "accuracy": _defined(figures.ratio(figures.correct(), figures.records)),
        "log_loss": _defined(figures.log_loss()),
        "brier_score": _defined(figures.brier_score()),
        "roc_auc": _defined(figures.roc_auc()),
        "categories": [{"category": c, "precision": _defined(figures.precision(i)),
                        "recall": _defined(figures.recall(i)), "f1": _defined(figures.f1(i)),
                        "support": figures.support(i)} for i, c in enumerate(categories)],
        "confusion_matrix": figures.confusion.tolist(),
    }


def _defined(value):
    return None if math.isnan(value) else value


def _label_texts(values, categories):
    """Each label as the text a CSV cell would hold; None when missing."""
    if hasattr(values, "array"):
        values = values.array
    cells = np.asarray(values, dtype=object)
    if pd.api.types.infer_dtype(cells, skipna=True) in ("mixed", "mixed-integer", "boolean"):
        # Kept apart cell by cell: True == 1 for factorize.
        return [_label_text(cell, categories) for cell in cells]
    codes, distinct = pd.factorize(cells)  # missing cells: -1
    texts = [_label_text(value, categories) for value in distinct] + [None]
    return [texts[code] for code in codes]


def _label_text(cell, categories):
    if cell is None or cell is pd.NA or cell is pd.NaT:
        return None
    if isinstance(cell, str):
        text = cell
    elif isinstance(cell, bytes):
        text = cell.decode("utf-8", "surrogateescape")
    elif isinstance(cell, (bool, np.bool_)):
        return _columns.text_of("label", cell, categories) or str(bool(cell))
    elif isinstance(cell, (int, np.integer)):
        return str(int(cell))
    else:
        number = float(cell)
        if math.isnan(number):
            return None
        return str(int(number)) if number.is_integer() and abs(number) < 2**53 else number_text(number)
    # Empty texts and the missing values of number cells are missing labels.
    _, kinds = _native.read_number_cells([text])
    return None if kinds[0] == 0 else text


class _Figures:
    """The counts and sums of bnscore evaluate, added record by record."""

    def __init__(self, categories):
        self.categories = categories
        self.records = 0
        self.confusion = np.zeros((categories, categories), dtype=np.int64)
        self.log_loss_sum = 0.0
        self.brier_sum = 0.0
        self.ranked = ()  # two categories: (probability of the second, actual is the second)

    def add(self, actual, predicted, probabilities):
        # Sums run record by record from 0.0 (np.add.accumulate), as the
        # command line adds them, so that they round the same way.
        self.records += len(actual)
        np.add.at(self.confusion, (actual, predicted), 1)
        chosen = np.clip(probabilities[np.arange(len(actual)), actual], _SMALLEST_PROBABILITY, 1.0)
        terms = np.array([0.0] + [-math.log(p) for p in chosen.tolist()])  # libm's log
        self.log_loss_sum = float(np.add.accumulate(terms)[-1])
        squares = np.zeros(len(actual))
        for c in range(self.categories):
            error = probabilities[:, c] - (actual == c).astype(np.float64)
            squares = squares + error * error
        self.brier_sum = float(np.add.accumulate(np.concatenate(([0.0], squares)))[-1])
        if self.categories == 2:
            self.ranked = (probabilities[:, 1], actual == 1)

    def count(self, a, p):
        return int(self.confusion[a, p])

    def correct(self):
        return int(np.trace(self.confusion))

    def support(self, c):
        return int(self.confusion[c, :].sum())

    def predicted(self, c):
        return int(self.confusion[:, c].sum())

    @staticmethod
    def ratio(numerator, denominator):
        return math.nan if denominator == 0 else numerator / denominator

    def precision(self, c):
        return self.ratio(self.count(c, c), self.predicted(c))

    def recall(self, c):
        return self.ratio(self.count(c, c), self.support(c))

    def f1(self, c):
        return self.ratio(2 * self.count(c, c), self.predicted(c) + self.support(c))

    def log_loss(self):
        return math.nan if self.records == 0 else self.log_loss_sum / self.records

    def brier_score(self):
        return math.nan if self.records == 0 else self.brier_sum / self.records

    def roc_auc(self):
        """Mann-Whitney: the sum of the positives' ranks, tied values
        sharing the mean of their ranks (1-based)."""
        if self.categories != 2 or not len(self.ranked):
            return math.nan
        scores, positive = self.ranked
        order = np.argsort(scores, kind="stable")
        scores, positive = scores[order], positive[order]
        starts = np.flatnonzero(np.concatenate(([True], scores[1:] != scores[:-1])))
        ends = np.append(starts[1:], len(scores))
        tied = np.add.reduceat(positive.astype(np.int64), starts).astype(np.float64)
        mean_ranks = ((starts + 1).astype(np.float64) + ends.astype(np.float64)) / 2
        rank_sum = float(np.add.accumulate(np.concatenate(([0.0], mean_ranks * tied)))[-1])
        positives = int(positive.sum())
        negatives = len(scores) - positives
        if positives == 0 or negatives == 0:
            return math.nan
        count = float(positives)
        return (rank_sum - count * (count + 1) / 2) / (count * float(negatives))
