"""The package's face: every name documented, and the type stubs naming exactly what the
module has."""

import ast
import inspect
import pathlib
import re

import fieldkit


def public_names():
    return {n for n in dir(fieldkit._fieldkit) if not n.startswith("_")}


def test_all_names_exported():
    assert set(fieldkit.__all__) == public_names()


def test_every_function_and_method_has_a_docstring():
    for name in fieldkit.__all__:
        thing = getattr(fieldkit, name)
        assert thing.__doc__ and len(thing.__doc__.strip()) > 30, name
        if inspect.isclass(thing):
            for member, value in vars(thing).items():
                if not member.startswith("_"):
                    assert value.__doc__, f"{name}.{member}"


def test_stubs_describe_the_module():
    stub = pathlib.Path(fieldkit.__file__).with_name("__init__.pyi")
    assert stub.with_name("py.typed").exists()
    tree = ast.parse(stub.read_text())
    declared = {n.name for n in tree.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    assert declared == public_names()
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            stub_params = [a.arg for a in node.args.args]
            doc_line = getattr(fieldkit, node.name).__doc__.splitlines()[0]
            for param in stub_params:  # pybind11's signature line names every parameter
                assert f"{param}:" in doc_line, (node.name, param)


def test_version_is_the_projects():
    cmake = pathlib.Path(__file__).parents[2] / "CMakeLists.txt"
    declared = re.search(r"project\(\s*fieldkit\s[^)]*VERSION\s+([0-9.]+)", cmake.read_text())
    assert declared and fieldkit.__version__ == declared.group(1)
    assert fieldkit.__version__ == fieldkit._fieldkit.__version__
