"""Test instances of the two-dimensional rectangular single large object
placement problem with defects, generated in memory as numpy arrays.

The same answers and seed give the same instances as the sheetgen program,
byte for byte in the files, on any machine::

    import sheetgen
    run = sheetgen.Run(length=10, width=10, instances=2, item_types=4,
                       lower="0.1", upper="0.2", defects=[(3, 2), (10, 1)], seed=19)
    for items, defects in run:     # a sequence of (items, defects): len(run), run[k]
        ...   # items: (item_types, 3) int32 length, width, area
              # defects: (defects, 4) int32 x1, y1, x2, y2
    items, defects = run.arrays()  # the whole run at once: (instances, ...) arrays
    run.write("instances.txt", "defects.txt")          # sheetgen's files
    for items, defects in sheetgen.read("instances.txt", "defects.txt"):
        ...
    report = sheetgen.check_placements(items, defects, run.length, run.width,
                                       placements)  # (n, 4) item type, x, y, rotated
    for solution in sheetgen.read_solution("solution.csv"):  # a solver's certificate
        ...

Every mistake in the answers or in a file raises sheetgen.Error (a
ValueError) with the message the programs give; a file the OS cannot open
or read raises OSError, as Python's own open() does.
"""

import collections.abc
import numbers
import os
import pathlib
import sys
import sysconfig
import warnings


def _built_for():
    # The interpreter the build made this package for, as configure named
    # it (a file the build writes beside the module), or None.
    try:
        from ._built_for import interpreter, version
    except ImportError:
        return None
    return interpreter, version


def _this_interpreter():
    return f"{sys.executable} (Python {sysconfig.get_python_version()})"


def _wrong_interpreter(what, name, same):
    # An interpreter other than the build's: say which one the build used;
    # the build's own (or a venv of it) is told `same`.
    built = _built_for()
    if built is None:
        advice = "use the interpreter the package was built or installed for"
    elif os.path.realpath(built[0]) == os.path.realpath(sys.executable):
        advice = same
    else:
        advice = (f"the package was built for {built[0]} (Python {built[1]}): use it, as in "
                  f"{built[0]} -c 'import sheetgen', or build for this one with "
                  f"cmake -S . -B build -DPython_EXECUTABLE={sys.executable}")
    return ModuleNotFoundError(f"No module named {name!r}: {what} {_this_interpreter()}; "
                               f"{advice}", name=name)


try:
    import numpy as np
except ModuleNotFoundError as e:
    if e.name != "numpy":
        raise
    raise _wrong_interpreter("sheetgen needs numpy (pip install numpy), which is missing for",
                             "numpy", "the package was built for it: install numpy for it "
                             "(Debian: apt-get install python3-numpy)") from None


def _not_built(package, name):
    # A compiled module for another Python version is no module to this one.
    if any(package.glob("_sheetgen*")):
        return _wrong_interpreter("sheetgen's compiled module is not one for", name,
                                  "build the package again, or install it again")
    # This package without its compiled module is, as a rule, the sources
    # (python/sheetgen), found first from inside python/: say where the
    # built package is.
    sources = package.parent / "pyproject.toml"
    if not sources.exists():
        return ModuleNotFoundError(f"No module named {name!r}: {package} lacks sheetgen's "
                                   f"compiled module; install the package again", name=name)
    built = sorted(p.parents[1] for p in package.parents[1].glob("*/python/sheetgen/_sheetgen*"))
    where = (f"the built package is in {built[0]}: PYTHONPATH={built[0]}" if built else
             "build it (cmake -S . -B build && cmake --build build) and use PYTHONPATH=build/python")
    return ModuleNotFoundError(
        f"No module named {name!r}: {package} is the package's sources, which Python finds "
        f"first from inside {package.parent}; {where}, or install it with "
        f"pip install {package.parent}, and import it from another folder", name=name)


try:
    from ._sheetgen import Error, FileIterator, InstanceIterator, __version__
except ModuleNotFoundError as e:
    if e.name != __name__ + "._sheetgen":
        raise
    raise _not_built(pathlib.Path(__file__).resolve().parent, e.name) from None
from . import _sheetgen

__all__ = ["Run", "FamilyRun", "generate", "read", "check_placements", "bounds", "read_solution",
           "Solution", "Error", "InstanceIterator", "FileIterator", "__version__"]

# The extension's types are sheetgen's, wherever they are shown.
for _type in (Error, FileIterator, InstanceIterator):
    _type.__module__ = __name__
