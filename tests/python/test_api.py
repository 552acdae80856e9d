"""The package's face: every name documented, and the type stubs naming exactly what the
module has."""

import ast
import inspect
import pathlib
import pickle
import re

import fieldkit


def public_names():
    return {n for n in dir(fieldkit._fieldkit) if not n.startswith("_")}


# Fault: a function added to the module but left out of __all__, or the reverse
def test_all_names_exported():
    assert set(fieldkit.__all__) == public_names()


# Fault: a function or method shipped without its documentation
def test_every_function_and_method_has_a_docstring():
    for name in fieldkit.__all__:
        thing = getattr(fieldkit, name)
        assert thing.__doc__ and len(thing.__doc__.strip()) > 30, name
        if inspect.isclass(thing):
            for member, value in vars(thing).items():
                if not member.startswith("_"):
                    assert value.__doc__, f"{name}.{member}"


# Fault: the type stubs missing a name the module has, or naming one it lacks
def test_stubs_describe_the_module():
    stub = pathlib.Path(fieldkit.__file__).with_name("__init__.pyi")
    assert stub.with_name("py.typed").exists()
    tree = ast.parse(stub.read_text())
    declared = {n.name for n in tree.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    assert declared == public_names()
    # stubtest compares each declaration's parameters with what inspect reads at run time.


# Fault: the Python front taking other parameters or defaults than the compiled function
def test_every_function_has_a_signature_and_pickles():
    for name in fieldkit.__all__:
        thing = getattr(fieldkit, name)
        if inspect.isclass(thing):
            assert list(inspect.signature(thing).parameters) == ["path"] or name in ("XYZ", "BLH")
            for member, value in vars(thing).items():
                if callable(value) and (not member.startswith("_") or member == "__init__"):
                    inspect.signature(value)  # raises ValueError when there is none
            continue
        # The Python front takes exactly the compiled function's parameters and defaults.
        assert inspect.signature(thing) == inspect.signature(getattr(fieldkit._fieldkit, name))
        assert thing.__doc__ == getattr(fieldkit._fieldkit, name).__doc__
        assert pickle.loads(pickle.dumps(thing)) is thing, name


# Fault: the module's version drifting from the project's
def test_version_is_the_projects():
    cmake = pathlib.Path(__file__).parents[2] / "CMakeLists.txt"
    declared = re.search(r"project\(\s*fieldkit\s[^)]*VERSION\s+([0-9.]+)", cmake.read_text())
    assert declared and fieldkit.__version__ == declared.group(1)
    assert fieldkit.__version__ == fieldkit._fieldkit.__version__
