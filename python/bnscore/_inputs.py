"""Turns the data given to Model.score into the columns the engine reads.

Each column the model reads becomes a tuple (name, values, mask, categories)
of numpy arrays, taken from the input without copying wherever the input's
layout allows it:

- numeric numpy or pandas columns: the array itself (NaN is missing);
- pandas nullable columns (Int64, Float64, boolean): their values and their
  missing mask;
- categorical columns: their codes and their categories;
- text (object or string dtype) columns: the array of objects; fixed-width
  bytes (numpy dtype S): the array itself.
"""

import numpy as np
import pandas as pd
from pandas.api import types as pdtypes

_NUMBER_KINDS = "biuf"


def table_of(data):
    """Returns (columns, rows, index): a mapping of column name to a pandas
    Series or a numpy array, the number of rows and the index of the
    output."""
    if isinstance(data, pd.DataFrame):
        return data, len(data), data.index
    if isinstance(data, dict):
        columns = {}
        rows = None
        for name, values in data.items():
            if isinstance(values, (str, bytes)) or not hasattr(values, "__len__"):
                raise TypeError(f"column {name!r} is a {type(values).__name__}, not a sequence of values")
            if not isinstance(values, (np.ndarray, pd.Series, pd.api.extensions.ExtensionArray)):
                try:
                    values = pd.Series(list(values), dtype=None if len(values) else object)
                except OverflowError:  # an int beyond float: the cells say which
                    values = pd.Series(list(values), dtype=object)
            if rows is None:
                rows = len(values)
            elif len(values) != rows:
                raise ValueError(f"column {name!r} has {len(values)} rows, the first column {rows}")
            columns[name] = values
        rows = rows or 0
        return columns, rows, pd.RangeIndex(rows)
    if isinstance(data, (list, tuple)):
        for position, record in enumerate(data):
            if not isinstance(record, dict):
                raise TypeError(f"record {position} is a {type(record).__name__}, not a dict")
        try:
            frame = pd.DataFrame.from_records(list(data)) if data else pd.DataFrame()
        except OverflowError:  # an int beyond float: the cells say which
            names = dict.fromkeys(name for record in data for name in record)
            frame = pd.DataFrame({name: pd.Series([record.get(name) for record in data], dtype=object)
                                  for name in names})
        return frame, len(data), pd.RangeIndex(len(data))
    raise TypeError("score() takes a pandas DataFrame, a dict of columns or a list of dicts, "
                    f"not a {type(data).__name__}")


def engine_column(name, values):
    """The (name, values, mask, categories) tuple of one input column."""
    if isinstance(values, pd.Series):
        values = values.array
    if isinstance(values, pd.Categorical):
        categories = values.categories
        return (name, values.codes, None, _plain_array(name, categories.array)[0])
    return (name,) + _plain_array(name, values) + (None,)


def _plain_array(name, values):
    """(values, mask) of a column that is not categorical."""
    if isinstance(values, pd.arrays.PandasArray):
        values = values.to_numpy()
    if isinstance(values, np.ndarray):
        if values.ndim != 1:
            raise TypeError(f"column {name!r} is not one-dimensional")
        if values.dtype.kind == "f" and values.dtype.itemsize not in (4, 8):
            values = values.astype(np.float64)
        if values.dtype.kind in _NUMBER_KINDS or values.dtype.kind in "OS":
            return values, None
        if values.dtype.kind == "U":
            return values.astype(object), None
        raise TypeError(f"column {name!r} has dtype {values.dtype}, which holds neither numbers nor text")
    if isinstance(values, pd.core.arrays.masked.BaseMaskedArray):
        # Int64, Float64, boolean: the values and the missing mask as they are.
        return values._data, values._mask
    if pdtypes.is_string_dtype(values.dtype) or pdtypes.is_object_dtype(values.dtype):
        return np.asarray(values, dtype=object), None
    raise TypeError(f"column {name!r} has dtype {values.dtype}, which holds neither numbers nor text")
