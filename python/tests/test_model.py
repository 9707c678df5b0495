"""bnscore.Model on the example model and on generated networks: every input
form, missing and unknown values, rejected documents, pickling and
threads; every number compared exactly with what `bnscore score` writes."""

import math
import os
import pickle
import re
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest

import bnscore
from conftest import (APPLICANTS, BIN_DIR, CREDIT_MODEL, TEST_DATA, assert_same_as_bnscore,
                      bnscore_rows, read_records, run_bnscore, write_csv)


def test_example_in_every_input_form_matches_bnscore(credit_model):
    expected = bnscore_rows(CREDIT_MODEL, APPLICANTS)
    frame = read_records(credit_model, APPLICANTS).set_index("applicant")
    forms = {
        "DataFrame": frame,
        "dict of lists": {c: frame[c].tolist() for c in frame.columns},
        "dict of arrays": {c: frame[c].to_numpy() for c in frame.columns},
        "list of dicts": frame.to_dict("records"),
        "categorical text": frame.astype({"employment": "category"}),
        "nullable dtypes": frame.astype({"income": "Float64", "age": "Int64", "dependents": "Int32",
                                         "employment": "string"}),
        "int32 and float32": frame.astype({"age": np.int32, "income": np.float32}),
        "fixed-width bytes": dict({c: frame[c].to_numpy() for c in frame.columns},
                                  employment=frame["employment"].to_numpy().astype("S")),
        "reordered columns": frame[frame.columns[::-1]],
    }
    for form, data in forms.items():
        for threads in (1, 2):
            result = credit_model.score(data, threads=threads)
            assert_same_as_bnscore(result, expected)
            if isinstance(data, pd.DataFrame):
                assert result.index.equals(frame.index), form
            else:
                assert result.index.equals(pd.RangeIndex(len(frame))), form
    result = credit_model.score(frame)
    assert result.dtypes["status"] == np.int32
    assert list(result["prediction"].cat.categories) == ["low", "medium", "high"]


@pytest.mark.parametrize("shape,rows", [("mixed20", 3000), ("string16tan", 3000), ("binned18tan7", 3000),
                                        ("wide216", 10000)])  # text converted in several slices
def test_generated_networks_match_bnscore(tmp_path, shape, rows):
    model_path, records = str(tmp_path / "model.pmml"), str(tmp_path / "records.csv")
    subprocess.run([os.path.join(BIN_DIR, "bngen"), "--shape", shape, "-n", str(rows), model_path, records],
                   check=True, capture_output=True)
    for options, flags in (({}, ()), ({"by_name": True}, ("--by-name",)),
                           ({"prediction_only": True}, ("--prediction-only",))):
        model = bnscore.load(model_path, **options)
        frame = read_records(model, records)
        expected = bnscore_rows(model_path, records, *flags)
        assert_same_as_bnscore(model.score(frame, threads=2), expected)
        assert model.score(frame.iloc[:0]).columns.tolist() == list(expected[0])


def test_missing_and_unknown_values_as_bnscore_reads_them(credit_model, tmp_path):
    base = {"age": 34, "income": 52000.0, "employment": "salaried", "dependents": 1}
    variants = [
        {},
        {"income": None}, {"income": float("nan")}, {"income": pd.NA}, {"employment": None}, {"employment": ""},
        {"employment": "retired"},  # a category the model does not know
        {"dependents": 7},          # a value the model does not know
        {"income": "52000"},        # text in a number field, read as bnscore reads a cell
        {"dependents": "2"}, {"dependents": 2.0}, {"age": np.int64(70)}, {"age": np.float32(19.5)},
    ]
    records = [dict(base, **v) for v in variants]
    records.append({k: v for k, v in base.items() if k != "employment"})  # an absent field
    path = str(tmp_path / "records.csv")
    write_csv(path, pd.DataFrame(records, columns=list(base)).astype(object))
    expected = bnscore_rows(CREDIT_MODEL, path)
    assert [r["status"] for r in expected] == ["0", "90029", "90029", "90029", "90029", "90029", "90029",
                                               "90029", "0", "0", "0", "0", "0", "90029"]
    assert_same_as_bnscore(credit_model.score(records), expected)
    # Mixed text and numbers in one column, as a list of dicts gives them.
    assert_same_as_bnscore(credit_model.score(pd.DataFrame(records)), expected)
    for record, row in zip(records, expected):
        one = credit_model.score_one(record)
        assert list(one) == list(row)
        assert one["prediction"] == (row["prediction"] or None)
        assert all(one[c] == float(row[c]) if row[c] else math.isnan(one[c]) for c in list(row)[2:])
    with pytest.warns(bnscore.UnscorableWarning, match=r"field .employment. leaves 2 of 2 rows unscored"):
        nothing = credit_model.score(pd.DataFrame({"other": [1, 2]}), allow_missing_columns=True)
    assert nothing["status"].tolist() == [90029, 90029]
    assert nothing["prediction"].isna().all() and nothing["confidence"].isna().all()


