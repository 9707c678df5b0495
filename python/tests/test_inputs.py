"""What Model.score and bnscore.read_csv accept, compared with what
`bnscore score` does with the same cells in a CSV: columns that do not
match the model, texts that pandas takes for booleans or numbers, numbers
that are not finite, repeated columns, and the faults that name a column."""

import re

import numpy as np
import pandas as pd
import pytest

import bnscore
from conftest import (APPLICANTS, CREDIT_MODEL, assert_same_as_bnscore, bnscore_refusal, bnscore_rows,
                      credit_variant)

RECORDS = {"age": [34, 23], "income": [52000.0, 18500.0], "dependents": [1, 0]}


def write(path, text, encoding="utf-8"):
    with open(path, "w", newline="", encoding=encoding) as f:
        f.write(text)
    return str(path)


def test_columns_that_do_not_match_are_refused_like_the_command_line(credit_model, tmp_path):
    with open(APPLICANTS) as f:
        text = f.read()
    spaced = write(tmp_path / "spaced.csv", text.replace(",", ", "))
    listed = re.search(r"missing columns: (.*) \(the header has", bnscore_refusal("score", CREDIT_MODEL, spaced))
    frame = pd.read_csv(spaced)
    with pytest.raises(bnscore.InputError) as fault:
        credit_model.score(frame)
    assert str(fault.value) == (
        f"missing columns: {listed.group(1)} (the DataFrame has: applicant,  age,  income,  employment, "
        " dependents); near misses: ' employment' for employment, ' dependents' for dependents, ' income' "
        "for income, ' age' for age; allow_missing_columns=True scores their rows as missing")
    with pytest.raises(bnscore.InputError, match=r"^missing columns: employment, dependents, income, age "
                                                 r"\(the DataFrame has: foo\); allow"):
        credit_model.score(pd.DataFrame({"foo": [1, 2]}))
    with pytest.raises(bnscore.InputError, match=r"missing columns: age .*near misses: 'Age' for age;"):
        credit_model.score({"Age": [1, 2], "income": [1.0, 2.0], "employment": ["salaried"] * 2,
                            "dependents": [1, 0]})

    # Opted in: every row as bnscore scores it with --allow-missing-columns.
    with pytest.warns(bnscore.UnscorableWarning, match=r"field 'employment' leaves 20 of 20 rows unscored "
                                                       r"\(e.g. missing \(no such column\)\)"):
        result = credit_model.score(frame, allow_missing_columns=True, reason=True)
    assert_same_as_bnscore(result, bnscore_rows(CREDIT_MODEL, spaced, "--allow-missing-columns", "--reason"))


def test_repeated_and_multilevel_columns_are_named(credit_model):
    frame = pd.DataFrame(dict(RECORDS, employment=["salaried"] * 2))
    with pytest.raises(bnscore.InputError, match=r"^the column 'age' is given twice \(at positions 0 and 4\)$"):
        credit_model.score(frame[["age", "income", "employment", "dependents", "age"]])
    # A repeated column the model does not read is no fault.
    other = pd.concat([frame, pd.DataFrame({"x": [1, 2]}), pd.DataFrame({"x": [3, 4]})], axis=1)
    assert credit_model.score(other)["status"].tolist() == [0, 0]

    levels = frame.copy()
    levels.columns = pd.MultiIndex.from_tuples([("in", c) for c in frame.columns])
    with pytest.raises(bnscore.InputError, match=r"several levels \(\('in', 'age'\), \('in', 'income'\)"):
        credit_model.score(levels)

    for data in (dict(RECORDS, employment=["salaried"] * 2, age=[34, 10**400]),
                 [{"age": 34, "income": 1.0, "employment": "salaried", "dependents": 1}, {"age": 10**400}]):
        with pytest.raises(ValueError, match=r"column 'age', row 1: the int 100000000000\.\.\. \(401 digits\) "
                                             r"is too large"):
            credit_model.score(data, allow_missing_columns=True)


