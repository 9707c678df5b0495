"""What Model.score gives besides the scores, and the estimator idioms:
reason texts, predict, predict_proba and bnscore.evaluate, each compared
with `bnscore score --reason` and `bnscore evaluate --format json`."""

import json
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import bnscore
from conftest import (APPLICANTS, BIN_DIR, CREDIT_MODEL, assert_same_as_bnscore, bnscore_rows, credit_variant,
                      run_bnscore)


def write(path, text):
    with open(path, "w", newline="") as f:
        f.write(text)
    return str(path)


@pytest.mark.filterwarnings("ignore::bnscore.UnscorableWarning")
def test_reasons_are_the_command_lines_texts(credit_model, tmp_path):
    path = write(tmp_path / "records.csv",
                 "age,income,employment,dependents,note\n34,52000,salaried,1,a\n23,,unemployed,0,b\n"
                 "61,75000,retired,2,c\n45,lots,salaried,7,d\n,41000,\"self, employed\",3,e\n"
                 "52,1e6,\"say \"\"hi\"\"\",1,f\n30,2.5e-7,NA,,g\n")
    expected = bnscore_rows(CREDIT_MODEL, path, "--reason")
    assert [r["reason"] for r in expected] == [
        "", "income: missing", 'employment: unknown category "retired"', 'dependents: unknown category "7"',
        'employment: unknown category "self, employed"', 'employment: unknown category "say "hi""',
        "employment: missing"]
    frame = bnscore.read_csv(path, credit_model)
    assert_same_as_bnscore(credit_model.score(frame, reason=True), expected)
    # Numbers and texts as Python gives them, in a list of dicts.
    records = frame.drop(columns="note").to_dict("records")
    records[3]["dependents"] = 7
    assert_same_as_bnscore(credit_model.score(records, reason=True, threads=2), expected)
    short = bnscore.load(CREDIT_MODEL, prediction_only=True)
    assert_same_as_bnscore(short.score(frame, reason=True),
                           bnscore_rows(CREDIT_MODEL, path, "--reason", "--prediction-only"))
    assert credit_model.score(frame.iloc[:0], reason=True).columns[-1] == "reason"
    # Numbers in a text field read as the texts the engine gives them.
    floats = {"age": [30.0] * 4, "income": [1.0] * 4, "dependents": [1] * 4,
              "employment": [1e-07, 1.5e20, 0.0001, 123456789012345.0]}
    path = write(tmp_path / "floats.csv", "age,income,dependents,employment\n30,1,1,1e-07\n30,1,1,1.5e+20\n"
                                          "30,1,1,0.0001\n30,1,1,123456789012345\n")
    assert_same_as_bnscore(credit_model.score(floats, reason=True), bnscore_rows(CREDIT_MODEL, path, "--reason"))


def test_predict_and_predict_proba(credit_model):
    frame = bnscore.read_csv(APPLICANTS, credit_model).set_index("applicant")
    expected = bnscore_rows(CREDIT_MODEL, APPLICANTS)
    predicted = credit_model.predict(frame)
    assert predicted.index.equals(frame.index) and predicted.name == "prediction"
    assert predicted.astype(object).fillna("").tolist() == [r["prediction"] for r in expected]
    probabilities = credit_model.predict_proba(frame, threads=2)
    assert probabilities.shape == (20, 3) and probabilities.dtype == np.float64
    columns = [f"probability({c})" for c in credit_model.classes_]
    assert np.array_equal(probabilities, np.array([[float(r[c]) if r[c] else np.nan for c in columns]
                                                   for r in expected]), equal_nan=True)
    assert credit_model.classes_.tolist() == ["low", "medium", "high"]
    assert credit_model.feature_names_in_.tolist() == ["employment", "dependents", "income", "age"]
    with pytest.raises(bnscore.Error, match="predict_proba needs probabilities"):
        bnscore.load(CREDIT_MODEL, prediction_only=True).predict_proba(frame)
    with pytest.raises(bnscore.InputError, match="missing columns: age"):
        credit_model.predict(frame.drop(columns="age"))


def evaluate_json(model_path, records_path, *options):
    return json.loads(run_bnscore("evaluate", "--format", "json", *options, model_path, records_path))


def test_evaluate_gives_the_command_lines_figures(credit_model, tmp_path):
    frame = bnscore.read_csv(APPLICANTS, credit_model)
    frame["risk"] = ["low", "high", "low", "medium", "NA", "high", "", "extreme", "high", "low"] * 2
    frame["grade"] = frame["risk"]
    path = str(tmp_path / "labelled.csv")
    frame.to_csv(path, index=False)
    expected = evaluate_json(CREDIT_MODEL, path)
    assert (expected["not_evaluated"], expected["roc_auc"]) == (
        {"status_not_0": 2, "label_missing": 4, "label_unknown": 2}, None)
    assert bnscore.evaluate(credit_model, bnscore.read_csv(path, credit_model)) == expected
    short = bnscore.load(CREDIT_MODEL, prediction_only=True)
    assert bnscore.evaluate(short, frame, label="grade") == evaluate_json(CREDIT_MODEL, path, "--label", "grade")
    with pytest.raises(bnscore.InputError, match=r'^no label column "target" \(see label=\)$'):
        bnscore.evaluate(credit_model, frame, label="target")

    # Categories "0", "1", "2" against an int64 label.
    numbered = credit_variant(tmp_path, {"low": "0", "medium": "1", "high": "2"})
    model = bnscore.load(numbered)
    assert model.classes_.tolist() == ["0", "1", "2"]
    frame["risk"] = [0, 2, 0, 1, 1, 2, 0, 2, 2, 0] * 2
    frame.drop(columns="grade").to_csv(path, index=False)
    figures = bnscore.evaluate(model, pd.read_csv(path))
    assert figures == evaluate_json(numbered, path) and figures["evaluated"] == 18


def test_evaluate_two_categories_with_an_integer_label(tmp_path):
    model_path, records = str(tmp_path / "model.pmml"), str(tmp_path / "records.csv")
    subprocess.run([os.path.join(BIN_DIR, "bngen"), "--binned", "2", "--numeric", "2", "--string", "2",
                    "--target-categories", "2", "--numeric-target", "--include-target", "--unknown-values",
                    "0.02", "-n", "3000", model_path, records], check=True, capture_output=True)
    model = bnscore.load(model_path)
    expected = evaluate_json(model_path, records)
    frame = pd.read_csv(records, dtype={n: str for n, k in model.schema.inputs.items() if k == "text"},
                        keep_default_na=False, na_values=[""])
    assert frame[model.schema.target].dtype == np.int64
    assert expected["roc_auc"] is not None and expected["evaluated"] > 2000
    assert bnscore.evaluate(model, frame) == expected