def test_rejected_documents_raise_model_error():
    loop = os.path.join(TEST_DATA, "plugin_fault_loop.pmml")
    with pytest.raises(bnscore.ModelError) as fault:
        bnscore.load(loop)
    assert (fault.value.code, str(fault.value), fault.value.path) == (1, "Loop is not allowed.", loop)
    assert isinstance(fault.value, bnscore.Error)
    copy = pickle.loads(pickle.dumps(fault.value))
    assert (copy.code, str(copy), copy.path) == (1, "Loop is not allowed.", loop)

    with open(loop, "rb") as f:
        with pytest.raises(bnscore.ModelError) as fault:
            bnscore.load(f.read())
    assert (fault.value.code, fault.value.path) == (1, None)
    with pytest.raises(bnscore.ModelError) as fault:
        bnscore.load("<PMML><unclosed></PMML>")
    assert fault.value.code == 9
    with pytest.raises(FileNotFoundError):
        bnscore.load(os.path.join(TEST_DATA, "no-such-model.pmml"))


def test_schema_display_and_options(credit_model):
    assert credit_model.schema == bnscore.Schema(
        {"employment": "text", "income": "number", "dependents": "number", "age": "number"},
        "risk", ("low", "medium", "high"))
    # The engine sets the predictors' record positions up as it loads the
    # model; bnscore display shows them before.
    def unindexed(text):
        return re.sub(r"set up\? \w+|index -?\d+", "", text).rstrip("\n")
    assert unindexed(credit_model.display()) == unindexed(run_bnscore("display", CREDIT_MODEL))
    with open(CREDIT_MODEL) as f:
        from_text = bnscore.load(f.read(), prediction_only=True)
    assert from_text.columns == ["status", "prediction"]
    result = from_text.score(read_records(from_text, APPLICANTS))
    assert_same_as_bnscore(result, bnscore_rows(CREDIT_MODEL, APPLICANTS, "--prediction-only"))
    assert from_text.score_one({"age": 34}) == {"status": 90029, "prediction": None}

    network, derived = os.path.join(TEST_DATA, "cli_network.pmml"), os.path.join(TEST_DATA, "cli_derived.csv")
    model = bnscore.load(network, derived_in_record=True)
    assert "n_bin" in model.schema.inputs
    with pytest.warns(DeprecationWarning, match="use Schema.inputs"):
        assert model.schema.predictors is model.schema.inputs
    assert_same_as_bnscore(model.score(read_records(model, derived)),
                           bnscore_rows(network, derived, "--derived-in-record"))


def test_pickled_models_score_the_same_and_are_read_once_per_process(credit_model):
    frame = read_records(credit_model, APPLICANTS)
    short = bnscore.load(CREDIT_MODEL, prediction_only=True)
    for model in (credit_model, short):
        copy = pickle.loads(pickle.dumps(model))
        assert copy.options == model.options and copy.pmml == model.pmml
        assert copy.score(frame).equals(model.score(frame))
    loads = bnscore.loads_in_process()
    again = pickle.loads(pickle.dumps(credit_model))
    assert pickle.loads(pickle.dumps(credit_model)) is again
    assert bnscore.loads_in_process() == loads


def test_threads_score_at_once_with_the_same_results(credit_model):
    frame = read_records(credit_model, APPLICANTS)
    frame = pd.concat([frame] * 2500, ignore_index=True)  # 50,000 rows
    frame["employment"] = frame["employment"].astype(object)
    expected = credit_model.score(frame)
    results = [None] * 4

    def work(slot):
        results[slot] = credit_model.score(frame, threads=1 + slot % 2)

    workers = [threading.Thread(target=work, args=(slot,)) for slot in range(4)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    for result in results:
        assert result.equals(expected)


def test_inputs_that_cannot_be_scored(credit_model):
    with pytest.raises(TypeError, match=r"column 'employment', row 1: a dict is neither text nor a number"):
        credit_model.score({"employment": ["salaried", {}]}, allow_missing_columns=True)
    with pytest.raises(ValueError, match=r"column 'age' has 1 rows, the first column 2"):
        credit_model.score({"income": [1.0, 2.0], "age": [3]}, allow_missing_columns=True)
    with pytest.raises(TypeError, match=r"column 'age' has dtype datetime64\[ns\]"):
        credit_model.score(pd.DataFrame({"age": pd.to_datetime(["2020-01-01"])}), allow_missing_columns=True)
    with pytest.raises(TypeError, match=r"not a str"):
        credit_model.score("age,income")
    with pytest.raises(ValueError, match=r"threads must be at least 1"):
        credit_model.score({"age": [1]}, threads=0, allow_missing_columns=True)
