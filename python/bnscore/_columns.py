"""Matching the columns given to Model.score with the model's fields.

``fields_of`` picks the columns the model reads out of a table, after
checking what ``bnscore score`` checks of a CSV header:

- every predictor has a column, unless allow_missing_columns (the same
  "missing columns" refusal, naming near misses: a column that differs only
  in case or surrounding blanks);
- no field has two columns (the name and both positions);
- the column labels are plain names (not a MultiIndex).

It also turns booleans and integers given for a text field into the
field's categories (``True`` is ``"TRUE"`` when that is the one spelling of
true among them; 1 is ``"1"``); values that are none of them are refused,
as pandas gives them for texts it took for numbers ("01", "TRUE").
"""

import csv
import io
import xml.etree.ElementTree as ElementTree

import numpy as np
import pandas as pd
from pandas.api import types as pdtypes

from ._errors import Error, InputError

# A column the model never reads, added to the header rows built here so
# that none is empty.
ROW_COLUMN = "\x01row"

_SPELLINGS = {True: ("TRUE", "True", "true"), False: ("FALSE", "False", "false")}
_CHECKED_HEADERS = 64


def csv_row(cells):
    """One CSV row (CRLF), quoted as needed, as bnscore reads it."""
    text = io.StringIO()
    csv.writer(text, lineterminator="\r\n").writerow(cells)
    return text.getvalue()


def fields_of(model, table, allow_missing_columns):
    """{field: values} of the columns of `table` (a DataFrame or a dict of
    columns) that the model reads, in schema order. Raises InputError."""
    names = list(table.columns) if isinstance(table, pd.DataFrame) else list(table)
    if isinstance(table, pd.DataFrame) and isinstance(table.columns, pd.MultiIndex):
        raise InputError("the DataFrame's columns have several levels (" + _some(names) +
                         "): give one name per column, e.g. "
                         "df.columns = df.columns.get_level_values(-1)")
    inputs = model.schema.inputs
    positions = {}
    for position, name in enumerate(names):
        if isinstance(name, str) and name in inputs:
            if name in positions:
                raise InputError(f"the column {name!r} is given twice (at positions "
                                 f"{positions[name]} and {position})")
            positions[name] = position
    if not allow_missing_columns:
        _check_missing(model, names, positions)
    texts = _text_fields(model)
    fields = {}
    for name in inputs:
        if name in positions:
            values = table[name]  # the one column of that name
            categories = texts.get(name)
            fields[name] = values if categories is None else _as_texts(name, values, categories)
    return fields


def _some(names, limit=20):
    text = ", ".join(str(n) for n in names[:limit])
    return text + (f", ... ({len(names) - limit} more)" if len(names) > limit else "")


def _check_missing(model, names, present):
    """Refuses, as bnscore score refuses a CSV, a header without a
    predictor's column."""
    key = tuple(dict.fromkeys(n for n in names if isinstance(n, str)))  # each name once
    checked = model._cache.setdefault("headers", {})
    if key not in checked:
        missing = _missing_predictors(model, key, present)
        if len(checked) >= _CHECKED_HEADERS:
            checked.clear()
        checked[key] = missing
    missing = checked[key]
    if not missing:
        return
    message = f"missing columns: {', '.join(missing)} (the DataFrame has: {_some(names)})"
    near = [f"{n!r} for {m}" for m in missing for n in key
            if n != m and n.strip().casefold() == m.strip().casefold()]
    if near:
        message += "; near misses: " + ", ".join(near)
    raise InputError(message + "; allow_missing_columns=True scores their rows as missing")


def _missing_predictors(model, header, present):
    """The predictors bnscore score finds no column for in `header`: it is
    asked with the header alone."""
    try:
        model._native.score_csv(csv_row(list(header) + [ROW_COLUMN]).encode("utf-8", "surrogateescape"))
    except Error as e:
        text = str(e)
        start = text.find("missing columns: ")
        end = text.find(" (the header has: ")
        if start < 0 or end < 0:
            raise
        listed = ", " + text[start + len("missing columns: "):end] + ", "
        return [f for f in model.schema.inputs if f not in present and f", {f}, " in listed]
    return []