del _type


def _int_answer(name, value):
    # An answer's text; the library reads it as the dialogue reads one, so
    # that a number beyond 32 bits gets the dialogue's message.
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    return str(int(value))


def _bound_answer(name, value):
    if isinstance(value, str):
        return value
    # Floats (numpy's too) by their shortest text, which reads back as the
    # same double, so that 0.1 and "0.1" give the same run.
    if isinstance(value, numbers.Real) and not isinstance(value, numbers.Integral):
        return repr(float(value))
    raise TypeError(f"{name} must be a str or a float, not {type(value).__name__}")


def _defect_answers(defects):
    if isinstance(defects, (str, bytes)):
        raise TypeError("defects must be a sequence of (length, width) pairs")
    answers = []
    for k, pair in enumerate(defects, 1):
        try:
            length, width = pair
        except (TypeError, ValueError):
            raise TypeError(f"defect {k} must be a (length, width) pair, not {pair!r}") from None
        answers.append((_int_answer(f"defect {k}'s length", length),
                        _int_answer(f"defect {k}'s width", width)))
    return answers


def _file_name(name, value):
    # Bytes, as the OS takes names: a str goes through os.fsencode, so that
    # names that are no UTF-8 (b"\xff.txt", or a str holding its escape)
    # reach the file they name, as with Python's own open().
    try:
        return os.fsencode(os.fspath(value))
    except TypeError:
        raise TypeError(f"{name} must be a str, bytes or a path-like object, "
                        f"not {type(value).__name__}") from None


def _index(k, count):
    if isinstance(k, bool) or not isinstance(k, numbers.Integral):
        raise TypeError(f"an instance's index must be an int, not {type(k).__name__}")
    k = int(k)
    if not -count <= k < count:
        raise IndexError(f"instance {k} out of range: the run has {count} instances")
    return k + count if k < 0 else k


def _answer(name, doc):
    return property(lambda self: getattr(self._run, name), doc=doc)


class _InstanceCount(int):
    """The number of instances, as answered. Calling it, as the method
    instances() of earlier releases was called, still iterates over the
    run, with a DeprecationWarning."""

    def __call__(self):
        warnings.warn("Run.instances is now the number of instances; iterate over the run "
                      "itself instead of run.instances(): for items, defects in run",
                      DeprecationWarning, stacklevel=2)
        return iter(self._run)


class _DefectSizes(list):
    """The (length, width) of each defect, as answered. Calling it with an
    instance's index, as the method defects(k) of earlier releases was
    called, still gives that instance's defects, with a DeprecationWarning."""

    def __call__(self, k):
        warnings.warn("Run.defects is now the list of defect sizes; use run[k][1] (or "
                      "run.arrays()) instead of run.defects(k)",
                      DeprecationWarning, stacklevel=2)
        return self._run._placed_defects(k)


