"""Builds the fieldkit Python package with the project's own CMake build.

The compiled part (_fieldkit) is made by CMake exactly as the `dev` and `release` presets make
it, only always optimised and with nothing else of the project built: no tests, tools,
benchmarks or fuzzers. The pure Python files and the stubs come from python/fieldkit as they
are. The version is the one of `project(fieldkit VERSION ...)` in CMakeLists.txt, so the
package, the library and the tool never disagree.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"\bproject\(\s*fieldkit\b[^)]*?\bVERSION\s+([0-9]+(?:\.[0-9]+)*)", text)
    if not found:
        sys.exit("setup.py: CMakeLists.txt has no `project(fieldkit VERSION x.y.z ...)`")
    return found.group(1)


class CMakeExtension(Extension):
    """The compiled module; CMake knows its sources, so setuptools is given none."""

    def __init__(self, name, target):
        super().__init__(name, sources=[])
        self.target = target


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        # Every choice is given on the command line, so neither a CMAKE_BUILD_TYPE in the
        # environment nor a cache left by an earlier build makes a Debug or -Werror module.
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DFIELDKIT_BUILD_PYTHON=ON",
            "-DFIELDKIT_BUILD_TESTS=OFF",
            "-DFIELDKIT_BUILD_TOOLS=OFF",
            "-DFIELDKIT_BUILD_BENCH=OFF",
            "-DFIELDKIT_BUILD_FUZZ=OFF",
            "-DFIELDKIT_INSTALL=OFF",
            "-DFIELDKIT_WERROR=OFF",
            "-DFIELDKIT_SANITIZE=",
            "-DBUILD_SHARED_LIBS=OFF",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        build = ["cmake", "--build", str(build_dir), "--target", ext.target]
        if self.parallel:
            build += ["--parallel", str(self.parallel)]
        elif "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
            build += ["--parallel", str(os.cpu_count() or 1)]
        for command in (configure, build):
            self.announce(" ".join(command), level=2)
            try:
                subprocess.run(command, check=True)
            except FileNotFoundError:
                sys.exit("setup.py: cmake is not installed (Debian: apt-get install cmake)")
            except subprocess.CalledProcessError as error:
                sys.exit(f"setup.py: {' '.join(command)} failed with status {error.returncode}")

        built = sorted((build_dir / "python" / "fieldkit").glob("_fieldkit*.so"))
        if len(built) != 1:
            sys.exit(f"setup.py: expected one _fieldkit*.so from CMake, found {built}")
        destination = pathlib.Path(self.get_ext_fullpath(ext.name))
        destination.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], destination)


setup(
    version=project_version(),
    packages=["fieldkit"],
    package_dir={"": "python"},
    package_data={"fieldkit": ["__init__.pyi", "py.typed"]},
    ext_modules=[CMakeExtension("fieldkit._fieldkit", target="fieldkit_python")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
