"""Networks in other formats through the Python package: the same numbers
as `bnscore score --target`, the target kept across pickling."""

import os
import pickle

import pandas as pd
import pytest

import bnscore
from conftest import TEST_DATA, bnscore_rows

ASIA = os.path.join(TEST_DATA, "formats", "asia.xml")


def test_xmlbif_network_scores_as_bnscore_with_its_target(tmp_path):
    frame = pd.DataFrame({
        "asia": ["yes", "no", "no"], "tub": ["no", "no", "yes"], "smoke": ["yes", "no", "no"],
        "lung": ["yes", "no", "no"], "bronc": ["no", "yes", "no"], "xray": ["yes", "no", "yes"],
        "dysp": ["yes", "yes", "no"]})
    records = tmp_path / "records.csv"
    frame.to_csv(records, index=False)
    want = bnscore_rows(ASIA, str(records), "--target", "either", "--threads", "1")

    model = bnscore.load(ASIA, target="either")
    assert model.schema.target == "either"
    for m in (model, pickle.loads(pickle.dumps(model))):
        got = m.score(frame)
        assert [str(p) for p in got["prediction"]] == [w["prediction"] for w in want]
        assert [repr(float(p)) for p in got["probability(yes)"]] == \
            [repr(float(w["probability(yes)"])) for w in want]

    with pytest.raises(bnscore.ModelError, match="names no target"):
        bnscore.load(ASIA)


def test_document_limits_are_options():
    with pytest.raises(bnscore.ModelError, match="more than 60 nodes"):
        bnscore.load(ASIA, target="either", max_nodes=60)
    with pytest.raises(bnscore.ModelError, match="larger than 1000 bytes"):
        bnscore.load(ASIA, target="either", max_document_bytes=1000)
    assert bnscore.load(ASIA, target="either", max_nodes=10_000).schema.target == "either"