class Run:
    """One run of the generator: its answers, checked as the dialogue checks
    them, and the instances they give, generated on demand.

    A Run is a sequence of instances: len(run) of them, run[k] the pair
    (items, defects) of instance k, `for items, defects in run` all of them
    in order; run.arrays() gives the whole run as two arrays. The answers
    are attributes named as the arguments. Nothing is generated before it
    is asked for; generation and reading run without the GIL, at the
    library's speed.

    Arguments (all keyword-only):
      length, width   the large object's integer sides (product at most 2147483647)
      instances       how many instances (at most 20000)
      item_types      item types per instance (at most 20000)
      lower, upper    bounds of an item's area relative to the object's, strictly
                      between 0 and 1: a str, read exactly as the dialogue reads
                      the answer ("0.1", "1e-3"), or a float, read from its
                      shortest text (0.1 gives the same run as "0.1")
      defects         (length, width) of each defect, in order (at most 1000);
                      each must fit onto the object unrotated
      seed            the generator's integer seed

    Integers are int or numpy integers (not bool); any other type raises
    TypeError. The arguments are read first, then checked in the dialogue's
    order; a refused one raises sheetgen.Error with the dialogue's message,
    such as "The upper bound for the relative size must not be smaller than
    the lower bound!".
    """

    __slots__ = ("_run",)

    def __init__(self, *, length, width, instances, item_types, lower, upper,
                 defects=(), seed):
        self._run = _sheetgen.Run.from_values(
            _int_answer("instances", instances), _int_answer("length", length),
            _int_answer("width", width), _int_answer("item_types", item_types),
            _bound_answer("lower", lower), _bound_answer("upper", upper),
            _defect_answers(defects), _int_answer("seed", seed))

    @classmethod
    def from_answers(cls, path):
        """The run of an answers file: the answers sheetgen reads from its
        standard input, one after the other, read silently with the
        dialogue's checks. The file names in it are kept for write().

        A file that cannot be opened raises OSError (a named pipe is waited
        for without the GIL); a bad answer raises sheetgen.Error with
        "FILE:LINE: QUESTION: MESSAGE", such as "answers.txt:6: the upper
        bound: Input is not a valid number!".
        """
        run = cls.__new__(cls)
        run._run = _sheetgen.Run.from_answers(_file_name("path", path))
        return run

    length = _answer("length", "The large object's length (int).")
    width = _answer("width", "The large object's width (int).")
    item_types = _answer("item_types", "Item types per instance (int), as answered.")
    lower = _answer("lower", "The lower relative bound: the float whose shortest text gives "
                             "the single-precision value the generator uses.")
    upper = _answer("upper", "The upper relative bound, as lower.")
    min_area = _answer("min_area", "The smallest admissible integer item area, from lower.")
    max_area = _answer("max_area", "The largest admissible integer item area, from upper.")
    defect_sizes = _answer("defect_sizes", "[(length, width), ...] of the defects, in order; "
                                           "the same as defects.")
    seed = _answer("seed", "The generator's seed (int).")

    @property
    def instances(self):
        """The number of instances (int), as answered: len(run) unless the
        answer was negative, which the dialogue takes as none."""
        count = _InstanceCount(self._run.instance_count)
        count._run = self
        return count

    @property
    def defects(self):
        """[(length, width), ...] of the defects, in order, as answered."""
        sizes = _DefectSizes(self._run.defect_sizes)
        sizes._run = self
        return sizes

    @property
    def instance_file(self):
        """The instance file named in the answers file, or None."""
        return os.fsdecode(self._run.instance_file) or None

    @property
    def defect_file(self):
        """The defect file named in the answers file, or None."""
        return os.fsdecode(self._run.defect_file) or None

    def __len__(self):
        """The number of instances (a negative answer, as the dialogue
        takes it, gives none)."""
        return max(self._run.instance_count, 0)

    def __iter__(self):
        """The instances, in order: (items, defects) pairs of new int32
        numpy arrays that the caller owns.

        items has shape (item_types, 3): length, width and area of each item
        type; defects has shape (defects, 4): x1, y1, x2, y2 of each defect,
        shape (0, 4) in a run without defects. Memory stays that of one
        instance however long the run.

        A run that ends in the repair abort raises sheetgen.Error with that
        message when the failing instance is reached. Without defects, the
        instances before it come first, as sheetgen leaves them in its file.
        With defects, no instance is complete (every defect follows the last
        item), so the error comes at once. Before the first instance of a
        run with defects, every item is generated once to find where the
        defects start; the Run keeps that place for later calls.
        """
        return self._run.instances()

    def __getitem__(self, k):
        """Instance k (0-based, negative from the end) as the pair (items,
        defects), shaped as iteration gives them; a slice gives a list of
        pairs. Instances asked for in rising order cost one pass in all;
        going back generates the run again from its start. IndexError
        outside the run; sheetgen.Error at or after a repair abort."""
        if isinstance(k, slice):
            return [self[i] for i in range(*k.indices(len(self)))]
        k = _index(k, len(self))
        return self._run.items(k), self._placed_defects(k)

    def arrays(self):
        """The whole run at once: (items, defects), new int32 arrays of
        shape (instances, item_types, 3) and (instances, defects, 4), as
        iteration gives each instance, from one pass.

        Memory: 12 bytes per item type and 16 per defect, for every
        instance: 4.8 GB of items (and 320 MB of defects) for the largest
        run, 20000 instances of 20000 item types and 1000 defects. Where
        that is too much, iterate: an instance at a time. MemoryError
        where the arrays cannot be had; sheetgen.Error for a run that ends
        in the repair abort (no partial arrays).
        """
        return self._run.arrays()

    def items(self, k):
        """Instance k's item types (0-based, negative from the end), as
        run[k][0] gives them, without the defects. The run is generated
        again up to k, unless k follows the instance asked for last
        (items(k) for k in a rising range costs one pass in all).
        IndexError outside the run; sheetgen.Error at or after the instance
        of a repair abort."""
        return self._run.items(_index(k, len(self)))

    def _placed_defects(self, k):
        # The first call of a run with defects generates every item once to
        # find where the defects start; after it any instance's are cheap.
        return self._run.defects(_index(k, len(self)))

    def write(self, instance_file=None, defect_file=None, *, folder=None):
        """Writes the run's files exactly as sheetgen writes them: the same
        bytes, the same checks and messages, the same failures.

        The names (str, bytes or path-like, at most 79 characters, as the
        dialogue asks) are taken relative to folder, the current folder
        unless given; without them, the names of the answers file are used.
        The defect file is written only in a run with defects (and must then
        be named); a run without defects refuses one with ValueError, as it
        would leave a file of that name as it was. Raises sheetgen.Error
        with sheetgen's message: a bad name or "The defect file must differ
        from the instance file!" writes nothing; the repair abort leaves the
        instance file with the blocks finished before it and writes no
        defect file; "Cannot write file NAME!" leaves what was written.
        """
        has_defects = bool(self._run.defect_sizes)
        if instance_file is None:
            instance_file = self._run.instance_file
            if not instance_file:
                raise TypeError("write() needs the instance file's name")
        if defect_file is None:
            defect_file = self._run.defect_file if has_defects else b""
            if has_defects and not defect_file:
                raise TypeError("write() needs the defect file's name: the run has defects")
        elif not has_defects:
            raise ValueError("the run has no defects, so it writes no defect file: give none")
        self._run.write(_file_name("instance_file", instance_file),
                        _file_name("defect_file", defect_file),
                        b"" if folder is None else _file_name("folder", folder))

    def __repr__(self):
        return (f"sheetgen.Run(length={self.length}, width={self.width}, "
                f"instances={self._run.instance_count}, item_types={self.item_types}, "
                f"lower={self.lower!r}, upper={self.upper!r}, "
                f"defects={self.defect_sizes!r}, seed={self.seed})")


