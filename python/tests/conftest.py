"""Shared helpers of the bnscore package's tests: the example model and
bnscore's own output for the same rows."""

import csv
import math
import os
import re
import subprocess

import numpy as np
import pandas as pd
import pytest

EXAMPLES = os.environ.get("BNSCORE_EXAMPLES", os.path.join(os.path.dirname(__file__), "../../examples"))
TEST_DATA = os.environ.get("BNSCORE_TEST_DATA", os.path.join(os.path.dirname(__file__), "../../tests/data"))
BIN_DIR = os.environ.get("BNSCORE_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))

CREDIT_MODEL = os.path.join(EXAMPLES, "credit_risk.pmml")
APPLICANTS = os.path.join(EXAMPLES, "applicants.csv")


def run_bnscore(*arguments):
    """Runs build/bin/bnscore; returns its standard output."""
    done = subprocess.run([os.path.join(BIN_DIR, "bnscore"), *arguments],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    return done.stdout


def bnscore_refusal(*arguments):
    """Runs build/bin/bnscore, which must fail; returns its standard error."""
    done = subprocess.run([os.path.join(BIN_DIR, "bnscore"), *arguments],
                          capture_output=True, text=True, check=False)
    assert done.returncode != 0, done.stdout
    return done.stderr


def credit_variant(directory, replacements, name="variant.pmml"):
    """The example model with category texts replaced ({old: new}, each old
    text a whole word of the document: a Value or a table entry); returns
    its path."""
    with open(CREDIT_MODEL) as f:
        text = f.read()
    for old, new in replacements.items():
        text = re.sub(r'(?<=[">;\s])' + re.escape(old) + r'(?=[";<\s])', new, text)
    path = os.path.join(str(directory), name)
    with open(path, "w") as f:
        f.write(text)
    return path


def bnscore_rows(model_path, csv_path, *options):
    """The rows `bnscore score` writes, as dicts of its header's columns."""
    output = run_bnscore("score", *options, model_path, csv_path)
    return list(csv.DictReader(output.splitlines()))


def write_csv(path, frame):
    """Writes `frame` as bnscore reads it: missing cells empty, floats in
    their shortest round-trip text."""
    def cell(value):
        if value is None or value is pd.NA or (isinstance(value, float) and math.isnan(value)):
            return ""
        return repr(value) if isinstance(value, float) else str(value)

    with open(path, "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(frame.columns)
        for row in frame.itertuples(index=False):
            writer.writerow([cell(v) for v in row])


def read_records(model, csv_path):
    """Reads a CSV of records as bnscore does: only empty cells missing,
    text fields as text, numbers exactly."""
    text = [name for name, kind in model.schema.inputs.items() if kind == "text"]
    return pd.read_csv(csv_path, keep_default_na=False, na_values=[""], float_precision="round_trip",
                       dtype={name: str for name in text})


def assert_same_as_bnscore(result, expected_rows):
    """Every value of `result` (a DataFrame of Model.score) is exactly the
    number bnscore wrote, read back with float()."""
    assert len(result) == len(expected_rows)
    if not expected_rows:
        return
    assert list(result.columns) == list(expected_rows[0])
    for column in result.columns:
        texts = [row[column] for row in expected_rows]
        if column == "status":
            assert result[column].tolist() == [int(t) for t in texts]
        elif column == "prediction":
            assert result[column].astype(object).fillna("").tolist() == texts
        elif column == "reason":
            assert result[column].tolist() == texts
        else:
            expected = np.array([float(t) if t else np.nan for t in texts])
            assert np.array_equal(result[column].to_numpy(), expected, equal_nan=True), column


@pytest.fixture(scope="session")
def credit_model():
    import bnscore
    return bnscore.load(CREDIT_MODEL)
