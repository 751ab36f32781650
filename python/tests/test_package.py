"""The package as users get it: the manual's example, which must not drift
from what the package does, and the installed package."""

import doctest
import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig

import pytest

from conftest import BUILD_DIR, SANITIZED, SOURCE_DIR


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


def install(prefix, env=None):
    """cmake --install of the Python package under prefix: what it printed."""
    return subprocess.run([os.environ.get("SHEETGEN_CMAKE", "cmake"), "--install", BUILD_DIR,
                           "--prefix", prefix, "--component", "python"],
                          env=env, check=True, capture_output=True, text=True).stdout


def imported_from(env, cwd):
    code = ("import sys, sheetgen; print(sheetgen.__file__, "
            "sheetgen.Run.from_answers(sys.argv[1]).max_area)")
    return subprocess.run([sys.executable, "-c", code, SOURCE_DIR / "examples/worked_example.txt"],
                          env=env, cwd=cwd, check=True, capture_output=True, text=True).stdout


@pytest.mark.skipif(not BUILD_DIR, reason="needs the build folder, as ctest gives it")
def test_installed_package_is_found_where_the_install_says(tmp_path):
    # A prefix Python does not search: the install names what goes on PYTHONPATH.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    said = install(tmp_path / "prefix", env)
    packages = tmp_path / f"prefix/lib/python{sys.version_info[0]}.{sys.version_info[1]}/site-packages"
    assert f"finds it with PYTHONPATH={packages}\n" in said
    assert {p.name for p in (packages / "sheetgen").iterdir()} >= \
        {"__init__.py", "__init__.pyi", "py.typed", "_built_for.py"}
    assert imported_from({**env, "PYTHONPATH": str(packages)}, tmp_path) == \
        f"{packages / 'sheetgen/__init__.py'} 20\n"


@pytest.mark.skipif(not BUILD_DIR, reason="needs the build folder, as ctest gives it")
@pytest.mark.skipif(sys.prefix != sys.base_prefix, reason="a virtual environment has no user site")
def test_installed_under_the_users_prefix_is_found_without_pythonpath(tmp_path):
    # README's `cmake --install build --prefix "$HOME/.local"`: the user's
    # site, where this interpreter looks by itself.
    home = tmp_path / "home"
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONNOUSERSITE")}
    env.update(HOME=str(home), PYTHONUSERBASE=str(home / ".local"))
    said = install(home / ".local", env)
    site = subprocess.run([sys.executable, "-c", "import site; print(site.getusersitepackages())"],
                          env=env, check=True, capture_output=True, text=True).stdout.strip()
    assert f"Python package: {site}/sheetgen, where {sys.executable} finds it\n" in said
    assert imported_from(env, tmp_path) == f"{site}/sheetgen/__init__.py 20\n"


def test_the_install_folder_is_one_the_interpreter_searches(tmp_path):
    script = SOURCE_DIR / "python/install_dir.py"

    def folder(prefix):
        out = subprocess.run([sys.executable, script, prefix], check=True, capture_output=True,
                             text=True).stdout.strip()
        return tuple(out.rsplit(";", 1))

    import site  # noqa: the interpreter that runs the tests is the one asked
    for searched in site.getsitepackages():
        # A prefix above another searched prefix (/usr above /usr/local)
        # takes its own folder, not the other's.
        prefix = pathlib.Path(searched)
        while prefix.name not in ("lib", "lib64") and prefix != prefix.parent:
            prefix = prefix.parent
        found, looks = folder(prefix.parent)
        assert looks == "yes" and pathlib.Path(found).parent.parent == prefix, (searched, found)
    assert folder(tmp_path) == (sysconfig.get_path(
        "purelib", "posix_prefix", vars={"base": str(tmp_path), "platbase": str(tmp_path)}), "no")


@pytest.mark.skipif(not BUILD_DIR, reason="needs the build folder, as ctest gives it")
def test_another_interpreter_is_told_which_one_the_build_used(tmp_path):
    built = pathlib.Path(BUILD_DIR) / "python"
    # No numpy (-S: not even the system's site folders): not "No module
    # named 'numpy'" alone, but which interpreter the package is for.
    error = subprocess.run([sys.executable, "-S", "-c", "import sheetgen"], cwd=tmp_path,
                           env={**os.environ, "PYTHONPATH": str(built)},
                           capture_output=True, text=True).stderr.splitlines()[-1]
    assert error.startswith("ModuleNotFoundError: No module named 'numpy': sheetgen needs numpy")
    assert f"missing for {sys.executable} (Python " in error
    assert "the package was built for it: install numpy for it" in error
    # Another interpreter is told which one the build used.
    fake = tmp_path / "elsewhere"
    (fake / "numpy").mkdir(parents=True)
    (fake / "numpy/__init__.py").write_text("raise ModuleNotFoundError('none', name='numpy')\n")
    (fake / "sheetgen").mkdir()
    shutil.copy(built / "sheetgen/__init__.py", fake / "sheetgen")
    (fake / "sheetgen/_built_for.py").write_text('interpreter = "/elsewhere/python3"\n'
                                                 'version = "3.99"\n')
    error = subprocess.run([sys.executable, "-c", "import sheetgen"], cwd=fake,
                           capture_output=True, text=True).stderr.splitlines()[-1]
    assert "the package was built for /elsewhere/python3 (Python 3.99): use it" in error
    # A module compiled for another Python version.
    copy = tmp_path / "other/sheetgen"
    shutil.copytree(built / "sheetgen", copy)
    (module,) = copy.glob("_sheetgen*")
    module.rename(copy / "_sheetgen.cpython-20-other.so")
    error = subprocess.run([sys.executable, "-c", "import sheetgen"], cwd=tmp_path,
                           env={**os.environ, "PYTHONPATH": str(copy.parent)},
                           capture_output=True, text=True).stderr.splitlines()[-1]
    assert "sheetgen's compiled module is not one for" in error
    assert "build the package again, or install it again" in error


@pytest.mark.skipif(SANITIZED, reason="pip under the sanitizer's preloaded runtime tests nothing of ours")
def test_pip_without_wheel_or_numpy_names_them(tmp_path):
    # A fresh virtual environment holds pip and setuptools alone: a build
    # without isolation must name what it lacks, not "invalid command".
    venv = tmp_path / "venv"
    made = subprocess.run([sys.executable, "-m", "venv", venv], capture_output=True, text=True)
    if made.returncode != 0:
        pytest.skip(f"no venv for {sys.executable}: {made.stderr.strip()}")
    python = venv / "bin/python"
    has = subprocess.run([python, "-c", "import wheel"], capture_output=True).returncode == 0
    if has:
        pytest.skip("this interpreter's venv comes with wheel")
    run = subprocess.run([python, "-m", "pip", "install", "-q", "--no-build-isolation",
                          "--no-index", SOURCE_DIR / "python"],
                         cwd=tmp_path, capture_output=True, text=True)
    assert run.returncode != 0
    assert "invalid command" not in run.stdout + run.stderr
    assert f"cannot be built for {venv}/bin/python" in run.stdout + run.stderr
    assert "it lacks wheel, numpy" in run.stdout + run.stderr


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
