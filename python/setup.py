"""The build of the extension module for pip (pyproject.toml): CMake builds
the target sheetgen_python of the whole source tree, with the interpreter
that runs this, and the module goes into the package."""

import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent.parent  # python/ lives in the source tree


def version():
    # The version is written once, in version.h, as CMake reads it too.
    text = (ROOT / "include/sheetgen/version.h").read_text()
    return ".".join(re.search(rf"#define SHEETGEN_VERSION_{part} +(\d+)", text)[1]
                    for part in ("MAJOR", "MINOR", "PATCH"))


def missing_for_wheel():
    # pip builds a wheel with setuptools' bdist_wheel, which comes from the
    # package wheel before setuptools 70.1; without build isolation nothing
    # installs it, and setuptools would only say "invalid command".
    try:
        import setuptools.command.bdist_wheel  # noqa: F401
        return None
    except ImportError:
        pass
    try:
        import wheel  # noqa: F401
        return None
    except ImportError:
        return "wheel"


def missing_for_module():
    # What the module's build needs from this interpreter, named before
    # CMake's own search would fail further down with its own words.
    missing = []
    try:
        import numpy  # noqa: F401
    except ImportError:
        missing.append("numpy")
    if not (pathlib.Path(sysconfig.get_paths()["include"]) / "Python.h").exists():
        missing.append(f"Python's development files (Python.h in {sysconfig.get_paths()['include']})")
    if shutil.which("cmake") is None:
        missing.append("cmake")
    return missing


def refuse(missing):
    sys.exit(f"sheetgen's Python package cannot be built for {sys.executable} (Python "
             f"{sysconfig.get_python_version()}): it lacks {', '.join(missing)}. On Debian or "
             "Ubuntu, apt-get install python3-wheel python3-numpy python3-dev cmake and use "
             "the system's interpreter: /usr/bin/python3 -m venv --system-site-packages venv "
             "&& venv/bin/pip install --no-build-isolation ./python; elsewhere, pip install "
             "./python with a package index, which brings wheel and numpy itself")


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        missing = missing_for_module()
        if missing:
            refuse(missing)
        if not (ROOT / "CMakeLists.txt").exists() or not (ROOT / "src").is_dir():
            sys.exit(f"sheetgen's Python package is built from its source tree, but {ROOT} is "
                     "none: install from a checkout (pip install ./python), where pip builds "
                     "in place")
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        # The numpy and pybind11 this interpreter sees; neither tests nor
        # benchmarks, which the package does not need. CMAKE_ARGS adds others.
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     f"-DPython_EXECUTABLE={sys.executable}", "-DSHEETGEN_PYTHON=ON",
                     "-DSHEETGEN_TESTS=OFF", "-DSHEETGEN_BENCH=OFF",
                     *shlex.split(os.environ.get("CMAKE_ARGS", ""))]
        compile_ = ["cmake", "--build", str(build), "--target", "sheetgen_python"]
        if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:  # which CMake reads itself
            compile_ += ["--parallel", str(os.cpu_count() or 1)]
        for command in (configure, compile_):
            subprocess.run(command, check=True)
        built = list((build / "python/sheetgen").glob("_sheetgen*"))
        if len(built) != 1:
            sys.exit(f"CMake built no single module _sheetgen in {build / 'python/sheetgen'}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


# pip asks for the metadata (dist_info), then for the wheel: both need
# bdist_wheel, and the build after them the rest; all named at once.
if {"dist_info", "bdist_wheel"} & set(sys.argv):
    missing = [name for name in [missing_for_wheel()] if name] + missing_for_module()
    if missing:
        refuse(missing)

setup(version=version(),
      ext_modules=[Extension("sheetgen._sheetgen", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
