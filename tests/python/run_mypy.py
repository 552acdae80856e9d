"""Runs `python -m mypy ARGS` or `python -m mypy.stubtest ARGS` with this interpreter, so the
stubs are checked against the numpy and the module it imports. Without mypy the check is
reported as skipped (exit 77, which CTest shows), never as passed."""

import importlib.util
import subprocess
import sys

if importlib.util.find_spec("mypy") is None:
    print(f"mypy is not installed for {sys.executable}: stub checks skipped "
          "(Debian: apt-get install mypy)")
    sys.exit(77)
sys.exit(subprocess.call([sys.executable, "-m", *sys.argv[1:]]))
