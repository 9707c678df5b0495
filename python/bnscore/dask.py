"""Scoring Dask DataFrames, partition by partition, on a Dask cluster.

    import bnscore.dask
    out = bnscore.dask.score(ddf, "model.pmml")   # a lazy Dask DataFrame
    out.to_parquet("scores/")                     # or .compute(), ...

Each worker process reads the model once, the first time one of its
partitions is scored, and keeps it for the next ones.
"""

import hashlib

import dask
import dask.dataframe as dd

import bnscore


def score(ddf, model_or_path, *, threads=1, allow_missing_columns=False, allow_nonfinite=False,
          reason=False, explain=0, **options):
    """Scores every row of the Dask DataFrame ``ddf`` with a model: a
    ``bnscore.Model``, or a PMML path or text read with ``options`` (those
    of ``bnscore.load``). Returns a Dask DataFrame with the partitions and
    index of ``ddf`` and the columns of ``Model.score``; ``threads`` is the
    number of engine threads per partition. ``allow_missing_columns``,
    ``allow_nonfinite``, ``reason`` and ``explain`` are those of
    ``Model.score``, applied to every partition.

    The model is read here once, so that a rejected document raises
    ``bnscore.ModelError`` at once, and then once in each worker process.
    """
    if not isinstance(ddf, dd.DataFrame):
        raise TypeError(f"bnscore.dask.score takes a dask DataFrame, not a {type(ddf).__name__}")
    if isinstance(model_or_path, bnscore.Model):
        if options:
            raise TypeError("options are given with the model's load(), not with a loaded Model: "
                            + ", ".join(sorted(options)))
        model = model_or_path
    else:
        model = bnscore.load(model_or_path, **options)
    # The document travels to each worker once, as one task's result that
    # every partition depends on, rather than inside every partition's task.
    pmml = dask.delayed(model.pmml, name="bnscore-pmml-" + hashlib.sha256(model.pmml).hexdigest())
    scoring = {"allow_missing_columns": bool(allow_missing_columns),
               "allow_nonfinite": bool(allow_nonfinite), "reason": bool(reason),
               "explain": explain}
    meta = model.score(ddf._meta, threads=1, **scoring)
    return ddf.map_partitions(_score_partition, pmml, tuple(model.options.values()), threads,
                              scoring, meta=meta)


def _score_partition(partition, pmml, options, threads, scoring):
    return bnscore.load_cached(pmml, *options).score(partition, threads=threads, **scoring)
