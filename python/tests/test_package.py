"""The package as users get it: the manual's example, which must not drift
from what the package does, and the installed package."""

import doctest
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import BUILD_DIR, SOURCE_DIR


def test_manual_python_example_runs(in_tmp):
    page = (SOURCE_DIR / "docs/python.md").read_text()
    session = "\n".join(s for s in re.findall(r"```python\n(.*?)```", page, re.S) if ">>>" in s)
    (in_tmp / "examples").mkdir()
    shutil.copy(SOURCE_DIR / "examples/worked_example.txt", in_tmp / "examples")
    shutil.copytree(SOURCE_DIR / "examples/glass", in_tmp / "examples/glass")
    test = doctest.DocTestParser().get_doctest(session, {}, "docs/python.md", "docs/python.md", 0)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    assert runner.failures == 0 and runner.tries >= 8


@pytest.mark.skipif(not BUILD_DIR, reason="needs the build folder, as ctest gives it")
def test_installed_package_is_found_where_readme_says(tmp_path):
    subprocess.run([os.environ.get("SHEETGEN_CMAKE", "cmake"), "--install", BUILD_DIR,
                    "--prefix", tmp_path, "--component", "python"],
                   check=True, capture_output=True)
    kind = "dist" if any(p.endswith("dist-packages") for p in sys.path) else "site"
    packages = tmp_path / f"lib/python{sys.version_info[0]}.{sys.version_info[1]}/{kind}-packages"
    assert {p.name for p in (packages / "sheetgen").iterdir()} >= \
        {"__init__.py", "__init__.pyi", "py.typed"}
    code = "import sheetgen; print(sheetgen.__file__, sheetgen.Run.from_answers(sys.argv[1]).max_area)"
    out = subprocess.run([sys.executable, "-c", "import sys; " + code,
                          SOURCE_DIR / "examples/worked_example.txt"],
                         env={**os.environ, "PYTHONPATH": str(packages)}, cwd=tmp_path,
                         check=True, capture_output=True, text=True).stdout
    assert out == f"{packages / 'sheetgen/__init__.py'} 20\n"


def test_the_sources_say_where_the_built_package_is(tmp_path):
    # A checkout's python/ folder, from which Python finds the sources first.
    (tmp_path / "python/sheetgen").mkdir(parents=True)
    for name in ("pyproject.toml", "sheetgen/__init__.py"):
        shutil.copy(SOURCE_DIR / "python" / name, tmp_path / "python" / name)

    def import_error():
        return subprocess.run([sys.executable, "-c", "import sheetgen"], cwd=tmp_path / "python",
                              capture_output=True, text=True).stderr.splitlines()[-1]

    assert import_error().startswith("ModuleNotFoundError: No module named 'sheetgen._sheetgen': ")
    assert "build it (cmake -S . -B build" in import_error()
    (tmp_path / "build/python/sheetgen").mkdir(parents=True)
    (tmp_path / "build/python/sheetgen/_sheetgen.so").touch()
    built = tmp_path / "build/python"
    assert f"the built package is in {built}: PYTHONPATH={built}, or install" in import_error()