collections.abc.Sequence.register(Run)


def _parameter_text(owner, name, value):
    """A family's or law's parameter as the library takes it: text."""
    if isinstance(value, bool) or not isinstance(value, (numbers.Integral, str)):
        raise TypeError(f"{owner}: {name} must be an int or a str, not {type(value).__name__}")
    return str(int(value)) if isinstance(value, numbers.Integral) else value


class FamilyRun:
    """A run of an instance family (docs/families.md), made by
    sheetgen.generate: a sequence of its instances, as a Run is.

    run[k] (0-based, negative from the end) and iteration give the pairs
    (items, defects) of new int32 numpy arrays shaped as a Run's; values(k)
    and copies(k) give instance k's value and copies per item type as int64
    arrays (copies -1: unlimited); instance(k) gives all four at once. Any
    instance is made on its own, without the GIL, the same bytes as
    `sheetkit generate` writes for the same settings.
    """

    __slots__ = ("_run",)

    def __init__(self, core):
        self._run = core

    length = property(lambda self: self._run.length, doc="The object's length (int).")
    width = property(lambda self: self._run.width, doc="The object's width (int).")

    @property
    def settings(self):
        """(family, parameters, law, law_parameters, seed, layer), every
        default filled in, parameters as (name, text) pairs in order."""
        return self._run.settings

    def __len__(self):
        return self._run.instances

    def instance(self, k):
        """(items, defects, values, copies) of instance k."""
        return self._run.instance(_index(k, len(self)) + 1)

    def __getitem__(self, k):
        if isinstance(k, slice):
            return [self[i] for i in range(*k.indices(len(self)))]
        items, defects, _, _ = self.instance(k)
        return items, defects

    def __iter__(self):
        for k in range(len(self)):
            yield self[k]

    def values(self, k):
        """Instance k's value per item type (int64 array)."""
        return self.instance(k)[2]

    def copies(self, k):
        """Instance k's copies per item type (int64 array; -1 unlimited)."""
        return self.instance(k)[3]

    def __repr__(self):
        family, parameters, law, law_parameters, seed, layer = self.settings
        text = ", ".join(f"{n}={v}" for n, v in parameters)
        if law:
            text += f", defects=({law!r}, {dict(law_parameters)!r})"
        return f"sheetgen.generate({family!r}, {text}, instances={len(self)}, seed={seed})"


collections.abc.Sequence.register(FamilyRun)