def record_texts(model, record):
    """`record` (a dict) with the bools and ints of its text fields made
    the category texts they stand for, as fields_of does for columns."""
    texts = _text_fields(model)
    changed = None
    for name, value in record.items():
        if name in texts and isinstance(value, (bool, int, np.bool_, np.integer)):
            changed = changed or dict(record)
            changed[name] = _texts_of(name, [value], texts[name])[0]
    return changed or record


def _text_fields(model):
    """{text field: its categories} of `model`, read from its document once."""
    found = model._cache.get("categories")
    if found is None:
        every = text_categories(model.pmml)
        found = {name: every[name] for name, kind in model.schema.inputs.items()
                 if kind == "text" and name in every}
        model._cache["categories"] = found
    return found


def text_categories(pmml):
    """{field: set of category texts} of the data dictionary's fields with
    categories: the values of their Value elements that are valid."""
    try:
        root = ElementTree.fromstring(pmml)
    except ElementTree.ParseError:
        return {}  # read by the engine's parser only: its texts are taken as given
    categories = {}
    for element in root.iter():
        if _local(element.tag) != "DataField":
            continue
        values = {v.get("value", "") for v in element
                  if _local(v.tag) == "Value" and v.get("property", "valid") == "valid"}
        if values:
            categories[element.get("name", "")] = values
    return categories


def _local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def text_of(name, value, categories):
    """The category text of a bool or an int given for a text field; None
    when it is none of them."""
    if isinstance(value, (bool, np.bool_)):
        found = [s for s in _SPELLINGS[bool(value)] if s in categories]
        if len(found) > 1:
            raise InputError(f"column {name!r}: {bool(value)} could be any of the categories "
                             f"{', '.join(map(repr, found))}; give texts")
        return found[0] if found else None
    text = str(int(value))
    return text if text in categories else None


def _refuse(name, values, categories):
    shown = sorted(categories)[:10]
    raise InputError(f"column {name!r} holds {', '.join(map(repr, values[:5]))}"
                     f"{', ...' if len(values) > 5 else ''}, which the text field does not have "
                     f"as categories (it has {', '.join(map(repr, shown))}"
                     f"{', ...' if len(categories) > 10 else ''}); give the texts as written, "
                     "e.g. read the file with bnscore.read_csv")


def _as_texts(name, values, categories):
    """`values` of a text field with its bools and ints made the category
    texts they stand for."""
    dtype = getattr(values, "dtype", None)
    if isinstance(dtype, pd.CategoricalDtype):
        array = values.array if isinstance(values, pd.Series) else values
        if pdtypes.is_bool_dtype(array.categories) or pdtypes.is_integer_dtype(array.categories):
            mapped = _as_texts(name, array.categories.to_numpy(object), categories)
            return pd.Categorical.from_codes(array.codes, categories=pd.Index(mapped, dtype=object))
        return values
    if dtype is not None and (pdtypes.is_bool_dtype(dtype) or pdtypes.is_integer_dtype(dtype)):
        # One type in the column: map its distinct values.
        codes, distinct = pd.factorize(values if isinstance(values, pd.Series) else pd.Series(values))
        texts = _texts_of(name, list(distinct), categories)
        return np.array(texts + [None], dtype=object)[codes]
    if dtype is None or not pdtypes.is_object_dtype(dtype):
        return values
    cells = values.to_numpy(object) if isinstance(values, pd.Series) else np.asarray(values, object)
    if pdtypes.infer_dtype(cells, skipna=True) in ("string", "bytes", "empty", "floating", "decimal"):
        return values
    at = [i for i, c in enumerate(cells) if isinstance(c, (bool, int, np.bool_, np.integer))]
    if not at:
        return values
    # Keyed by type too: True == 1 as a dict key.
    distinct = list(dict.fromkeys((isinstance(cells[i], (bool, np.bool_)), cells[i]) for i in at))
    texts = dict(zip(distinct, _texts_of(name, [v for _, v in distinct], categories)))
    out = cells.copy()
    for i in at:
        out[i] = texts[(isinstance(cells[i], (bool, np.bool_)), cells[i])]
    return out


def _texts_of(name, values, categories):
    """The category texts of `values` (bools and ints); refuses those that
    are none."""
    texts = [text_of(name, value, categories) for value in values]
    wrong = [value for value, text in zip(values, texts) if text is None]
    if wrong:
        _refuse(name, wrong, categories)
    return texts