def test_numbers_that_are_not_finite_follow_the_command_line(credit_model, tmp_path):
    path = write(tmp_path / "records.csv", "age,income,employment,dependents\n34,52000,salaried,1\n"
                                           "inf,18500,unemployed,0\n-inf,41000,inf,2\n")
    assert 'records.csv:3: column age: "inf" is not a finite number' in bnscore_refusal(
        "score", CREDIT_MODEL, path)
    expected = bnscore_rows(CREDIT_MODEL, path, "--allow-nonfinite", "--reason")
    base = dict(income=[52000.0, 18500.0, 41000.0], employment=["salaried", "unemployed", "inf"],
                dependents=[1, 0, 2])
    forms = {
        "float64": [34.0, np.inf, -np.inf],
        "float32": np.array([34.0, np.inf, -np.inf], dtype=np.float32),
        "Float64": pd.array([34.0, np.inf, -np.inf], dtype="Float64"),
        "texts": ["34", "inf", "-inf"],
        "objects": [34, "inf", float("-inf")],
        "categorical": pd.Categorical([34.0, np.inf, -np.inf]),
    }
    for form, age in forms.items():
        data = dict(base, age=age)
        with pytest.raises(ValueError, match=r"^column 'age', row 1: \"inf\" is not a finite number "
                                             r"\(pass allow_nonfinite=True\)$"):
            credit_model.score(data)
        assert_same_as_bnscore(credit_model.score(data, allow_nonfinite=True, reason=True), expected)
    with pytest.raises(ValueError, match=r"^field 'age': \"inf\" is not a finite number"):
        credit_model.score_one({"age": np.inf})
    with pytest.raises(ValueError, match=r"^field 'income': \"Infinity\" is not a finite number"):
        credit_model.score_one({"income": "Infinity"})
    assert credit_model.score_one({"age": np.inf, "income": 1.0, "employment": "salaried", "dependents": 1},
                                  allow_nonfinite=True)["status"] == 0

    # Texts in number fields: the command line's missing values and numbers.
    path = write(tmp_path / "texts.csv", "age,income,employment,dependents\n34,NA,salaried,1\n"
                                         "23,null,unemployed,0\n45, 41000 ,salaried,abc\n61,1e3,salaried,N/A\n")
    expected = bnscore_rows(CREDIT_MODEL, path, "--reason")
    texts = {"age": [34, 23, 45, 61], "income": ["NA", "null", " 41000 ", "1e3"],
             "employment": ["salaried", "unemployed", "salaried", "salaried"], "dependents": ["1", 0, "abc", "N/A"]}
    assert_same_as_bnscore(credit_model.score(texts, reason=True), expected)
    assert [r["reason"] for r in expected] == ["income: missing", "income: missing",
                                               'dependents: not a number "abc"', "dependents: missing"]