def generate(family, *, instances=1, seed=1, defects=None, layer=None, **parameters):
    """A run of the instance family `family` ("binpacking", "knapsack",
    "gcut", "perfect"; docs/families.md gives each law and its parameters,
    docs/perfect.md the perfect family's, whose defects are its own:
    defect_sizes="60x40,30x90", no defect law), as
    `sheetkit generate` makes it: generate("binpacking", class_=1,
    items=20, instances=10) is Berkey and Wang's class I, n = 20, as
    published. Parameters are keywords (int or str; class_ for class);
    defects is (LAW, {NAME: VALUE}), such as ("separate", {"count": 3});
    layer keeps the first defects of each instance's draw.

    A bad family, law or parameter raises sheetgen.Error naming it (with a
    "did you mean"); a defect that cannot be placed raises it when its
    instance is made.
    """
    if not isinstance(family, str):
        raise TypeError(f"family must be a str, not {type(family).__name__}")
    given = [(name.rstrip("_"), _parameter_text(family, name.rstrip("_"), value))
             for name, value in parameters.items()]
    law, law_given = "", []
    if defects is not None:
        if isinstance(defects, str):
            law, law_parameters = defects, {}
        else:
            law, law_parameters = defects
        law_given = [(name, _parameter_text(law, name, value))
                     for name, value in dict(law_parameters).items()]
    def whole(name, value):
        if isinstance(value, bool) or not isinstance(value, numbers.Integral):
            raise TypeError(f"{name} must be an int, not {type(value).__name__}")
        if not -2**31 <= int(value) < 2**31:
            raise Error(f"{name} {int(value)} is out of range")
        return int(value)
    return FamilyRun(_sheetgen.FamilyRun(
        family, given, law, law_given, whole("instances", instances), whole("seed", seed),
        -1 if layer is None else whole("layer", layer)))


def read(instance_file, defect_file=None):
    """An iterator over the instances of a run's files, as sheetgen writes
    them: (items, defects) pairs of new int32 numpy arrays, shaped as a
    Run's instances are (defects of shape (0, 4) without a defect file).
    Read one block at a time, in constant memory, without the GIL (opening
    a named pipe too).

    The files are read strictly with the library's readers: anything
    sheetgen would not have written (except CR LF line ends), a file cut
    short, or files with different numbers of instances raises
    sheetgen.Error with "FILE:LINE: what is wrong". Names are str, bytes or
    path-like. One that cannot be opened raises OSError at once, and so
    does a read that the OS fails (EIO) when it comes, with errno and
    filename set.
    """
    return _sheetgen.read(_file_name("instance_file", instance_file),
                          None if defect_file is None else _file_name("defect_file", defect_file))


def _int_array(name, value, columns):
    # Any integer array or nested sequence of the given widths, as the
    # C-ordered int64 array the module takes; an empty one may be [].
    a = np.asarray(value)
    if a.size == 0 and (a.ndim == 1 or a.ndim == 2 and a.shape[1] in columns):
        return np.zeros((0, columns[0]), dtype=np.int64)
    if a.dtype == object:
        # Python ints past 64 bits land in an object array: name the value.
        for v in a.flat:
            if isinstance(v, numbers.Integral) and not -2**63 <= int(v) < 2**63:
                raise ValueError(f"{name} holds {int(v)}, past 64 bits")
    if a.dtype.kind not in "iu":
        raise TypeError(f"{name} must hold integers, not {a.dtype}")
    if a.ndim != 2 or a.shape[1] not in columns:
        wanted = " or ".join(f"(n, {c})" for c in columns)
        raise ValueError(f"{name} must have shape {wanted}, not {a.shape}")
    if a.dtype.kind == "u" and a.max() > np.iinfo(np.int64).max:
        raise ValueError(f"{name} holds {a.max()}, past 64 bits")
    return np.ascontiguousarray(a, dtype=np.int64)


def _int64(name, value):
    # An int argument within 64 bits, or an error that names it.
    number = int(_int_answer(name, value))
    if not -2**63 <= number < 2**63:
        raise ValueError(f"{name} is {number}, past 64 bits")
    return number


