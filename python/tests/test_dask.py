"""bnscore.dask on a local cluster of two worker processes: the same values
as Model.score on the whole frame, the model read once per worker."""

import os
import subprocess

import dask.dataframe as dd
import pandas as pd
import pytest
from distributed import Client, LocalCluster

import bnscore
import bnscore.dask
from conftest import APPLICANTS, BIN_DIR, TEST_DATA, read_records


def test_dask_frame_scored_on_a_cluster_as_by_model_score(tmp_path):
    model_path, records = str(tmp_path / "model.pmml"), str(tmp_path / "records.csv")
    subprocess.run([os.path.join(BIN_DIR, "bngen"), "--shape", "mixed20", "-n", "6000", model_path, records],
                   check=True, capture_output=True)
    model = bnscore.load(model_path)
    frame = read_records(model, records)
    frame.index = frame.index * 3  # an index of its own, kept through the partitions
    expected = model.score(frame)
    ddf = dd.from_pandas(frame, npartitions=8)

    with pytest.raises(bnscore.ModelError):
        bnscore.dask.score(ddf, os.path.join(TEST_DATA, "plugin_fault_loop.pmml"))

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        scored = bnscore.dask.score(ddf, model_path)
        assert scored.npartitions == 8
        pd.testing.assert_frame_equal(scored.compute(), expected, check_exact=True)
        by_model = bnscore.dask.score(ddf, model, threads=2).compute()
        pd.testing.assert_frame_equal(by_model, expected, check_exact=True)
        loads = client.run(bnscore.loads_in_process)
        assert len(loads) == 2 and all(count <= 1 for count in loads.values()) and sum(loads.values()) >= 1


def test_dask_frame_scored_with_the_score_options_as_by_model_score(credit_model):
    frame = read_records(credit_model, APPLICANTS)
    # The example's rows left unscored give reasons; one more comes from an
    # infinite income, scored as missing with allow_nonfinite.
    frame.loc[1, "income"] = float("inf")
    ddf = dd.from_pandas(frame, npartitions=3)
    options = {"reason": True, "allow_nonfinite": True}
    expected = credit_model.score(frame, **options)
    assert (expected["reason"] != "").sum() >= 2
    scored = bnscore.dask.score(ddf, credit_model, **options).compute(scheduler="sync")
    pd.testing.assert_frame_equal(scored, expected, check_exact=True)
    assert scored["reason"].tolist() == expected["reason"].tolist()
