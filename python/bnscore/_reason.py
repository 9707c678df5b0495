"""Why rows were not scored: the texts of ``bnscore score --reason``,
byte for byte, and the warning when one field leaves most rows unscored.

The rows in question are written as CSV, each cell as the text that reads
back to what the engine was given, and scored again by the engine's own CSV
path with reasons; only rows whose status is not 0 are written.
"""

import csv
import io
import math
import warnings

import numpy as np
import pandas as pd

from ._columns import ROW_COLUMN
from ._errors import UnscorableWarning

# Rows looked at to find the field that leaves most rows unscored.
_WARNING_SAMPLE = 1000


def reasons(model, fields, rows, allow_nonfinite):
    """The reason texts of the rows at the positions `rows` (a sequence of
    ints) of `fields` ({field: values} as Model.score read them)."""
    if len(rows) == 0:
        return []
    header = list(fields) + [ROW_COLUMN]
    columns = [_cells(values, rows) for values in fields.values()]
    text = io.StringIO()
    writer = csv.writer(text, lineterminator="\r\n")
    writer.writerow(header)
    for r in range(len(rows)):
        writer.writerow([_cell_text(cells[r]) for cells in columns] + [r])
    output = model._native.score_csv(text.getvalue().encode("utf-8", "surrogateescape"), reason=True,
                                     allow_missing_columns=True, allow_nonfinite=allow_nonfinite,
                                     output_header=False)
    found = [row[-1] for row in csv.reader(io.StringIO(output.decode("utf-8", "surrogateescape"),
                                                       newline=""))]
    assert len(found) == len(rows), "the engine wrote a row for each row given"
    return found


def _cells(values, rows):
    if hasattr(values, "iloc"):
        values = values.array
    return np.asarray(values, dtype=object)[np.asarray(rows)]


def _cell_text(cell):
    """The CSV cell bnscore reads as the value the engine was given (a
    number as the engine writes it, which reads back to the same number)."""
    if cell is None or cell is pd.NA or cell is pd.NaT:
        return ""
    if isinstance(cell, str):
        return cell
    if isinstance(cell, bytes):
        return cell.decode("utf-8", "surrogateescape")
    if isinstance(cell, (bool, np.bool_)):
        return "1" if cell else "0"
    if isinstance(cell, (int, np.integer)):
        return str(int(cell))
    value = float(cell)
    return "" if math.isnan(value) else number_text(value)


def number_text(value):
    """The text the engine gives a number in a text field: the shortest
    digits that read back to it, positional for exponents -4 to 15, else as
    d.ddde+XX."""
    if math.isinf(value):
        return "-inf" if value < 0 else "inf"
    sign, digits, exponent = _shortest(value)
    position = len(digits) + exponent  # digits before the point
    scientific_exponent = position - 1
    if -5 < scientific_exponent < 16:
        if position <= 0:
            body = "0." + "0" * -position + digits
        elif position >= len(digits):
            body = digits + "0" * (position - len(digits))
        else:
            body = digits[:position] + "." + digits[position:]
    else:
        body = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
        body += "e" + ("-" if scientific_exponent < 0 else "+") + f"{abs(scientific_exponent):02d}"
    return sign + body


def _shortest(value):
    """(sign, significant digits, exponent of the last digit) of repr."""
    text = repr(value)
    sign = "-" if text.startswith("-") else ""
    text = text.lstrip("-")
    mantissa, _, exponent = text.partition("e")
    whole, _, fraction = mantissa.partition(".")
    digits = (whole + fraction).lstrip("0")
    exponent = int(exponent or 0) - len(fraction)
    stripped = digits.rstrip("0")
    exponent += len(digits) - len(stripped)
    return sign, stripped or "0", exponent if stripped else 0


def warn_if_mostly_unscored(model, fields, status, allow_nonfinite, stacklevel):
    """Warns when one field is why more than half the rows got no
    prediction, naming it and an example of its fault."""
    failed = np.flatnonzero(status != 0)
    if len(failed) * 2 <= len(status):
        return
    sample = failed if len(failed) <= _WARNING_SAMPLE else failed[
        np.linspace(0, len(failed) - 1, _WARNING_SAMPLE).astype(np.int64)]
    counts = {}
    for text in reasons(model, fields, sample, allow_nonfinite):
        field, separator, fault = text.partition(": ")
        if separator and field in model.schema.inputs:
            counts.setdefault(field, [0, fault])[0] += 1
    if not counts:
        return
    field, (count, example) = max(counts.items(), key=lambda item: item[1][0])
    estimate = round(count * len(failed) / len(sample))
    if estimate * 2 <= len(status):
        return
    about = "" if len(sample) == len(failed) else "about "
    warnings.warn(f"field {field!r} leaves {about}{estimate} of {len(status)} rows unscored "
                  f"(e.g. {example}); see score(..., reason=True)", UnscorableWarning,
                  stacklevel=stacklevel + 1)