def check_placements(items, defects, length, width, placements, copies=1, rotation=False, *,
                     sides=None, number_of_stages=3, cut_type="non-exact",
                     first_stage_orientation="any", cut_thickness=0, minimum_waste_length=1,
                     cut_through_defects=False):
    """Checks a solution of one instance as `sheetkit solution check`
    does, with the same code (its one judge): exactly, in 64-bit integers.

    items       the item types: (k, 3) length, width, area as a Run or read()
                gives them, or (k, 2) length, width; type t is row t
    defects     the defects: (m, 4) x1, y1, x2, y2 as a Run or read() gives
                them ((0, 4) or [] without defects); defect d is row d
    length, width   the object's sides (x runs along the length)
    placements  a Solution from read_solution(): the whole certificate is
                judged (its COPIES, BIN and defect rows, the cutting tree
                under the guillotine settings below), with the messages
                sheetkit gives for its file; or (n, 4) integers: item type,
                x, y, rotated (1 when the item is turned by 90 degrees, so
                that its length runs along y); (x, y) is its corner nearest
                the origin
    copies      how often each item type may be placed: an int >= 1, or
                None for unlimited (sheetkit's --copies unlimited)
    rotation    whether items may be turned (sheetkit's --rotation)
    sides       (keyword) with placement arrays, (n, 2) placed sides along x
                and y: then they are checked against the type's, and a turn
                is seen by their being swapped
    number_of_stages, cut_type, first_stage_orientation, cut_thickness,
    minimum_waste_length, cut_through_defects
                (keywords) a guillotine certificate's settings, as sheetkit
                solution check's options of the same names (defaults 3,
                "non-exact", "any", 0, 1, False)

    Arrays may be numpy arrays of any integer type or nested sequences.
    Returns a dict with the names of `sheetkit solution check --json`:
    feasible (bool), violations (their count), messages (the first 20
    violations, as sheetkit words them, then "... and N more violations"),
    items_placed, distinct_types, placed_area, profit, usable_area,
    area_bound (ints), utilisation and gap (floats). A message names the
    placement by its 0-based row where sheetkit names the file's line:
    "placement 3: item type 1 at (0, 4), 3 x 5, overlaps defect 1 (x 1 to
    4, y 0 to 2)"; an overlap names both rows, "placement 3, 7: ...".
    Malformed arguments raise TypeError or ValueError; nothing in the
    placements does (a type that is none of the items is a violation).
    """
    if copies is None:
        copies = -1
    else:
        copies = _int64("copies", copies)
        if copies < 1:
            raise ValueError(f"copies must be an int >= 1, or None for unlimited, not {copies}")
    for name, flag in (("rotation", rotation), ("cut_through_defects", cut_through_defects)):
        if not isinstance(flag, (bool, np.bool_)):
            raise TypeError(f"{name} must be a bool, not {type(flag).__name__}")
    for name, text in (("cut_type", cut_type), ("first_stage_orientation", first_stage_orientation)):
        if not isinstance(text, str):
            raise TypeError(f"{name} must be a str, not {type(text).__name__}")
    if isinstance(placements, Solution):
        given = {name: getattr(placements, name) for name in Solution.__slots__}
        given["file"] = placements.file
    else:
        given = _int_array("placements", placements, (4,))
    return _sheetgen.check_placements(
        _int_array("items", items, (2, 3)), _int_array("defects", defects, (4,)),
        _int64("length", length), _int64("width", width), given,
        None if sides is None else _int_array("sides", sides, (2,)), copies, bool(rotation),
        _int64("number_of_stages", number_of_stages), cut_type, first_stage_orientation,
        _int64("cut_thickness", cut_thickness), _int64("minimum_waste_length", minimum_waste_length),
        bool(cut_through_defects))


