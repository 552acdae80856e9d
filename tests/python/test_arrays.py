"""to_xyz and to_blh in the tools people feed arrays through: dask (threads, and worker
processes that get the functions and results by pickling) and pandas."""

import numpy as np
import pytest

import fieldkit


def points(n):
    rng = np.random.default_rng(3)
    return rng.uniform(-90, 90, n), rng.uniform(-180, 180, n), rng.uniform(-500, 9000, n)


def convert(lat, lon, h):
    """One block: positions there and back, stacked as dask's map_blocks wants one array."""
    x, y, z = fieldkit.to_xyz(lat, lon, h)
    return np.stack([x, y, z, *fieldkit.to_blh(x, y, z)])


# Fault: blocks converted on several threads giving other bits than one call
def test_dask_blocks_on_threads_give_the_single_call_result():
    da = pytest.importorskip("dask.array", reason="dask is not installed")
    import dask

    lat, lon, h = points(10_000)
    chunks = [da.from_array(a, chunks=1_500) for a in (lat, lon, h)]
    stacked = da.map_blocks(convert, *chunks, new_axis=0, chunks=((6,), chunks[0].chunks[0]),
                            dtype=np.float64)
    with dask.config.set(scheduler="threads", num_workers=4):
        result = stacked.compute()
    assert result.tobytes() == convert(lat, lon, h).tobytes()


# Fault: the functions or their named tuples not surviving pickling to worker processes
def test_dask_distributed_worker_processes_give_the_single_call_result():
    pytest.importorskip("dask.array", reason="dask is not installed")
    distributed = pytest.importorskip("distributed", reason="dask.distributed is not installed")
    import dask.array as da

    lat, lon, h = points(4_000)
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        # The functions themselves travel to the workers, and named tuples come back.
        futures = client.map(fieldkit.to_xyz, np.array_split(lat, 4), np.array_split(lon, 4),
                             np.array_split(h, 4))
        parts = client.gather(futures)
        chunks = [da.from_array(a, chunks=1_000) for a in (lat, lon, h)]
        stacked = da.map_blocks(convert, *chunks, new_axis=0,
                                chunks=((6,), chunks[0].chunks[0]), dtype=np.float64)
        result = stacked.compute(scheduler=client)
    assert all(type(p) is fieldkit.XYZ for p in parts)
    assert np.concatenate([np.stack(p) for p in parts], axis=1).tobytes() == \
        np.stack(fieldkit.to_xyz(lat, lon, h)).tobytes()
    assert result.tobytes() == convert(lat, lon, h).tobytes()


# Fault: a Series paired by labels instead of positions; None or text read as NaN
def test_pandas_series_in_plain_arrays_out():
    pd = pytest.importorskip("pandas", reason="pandas is not installed")
    frame = pd.DataFrame({"lat": [45.0, 46.5, -10.0], "lon": [7, 8, 9], "h": [250.0, 0.0, 12.5]},
                         index=[10, 20, 30])
    xyz = fieldkit.to_xyz(frame["lat"], frame["lon"], frame["h"])
    assert all(type(a) is np.ndarray for a in xyz)
    expected = fieldkit.to_xyz(frame["lat"].to_numpy(), [7.0, 8.0, 9.0], frame["h"].to_numpy())
    assert all(np.array_equal(a, b) for a, b in zip(xyz, expected))
    # Positions, not labels, pair the points: a reversed index changes nothing.
    reversed_index = frame["lat"].set_axis([30, 20, 10])
    assert np.array_equal(fieldkit.to_xyz(reversed_index, frame["lon"], frame["h"]).x, xyz.x)
    # Values pandas cannot give as numbers are refused, not read as NaN.
    with pytest.raises(TypeError, match=r"^lat: .*Series of object$"):
        fieldkit.to_xyz(pd.Series([45.0, None, "x"]), 7)
    with pytest.raises(TypeError, match=r"^h: "):
        fieldkit.to_xyz(45, 7, pd.Series(pd.to_datetime(["2024-01-01"])))
