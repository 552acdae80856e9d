"""Shared fixtures: the built fieldkit tool, to compare texts with, and a scratch device root."""

import os
import subprocess

import pytest

import fieldkit


@pytest.fixture(scope="session")
def tool():
    """Runs the fieldkit program: tool(args..., input=lines) -> (status, stdout, stderr)."""
    program = os.environ.get("FIELDKIT_TOOL")
    if not program:
        pytest.skip("FIELDKIT_TOOL does not name the built fieldkit program")
    env = {k: v for k, v in os.environ.items() if not k.startswith("FIELDKIT_")}

    def run(*args, input=None):
        stdin = None if input is None else "".join(line + "\n" for line in input)
        done = subprocess.run([program, *args], input=stdin, capture_output=True, text=True,
                              env=env, encoding="utf-8")
        return done.returncode, done.stdout, done.stderr

    return run


@pytest.fixture
def device_root(tmp_path):
    """A fresh device root for one test; the one before is put back afterwards."""
    before = fieldkit.get_device_root()
    fieldkit.set_device_root(str(tmp_path))
    yield tmp_path
    fieldkit.set_device_root(before)