def bounds(items, defects, length, width, copies=1, values=None, rotation=False):
    """Upper bounds on the best total value of any placement on one
    instance, exactly, in integers, as `sheetkit stats --json` gives them
    per instance ("upper_bounds") with the same code.

    items, defects, length, width   as check_placements takes them
    copies      how often each item type may be placed: an int >= 1, None
                for unlimited, or one such count per item type (a sequence,
                None in it unlimited)
    values      None (value = area), or one value >= 0 per item type
    rotation    whether items may be turned by 90 degrees

    Returns a dict: object_area, defect_area (the union of the defects
    within the object), usable_area, copies_that_fit (a list: per item type
    the most copies that can be placed, capped by its copies),
    value_is_area, copies_value (the value of all those copies),
    linear_relaxation (the knapsack's, rounded down), knapsack (its value),
    knapsack_method ("all_fit", "subset_sum", "dynamic_programming" or, when
    the exact bound is beyond its budget, "linear_relaxation"),
    knapsack_exact, knapsack_note (why it fell back, else None), best (the
    least bound) and best_is (which: "knapsack", "linear_relaxation",
    "copies_value" or "usable_area").
    """
    item_array = _int_array("items", items, (2, 3))
    count = item_array.shape[0]
    if copies is None or isinstance(copies, (int, np.integer)) and not isinstance(copies, bool):
        each = -1 if copies is None else int(_int_answer("copies", copies))
        copy_array = np.full(count, each, dtype=np.int64)
    else:
        given = list(copies)
        if len(given) != count:
            raise ValueError(f"copies must have one count per item type ({count}), not {len(given)}")
        copy_array = np.array([-1 if c is None else int(_int_answer(f"copies[{k}]", c))
                               for k, c in enumerate(given)], dtype=np.int64)
    value_array = None
    if values is not None:
        value_array = np.asarray(values)
        if value_array.size == 0:
            value_array = np.zeros(0, dtype=np.int64)
        if value_array.dtype.kind not in "iu":
            raise TypeError(f"values must hold integers, not {value_array.dtype}")
        if value_array.shape != (count,):
            raise ValueError(f"values must have shape ({count},), not {value_array.shape}")
        value_array = np.ascontiguousarray(value_array, dtype=np.int64)
    if not isinstance(rotation, (bool, np.bool_)):
        raise TypeError(f"rotation must be a bool, not {type(rotation).__name__}")
    return _sheetgen.bounds(item_array, _int_array("defects", defects, (4,)),
                            int(_int_answer("length", length)), int(_int_answer("width", width)),
                            copy_array, value_array, bool(rotation))


class Solution:
    """One instance's solution as read_solution() reads it from a file.

    file        the file's name, as given
    format      "rectangle" or "rectangleguillotine" (PackingSolver's
                certificates) or "placements" (sheetkit's placement CSV)
    instance    the 1-based instance of a placement CSV's rows; None for a
                certificate (one instance, the one it was solved for)
    placements  (n, 4) int64 item type, x, y, rotated: every placed item (a
                guillotine certificate's item leaves), in file order, as
                check_placements takes them. A certificate shows a turn only
                by swapped sides: its rotated column is 0; pass sides too
    sides       (n, 2) int64 placed sides along x and y; -1 where the file
                states none (the placement CSV)
    copies      (n,) int64 copies of each row (a certificate's grouped bins)
    lines       (n,) int64 each row's line in the file
    bins        (b, 5) int64 a rectangle certificate's BIN rows: bin type,
                copies, position, length (x), width (y)
    bin_lines   (b,) int64 each BIN row's line
    defects     (d, 5) int64 a certificate's defect rows: index, x, y,
                length, width (what the solver read)
    defect_bins (d,) int64 the bin (plate) each defect row puts it in
    defect_lines (d,) int64 each defect row's line
    nodes       (m, 10) int64 a guillotine certificate's tree in file order:
                plate, copies, node id, x, y, length (WIDTH), width (HEIGHT),
                type, depth (CUT), parent (-1 for a root)
    node_lines  (m,) int64 each node's line

    Pass it whole to check_placements() to judge it as sheetkit does.
    """

    __slots__ = ("file", "format", "instance", "placements", "sides", "copies", "lines",
                 "bins", "bin_lines", "defects", "defect_bins", "defect_lines", "nodes",
                 "node_lines")

    def __init__(self, **fields):
        for name in self.__slots__:
            setattr(self, name, fields[name])

    def __repr__(self):
        return (f"<sheetgen.Solution {self.format} of {self.file!r}"
                f"{'' if self.instance is None else f', instance {self.instance}'}: "
                f"{len(self.placements)} placed items>")


def read_solution(path):
    """The solutions in a file, one Solution per instance: PackingSolver's
    rectangle and rectangleguillotine certificates (one instance each) and
    sheetkit's placement CSV (header instance,item_type,x,y,rotated; one
    Solution per instance that has rows, in increasing order), told apart
    by the header, read by sheetkit's own strict readers.

    Anything they refuse raises sheetgen.Error with sheetkit's message,
    "FILE:LINE: what is wrong"; a file that cannot be opened raises
    OSError, as Python's open() does. The whole file is read into memory.
    """
    name = _file_name("path", path)
    solutions = _sheetgen.read_solution(name)
    shown = os.fsdecode(name)
    for s in solutions:
        s["file"] = shown
    return [Solution(**s) for s in solutions]