def test_read_csv_reads_as_the_command_line(tmp_path):
    model_path = credit_variant(tmp_path, {"salaried": "TRUE", "self-employed": "NA", "unemployed": "01"})
    model = bnscore.load(model_path)
    path = write(tmp_path / "records.csv",
                 "\ufeffapplicant,age,income,\"employment\",dependents\r\n"
                 "A1,34,52000,TRUE,1\r\nA2,23,NA,NA,0\r\nA3,61,75000,01,2\r"
                 "A4,45,null,FALSE,3\r\n\r\nA5,,41000,\"01\",3\r\n"
                 "A6,52,abc,TRUE,1\r\nA7,30,1e3,NA,2\r\n\"A,8\", 40 ,60000,\"TR\"\"UE\",0\r\n")
    expected = bnscore_rows(model_path, path, "--reason")
    frame = bnscore.read_csv(path, model)
    assert frame.columns.tolist() == ["applicant", "age", "income", "employment", "dependents"]
    assert frame["employment"].tolist() == ["TRUE", "NA", "01", "FALSE", "01", "TRUE", "NA", 'TR"UE']
    assert frame["age"].dtype == np.float64 and frame["income"].tolist()[5] == "abc"
    assert frame["applicant"].tolist()[-1] == "A,8"
    assert_same_as_bnscore(model.score(frame, reason=True), expected)
    assert [r["status"] for r in expected] == ["0", "90029", "0", "90029", "90029", "90029", "0", "90029"]

    # pandas' own reading takes TRUE for a boolean, 01 for 1 and NA for NaN.
    naive = pd.read_csv(path)
    assert naive["employment"].isna().sum() == 2
    bools = pd.DataFrame(dict(RECORDS, employment=[True, True]))
    assert model.score(bools).equals(model.score(dict(RECORDS, employment=["TRUE", "TRUE"])))
    assert model.score_one({"age": 34, "income": 1.0, "dependents": 1, "employment": True}) == \
        model.score_one({"age": 34, "income": 1.0, "dependents": 1, "employment": "TRUE"})
    with pytest.raises(bnscore.InputError, match=r"^column 'employment' holds False, which the text field does "
                                                 r"not have as categories \(it has '01', 'NA', 'TRUE'\)"):
        model.score(dict(RECORDS, employment=[True, False]))
    with pytest.raises(bnscore.InputError, match=r"^column 'employment' holds 1, which the text field"):
        model.score(dict(RECORDS, employment=pd.array([1, None], dtype="Int64")))

    faults = {"a row short": "age,income\n1,2\n3\n", "a quote": 'age,income\n"1"x,2\n',
              "not finite": "age,income\n1,2\n3,4\n-inf,5\n", "a repeated field": "age,x,income,age\n1,2,3,4\n"}
    messages = {
        "a row short": r":3: the row has 1 field but the header has 2 fields$",
        "a quote": r":2: ",
        "not finite": r':4: column age: "-inf" is not a finite number \(pass allow_nonfinite=True\)$',
        "a repeated field": r": the header names age twice \(columns 1 and 4\)$",
    }
    for name, text in faults.items():
        fault_path = write(tmp_path / "fault.csv", text)
        with pytest.raises(bnscore.InputError, match=re.escape(fault_path) + messages[name]):
            bnscore.read_csv(fault_path, model)
        if name in ("a row short", "not finite"):
            assert re.search(re.escape(fault_path) + messages[name].split(r"\(")[0].rstrip("$"),
                             bnscore_refusal("score", "--allow-missing-columns", model_path, fault_path))
    allowed = bnscore.read_csv(write(tmp_path / "inf.csv", faults["not finite"]), model, allow_nonfinite=True)
    assert allowed["age"].tolist() == [1.0, 3.0, -np.inf]


def test_integer_and_boolean_texts_need_one_category(tmp_path):
    numbered = bnscore.load(credit_variant(tmp_path, {"salaried": "0", "self-employed": "1",
                                                      "unemployed": "NA"}, "numbered.pmml"))
    codes = pd.DataFrame(dict(RECORDS, employment=np.array([1, 0])))
    assert numbered.score(codes).equals(numbered.score(dict(RECORDS, employment=["1", "0"])))
    assert numbered.score(codes.astype({"employment": "category"})).equals(numbered.score(codes))
    spelled = bnscore.load(credit_variant(tmp_path, {"salaried": "TRUE", "self-employed": "true",
                                                     "unemployed": "no"}))
    with pytest.raises(bnscore.InputError, match=r"^column 'employment': True could be any of the categories "
                                                 r"'TRUE', 'true'; give texts$"):
        spelled.score(dict(RECORDS, employment=[True, "no"]))
    with pytest.warns(bnscore.UnscorableWarning, match=r"field 'employment' leaves 2 of 2 rows unscored "
                                                       r"\(e.g. unknown category \"retired\"\)"):
        spelled.score(dict(RECORDS, employment=["retired", "yes"]))
