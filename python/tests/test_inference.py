"""missing=, unknown=, explain= and Model.query against `bnscore score` and
`bnscore query` on the example model with blanked and unknown cells: the
same numbers, bit for bit, and the same reasons."""

import csv

import numpy as np
import pandas as pd
import pytest

import bnscore
from conftest import APPLICANTS, CREDIT_MODEL, read_records, run_bnscore, write_csv


def _rows(*arguments):
    return list(csv.DictReader(run_bnscore(*arguments).splitlines()))


def _assert_same(frame, rows):
    assert list(frame.columns) == list(rows[0])
    for column in frame.columns:
        texts = [row[column] for row in rows]
        values = frame[column].tolist()
        if column == "status":
            assert values == [int(t) for t in texts]
        elif column == "prediction" or column.startswith("reason_"):
            assert [("" if v is None or v != v else v) for v in frame[column].astype(object)] == texts
        else:
            expected = np.array([float(t) if t else np.nan for t in texts])
            assert np.array_equal(frame[column].to_numpy(), expected, equal_nan=True), column


@pytest.fixture(scope="module")
def gaps(tmp_path_factory):
    """The example's records with every third cell of a predictor blanked and
    one employment no category has."""
    plain = bnscore.load(CREDIT_MODEL)
    frame = read_records(plain, APPLICANTS)
    for i, column in enumerate(["age", "income", "employment", "dependents"]):
        frame.loc[frame.index % 3 == i % 3, column] = None
    frame.loc[1, "employment"] = "retired"
    path = tmp_path_factory.mktemp("inference") / "gaps.csv"
    write_csv(path, frame)
    return str(path), read_records(plain, str(path))


def test_scores_and_reasons_match_bnscore(gaps):
    path, frame = gaps
    model = bnscore.load(CREDIT_MODEL, missing="marginalize", unknown="missing")
    expected = _rows("score", "--missing", "marginalize", "--unknown", "missing", "--explain", "2",
                     CREDIT_MODEL, path)
    result = model.score(frame, explain=2)
    _assert_same(result, expected)
    assert (result["status"] == 0).all()
    # The defaults are today's: records with gaps get 90029.
    assert (bnscore.load(CREDIT_MODEL).score(frame)["status"] == 90029).any()
    assert pickle_round_trip(model).options["missing"] == "marginalize"


def test_query_matches_bnscore(gaps):
    path, frame = gaps
    model = bnscore.load(CREDIT_MODEL)
    expected = _rows("query", CREDIT_MODEL, path, "--node", "risk,employment")
    _assert_same(model.query(frame, ["risk", "employment"]), expected)
    with pytest.raises(KeyError, match="no node 'nope'"):
        model.query(frame, ["nope"])
    with pytest.raises(ValueError, match="missing must be"):
        bnscore.load(CREDIT_MODEL, missing="drop")


def pickle_round_trip(model):
    import pickle
    return pickle.loads(pickle.dumps(model))
