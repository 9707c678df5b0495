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
    texts = []
    for cell in cells:
        if cell is None or cell is pd.NA or cell is pd.NaT:
            text = None
        elif isinstance(cell, str):
            text = cell
        elif isinstance(cell, bytes):
            text = cell.decode("utf-8", "surrogateescape")
        elif isinstance(cell, (bool, np.bool_)):
            text = _columns._text_of("label", cell, categories) or str(bool(cell))
        elif isinstance(cell, (int, np.integer)):
            text = str(int(cell))
        else:
            number = float(cell)
            text = None if math.isnan(number) else (
                str(int(number)) if number.is_integer() and abs(number) < 2**53 else number_text(number))
        texts.append(text)
    # Empty texts and the missing values of number cells are missing labels.
    present = [i for i, t in enumerate(texts) if t is not None]
    if present:
        _, kinds = _native.read_number_cells([texts[i] for i in present])
        for i, kind in zip(present, kinds):
            if kind == 0:
                texts[i] = None
    return texts


class _Figures:
    """The counts and sums of bnscore evaluate, added record by record."""

    def __init__(self, categories):
        self.categories = categories
        self.records = 0
        self.confusion = np.zeros((categories, categories), dtype=np.int64)
        self.log_loss_sum = 0.0
        self.brier_sum = 0.0
        self.ranked = []  # two categories: (probability of the second, actual is the second)

    def add(self, actual, predicted, probabilities):
        self.records += len(actual)
        np.add.at(self.confusion, (actual, predicted), 1)
        chosen = probabilities[np.arange(len(actual)), actual]
        for p in chosen.tolist():
            self.log_loss_sum -= math.log(min(max(p, _SMALLEST_PROBABILITY), 1.0))
        squares = np.zeros(len(actual))
        for c in range(self.categories):
            error = probabilities[:, c] - (actual == c).astype(np.float64)
            squares = squares + error * error
        for s in squares.tolist():
            self.brier_sum += s
        if self.categories == 2:
            self.ranked = list(zip(probabilities[:, 1].tolist(), (actual == 1).tolist()))

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
        if self.categories != 2:
            return math.nan
        ranked = sorted(self.ranked, key=lambda entry: entry[0])
        rank_sum = 0.0
        positives = 0
        i = 0
        while i < len(ranked):
            end = i
            tied = 0
            while end < len(ranked) and ranked[end][0] == ranked[i][0]:
                tied += 1 if ranked[end][1] else 0
                end += 1
            rank_sum += (float(i + 1) + float(end)) / 2 * float(tied)
            positives += tied
            i = end
        negatives = len(ranked) - positives
        if positives == 0 or negatives == 0:
            return math.nan
        positive = float(positives)
        return (rank_sum - positive * (positive + 1) / 2) / (positive * float(negatives))
