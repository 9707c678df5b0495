"""bnscore.learn: a classifier learned from a pandas DataFrame."""

import warnings

from . import _native


def learn(data, *, target, structure="naive", max_parents=2, discretize="mdl", alpha=0.5,
          max_categories=1000, missing_values=("NA", "N/A", "NaN", "nan", "null", "NULL")):
    """Learns a Bayesian-network classifier of the column ``target`` from
    ``data`` (a pandas DataFrame) and returns it as a ``Model``
    (``.to_pmml()`` gives the document), as ``bnscore learn`` does.

    ``structure``: "naive", "tan", "k2" (at most ``max_parents`` parents a
    node) or "given:FILE". Numeric columns are binned (``discretize``:
    "mdl", "equal-width:K" or "equal-frequency:K"); the others are
    categorical (their values as text). Missing cells (None, NaN, or one of
    ``missing_values``) are left out of the counts that need them. Tables:
    (N(x, parents) + alpha) / (N(parents) + alpha·|X|). Columns dropped (a
    single value, too many values, no useful cut) are reported as warnings.
    See docs/learn.md.
    """
    from . import Model, _Options

    csv = data.to_csv(index=False).encode("utf-8")
    pmml, notes = _native.learn(csv, str(target), str(structure), int(max_parents),
                                str(discretize), float(alpha), int(max_categories),
                                [str(v) for v in missing_values])
    for note in notes:
        if " dropped: " in note:
            warnings.warn(note, stacklevel=2)
    return Model(pmml, _Options(False, False, False, "", 0, 0))
