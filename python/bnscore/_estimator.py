"""The estimator idioms of Model: ``predict``, ``predict_proba``,
``classes_`` and ``feature_names_in_`` (set on Model in __init__)."""

import numpy as np

from ._errors import Error


def _classes(model):
    """The target's categories in the order of predict_proba's columns."""
    return np.array(model.schema.categories, dtype=object)


def _feature_names(model):
    """The fields the model reads, in schema order."""
    return np.array(list(model.schema.inputs), dtype=object)


classes_ = property(_classes)
feature_names_in_ = property(_feature_names)


def predict(model, data, **options):
    """The predicted category of every row of ``data`` (what ``score``
    takes, with its options): a categorical Series named "prediction" with
    the index of ``data``, NaN where a row got no prediction."""
    return model.score(data, **options)["prediction"]


def predict_proba(model, data, **options):
    """The probability of every category (in the order of ``classes_``) for
    every row of ``data``: a float64 array of rows × categories, NaN in the
    rows that were not scored."""
    if model.options["prediction_only"]:
        raise Error("predict_proba needs probabilities: load the model without prediction_only")
    return model.score(data, **options)[model.columns[3:]].to_numpy()
