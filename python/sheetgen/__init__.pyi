import os
from typing import Iterable, Iterator, Literal, Sequence, TypedDict, overload

from typing_extensions import deprecated

import numpy as np
import numpy.typing as npt

__version__: str

_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]
_Int = int | np.integer
_Bound = str | float | np.floating
_Arrays = tuple[npt.NDArray[np.int32], npt.NDArray[np.int32]]

class Error(ValueError):
    """A bad answer or file; str(e) is the message the programs give."""

class InstanceIterator(Iterator[_Arrays]):
    def __iter__(self) -> InstanceIterator: ...
    def __next__(self) -> _Arrays: ...

class FileIterator(Iterator[_Arrays]):
    def __iter__(self) -> FileIterator: ...
    def __next__(self) -> _Arrays: ...

class _InstanceCount(int):
    @deprecated("iterate over the run itself: for items, defects in run")
    def __call__(self) -> InstanceIterator: ...

class _DefectSizes(list[tuple[int, int]]):
    @deprecated("use run[k][1] or run.arrays()")
    def __call__(self, k: _Int) -> npt.NDArray[np.int32]: ...

class Run(Sequence[_Arrays]):
    def __init__(
        self,
        *,
        length: _Int,
        width: _Int,
        instances: _Int,
        item_types: _Int,
        lower: _Bound,
        upper: _Bound,
        defects: Iterable[Sequence[_Int]] = (),
        seed: _Int,
    ) -> None: ...
    @classmethod
    def from_answers(cls, path: _Path) -> Run: ...
    @property
    def length(self) -> int: ...
    @property
    def width(self) -> int: ...
    @property
    def item_types(self) -> int: ...
    @property
    def lower(self) -> float: ...
    @property
    def upper(self) -> float: ...
    @property
    def min_area(self) -> int: ...
    @property
    def max_area(self) -> int: ...
    @property
    def instances(self) -> _InstanceCount: ...
    @property
    def defects(self) -> _DefectSizes: ...
    @property
    def defect_sizes(self) -> list[tuple[int, int]]: ...
    @property
    def seed(self) -> int: ...
    @property
    def instance_file(self) -> str | None: ...
    @property
    def defect_file(self) -> str | None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> InstanceIterator: ...
    @overload
    def __getitem__(self, k: _Int) -> _Arrays: ...
    @overload
    def __getitem__(self, k: slice) -> list[_Arrays]: ...
    def arrays(self) -> _Arrays: ...
    def items(self, k: _Int) -> npt.NDArray[np.int32]: ...
    def write(
        self,
        instance_file: _Path | None = None,
        defect_file: _Path | None = None,
        *,
        folder: _Path | None = None,
    ) -> None: ...

_FamilyInstance = tuple[
    npt.NDArray[np.int32], npt.NDArray[np.int32], npt.NDArray[np.int64], npt.NDArray[np.int64]
]

class FamilyRun(Sequence[_Arrays]):
    @property
    def length(self) -> int: ...
    @property
    def width(self) -> int: ...
    @property
    def settings(
        self,
    ) -> tuple[str, list[tuple[str, str]], str, list[tuple[str, str]], int, int]: ...
    def __len__(self) -> int: ...
    @overload
    def __getitem__(self, k: _Int) -> _Arrays: ...
    @overload
    def __getitem__(self, k: slice) -> list[_Arrays]: ...
    def __iter__(self) -> Iterator[_Arrays]: ...
    def instance(self, k: _Int) -> _FamilyInstance: ...
    def values(self, k: _Int) -> npt.NDArray[np.int64]: ...
    def copies(self, k: _Int) -> npt.NDArray[np.int64]: ...

def generate(
    family: str,
    *,
    instances: _Int = 1,
    seed: _Int = 1,
    defects: str | tuple[str, dict[str, _Int | str]] | None = None,
    layer: _Int | None = None,
    **parameters: _Int | str,
) -> FamilyRun: ...

def read(instance_file: _Path, defect_file: _Path | None = None) -> FileIterator: ...

class _CheckResult(TypedDict):
    feasible: bool
    violations: int
    messages: list[str]
    items_placed: int
    distinct_types: int
    placed_area: int
    profit: int
    usable_area: int
    area_bound: int
    utilisation: float
    gap: float

def check_placements(
    items: npt.ArrayLike,
    defects: npt.ArrayLike,
    length: _Int,
    width: _Int,
    placements: Solution | npt.ArrayLike,
    copies: _Int | None = 1,
    rotation: bool = False,
    *,
    sides: npt.ArrayLike | None = None,
    number_of_stages: _Int = 3,
    cut_type: Literal["non-exact", "exact"] = "non-exact",
    first_stage_orientation: Literal["vertical", "horizontal", "any"] = "any",
    cut_thickness: _Int = 0,
    minimum_waste_length: _Int = 1,
    cut_through_defects: bool = False,
) -> _CheckResult: ...

class _Bounds(TypedDict):
    object_area: int
    defect_area: int
    usable_area: int
    copies_that_fit: list[int]
    value_is_area: bool
    copies_value: int
    linear_relaxation: int
    knapsack: int
    knapsack_method: Literal["all_fit", "subset_sum", "dynamic_programming", "linear_relaxation"]
    knapsack_exact: bool
    knapsack_note: str | None
    best: int
    best_is: Literal["knapsack", "linear_relaxation", "copies_value", "usable_area"]

def bounds(
    items: npt.ArrayLike,
    defects: npt.ArrayLike,
    length: _Int,
    width: _Int,
    copies: _Int | None | Sequence[_Int | None] = 1,
    values: npt.ArrayLike | None = None,
    rotation: bool = False,
) -> _Bounds: ...

class Solution:
    file: str
    format: Literal["rectangle", "rectangleguillotine", "placements"]
    instance: int | None
    placements: npt.NDArray[np.int64]
    sides: npt.NDArray[np.int64]
    copies: npt.NDArray[np.int64]
    lines: npt.NDArray[np.int64]
    bins: npt.NDArray[np.int64]
    bin_lines: npt.NDArray[np.int64]
    defects: npt.NDArray[np.int64]
    defect_bins: npt.NDArray[np.int64]
    defect_lines: npt.NDArray[np.int64]
    nodes: npt.NDArray[np.int64]
    node_lines: npt.NDArray[np.int64]

def read_solution(path: _Path) -> list[Solution]: ...
