"""bnscore.read_csv: a CSV file of records read as ``bnscore score`` reads
it, so that Model.score gives the numbers the command line gives."""

import csv

import numpy as np
import pandas as pd

from . import _native
from ._errors import InputError

_NOT_FINITE = 2  # a kind of read_number_cells


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
    rows = _rows(path, delimiter)
    if not rows:
        raise InputError(f"{path}: no header row: the input is empty")
    header, body = rows[0], rows[1:]
    if set(map(len, body)) - {len(header)}:
        record = next(i for i, row in enumerate(body, start=1) if len(row) != len(header))
        raise InputError(f"{path}:{_line_of(path, delimiter, record)}: the row has "
                         f"{_count(len(rows[record]), 'field')} but the header has "
                         f"{_count(len(header), 'field')}")
    _check_header(path, header, model)
    kinds = model.schema.inputs
    cells_by_column = list(zip(*body)) if body else [()] * len(header)
    columns = {}
    for position, name in enumerate(header):
        cells = list(cells_by_column[position])
        if kinds.get(name) == "number":
            columns[position] = _numbers(path, delimiter, name, cells, allow_nonfinite)
        else:
            texts = np.array(cells, dtype=object)
            texts[texts == ""] = None
            columns[position] = texts
    frame = pd.DataFrame(columns, index=pd.RangeIndex(len(body)))
    frame.columns = pd.Index(header, dtype=object)
    return frame


def _reader(f, delimiter):
    return csv.reader(f, delimiter=delimiter, strict=True)


def _rows(path, delimiter):
    """The rows of the file, blank lines left out."""
    with open(path, newline="", encoding="utf-8-sig") as f:
        reader = _reader(f, delimiter)
        try:
            return [row for row in reader if row]
        except csv.Error as e:
            raise InputError(f"{path}:{reader.line_num}: {e}") from None


def _line_of(path, delimiter, record):
    """The line on which row `record` (the header: 0) starts; read again
    only for a message."""
    with open(path, newline="", encoding="utf-8-sig") as f:
        reader = _reader(f, delimiter)
        last_line = 0
        found = -1
        for row in reader:
            first_line, last_line = last_line + 1, reader.line_num
            found += 1 if row else 0
            if row and found == record:
                return first_line
    return last_line


def _count(n, word):
    return f"{n} {word}" + ("" if n == 1 else "s")


def _check_header(path, header, model):
    seen = {}
    for position, name in enumerate(header, start=1):
        if name in model.schema.inputs:
            if name in seen:
                raise InputError(f"{path}: the header names {name} twice "
                                 f"(columns {seen[name]} and {position})")
            seen[name] = position


def _numbers(path, delimiter, name, cells, allow_nonfinite):
    values, kinds = _native.read_number_cells(cells)
    if not allow_nonfinite:
        refused = np.flatnonzero(kinds == _NOT_FINITE)
        if len(refused):
            row = refused[0]
            raise InputError(f"{path}:{_line_of(path, delimiter, row + 1)}: column {name}: "
                             f"\"{cells[row]}\" is not a finite number (pass allow_nonfinite=True)")
    texts = np.flatnonzero(kinds > _NOT_FINITE)
    if len(texts) == 0:
        return values
    mixed = values.astype(object)
    mixed[texts] = [cells[i] for i in texts]
    return mixed
