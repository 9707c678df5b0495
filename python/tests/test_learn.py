"""bnscore.learn: the document `bnscore learn` writes for the same data,
scored with the same numbers; refusals as bnscore.Error."""

import os
import pickle
import subprocess

import pandas as pd
import pytest

import bnscore
from conftest import BIN_DIR, bnscore_rows


def frame():
    rows = [("y", "r", 1.0), ("y", "s", 2.0), ("y", "s", 3.0), ("y", "r", 1.5), ("y", None, 2.5),
            ("n", "r", 4.0), ("n", "r", 5.0), ("n", "s", 6.0), ("n", "r", 4.5), ("n", "r", None)]
    data = pd.DataFrame(rows, columns=["t", "a", "x"])
    data["same"] = "k"
    return data


def test_learned_model_is_the_command_lines_and_scores_as_bnscore(tmp_path):
    data = frame()
    path = tmp_path / "data.csv"
    data.to_csv(path, index=False)
    model_path = tmp_path / "model.pmml"
    done = subprocess.run([os.path.join(BIN_DIR, "bnscore"), "learn", str(path), "--target", "t",
                           "--structure", "tan", "-o", str(model_path)],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    assert "bnscore: learn: column 'same' dropped: a single value" in done.stderr

    with pytest.warns(UserWarning, match="column 'same' dropped: a single value"):
        model = bnscore.learn(data, target="t", structure="tan")
    assert model.to_pmml() == model_path.read_text()
    assert model.schema.categories == ("n", "y")

    records = data.drop(columns=["t", "same"]).dropna()
    records_path = tmp_path / "records.csv"
    records.to_csv(records_path, index=False)
    want = bnscore_rows(str(model_path), str(records_path), "--threads", "1")
    for m in (model, pickle.loads(pickle.dumps(model))):
        got = m.score(records)
        assert [str(p) for p in got["prediction"]] == [w["prediction"] for w in want]
        assert [repr(float(p)) for p in got["probability(y)"]] == \
            [repr(float(w["probability(y)"])) for w in want]


def test_refusals_are_errors():
    with pytest.raises(bnscore.Error, match="no column 'label'"):
        bnscore.learn(frame(), target="label")
    with pytest.raises(bnscore.Error, match="unknown structure 'forest'"):
        bnscore.learn(frame(), target="t", structure="forest")
