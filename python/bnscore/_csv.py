"""bnscore.read_csv: a CSV file of records read as ``bnscore score`` reads
it, so that Model.score gives the numbers the command line gives."""

import csv

import numpy as np
import pandas as pd

from . import _native
from ._errors import InputError

_MISSING, _NUMBER, _NOT_FINITE = 0, 1, 2


def read_csv(path, model, *, delimiter=",", allow_nonfinite=False):
    """Reads the CSV file at ``path`` (UTF-8, a header row, then one record
    a row) into a DataFrame, as ``bnscore score`` reads it for ``model``:

    - the columns of ``model``'s number fields hold float64 numbers read by
      the command line's rules: an empty cell and "NA", "N/A", "NaN",
      "nan", "null", "NULL" are missing (NaN); a cell that is no number
      stays as its text (the field then has no usable value in that row);
    - every other column holds the texts as written (``TRUE``, ``NA``,
      ``01`` stay texts); an empty cell is None (missing).

    A byte-order mark, quoted fields (with delimiters, line breaks and
    doubled quotes), CRLF or CR line ends and blank lines are read as the
    command line reads them. Raises ``InputError`` naming the file and the
    line for a row with another number of fields than the header, a
    predictor named twice in the header, a cell that is not a finite
    number ("inf") in a number field unless ``allow_nonfinite``, and for
    malformed quoting.
    """
    with open(path, newline="", encoding="utf-8-sig") as f:
        reader = csv.reader(f, delimiter=delimiter, strict=True)
        header = None
        rows = []
        lines = []
        last_line = 0
        try:
            for row in reader:
                first_line, last_line = last_line + 1, reader.line_num
                if not row:
                    continue  # a blank line
                if header is None:
                    header = row
                    continue
                if len(row) != len(header):
                    raise InputError(f"{path}:{first_line}: the row has {_count(len(row), 'field')} "
                                     f"but the header has {_count(len(header), 'field')}")
                rows.append(row)
                lines.append(first_line)
        except csv.Error as e:
            raise InputError(f"{path}:{reader.line_num}: {e}") from None
    if header is None:
        raise InputError(f"{path}: no header row: the input is empty")
    _check_header(path, header, model)
    kinds = model.schema.predictors
    columns = {}
    for position, name in enumerate(header):
        cells = [row[position] for row in rows]
        if kinds.get(name) == "number":
            columns[position] = _numbers(path, name, cells, lines, allow_nonfinite)
        else:
            texts = np.array(cells, dtype=object)
            texts[texts == ""] = None
            columns[position] = texts
    frame = pd.DataFrame(columns, index=pd.RangeIndex(len(rows)))
    frame.columns = pd.Index(header, dtype=object)
    return frame


def _count(n, word):
    return f"{n} {word}" + ("" if n == 1 else "s")


def _check_header(path, header, model):
    seen = {}
    for position, name in enumerate(header, start=1):
        if name in model.schema.predictors:
            if name in seen:
                raise InputError(f"{path}: the header names {name} twice "
                                 f"(columns {seen[name]} and {position})")
            seen[name] = position


def _numbers(path, name, cells, lines, allow_nonfinite):
    values, kinds = _native.read_number_cells(cells)
    if not allow_nonfinite:
        refused = np.flatnonzero(kinds == _NOT_FINITE)
        if len(refused):
            row = refused[0]
            raise InputError(f"{path}:{lines[row]}: column {name}: \"{cells[row]}\" is not a finite "
                             "number (pass allow_nonfinite=True)")
    texts = np.flatnonzero(kinds > _NOT_FINITE)
    if len(texts) == 0:
        return values
    mixed = values.astype(object)
    mixed[texts] = [cells[i] for i in texts]
    return mixed
