"""Reads what sheetkit export writes as a Python user would: the JSON
document with json.load, JSON lines one at a time with json.loads, and
requires both to hold the same run; and holds the answers to the suite
file's names by making the run again from them as a suite's class.

usage: export_read_back.py SHEETGEN SHEETKIT WORKED_EXAMPLE_ANSWERS
"""

import json
import os
import subprocess
import sys
import tempfile

import reader_tools


def export(sheetkit, folder, answers, to, where):
    subprocess.run([sheetkit, "export", "--answers", answers, "--to", to, "-o", where],
                   cwd=folder, check=True, stdout=subprocess.PIPE)


def read_lines(path):
    with open(path) as lines:
        run = json.loads(next(lines))
        instances = [json.loads(line) for line in lines]
    return run, instances


def main():
    sheetgen, sheetkit, worked = sys.argv[1:4]
    # The worked example, and a run with instances of several blocks' worth
    # of items and defects.
    runs = {
        "worked.answers": open(worked).read(),
        "larger.answers": "40\n500\n300\n250\n0.0001\n0.01\n3\n5 7\n500 1\n1 300\n"
                          "larger_i.txt\nlarger_d.txt\n7\n0\n",
    }
    with tempfile.TemporaryDirectory() as folder:
        reader_tools.make_runs(sheetgen, folder, runs)
        for name in runs:
            base = name.split(".")[0]
            export(sheetkit, folder, name, "json", base + ".json")
            export(sheetkit, folder, name, "jsonl", base + ".jsonl")
            with open(os.path.join(folder, base + ".json")) as f:
                document = json.load(f)
            run, instances = read_lines(os.path.join(folder, base + ".jsonl"))
            assert run == {"format_version": 2, "object": document["object"],
                           "answers": document["answers"]}, name
            assert [i.pop("instance") for i in instances] == \
                list(range(1, len(document["instances"]) + 1)), name
            assert instances == document["instances"], name
            assert len(instances) == run["answers"]["instances"], name
            # Standard output gives the same lines.
            printed = subprocess.run([sheetkit, "export", "--answers", name, "--to", "jsonl",
                                      "-o", "-"], cwd=folder, check=True,
                                     stdout=subprocess.PIPE).stdout
            with open(os.path.join(folder, base + ".jsonl"), "rb") as f:
                assert printed == f.read(), name

        run, instances = read_lines(os.path.join(folder, "worked.jsonl"))
        assert run["object"] == {"length": 10, "width": 10}
        assert run["answers"]["lower"] == "0.1" and run["answers"]["seed"] == 19
        assert run["answers"]["defects"] == [[3, 2], [10, 1]]
        assert instances[1]["items"] == [[3, 6, 18], [7, 2, 14], [2, 9, 18], [2, 5, 10]]
        assert instances[1]["defects"] == [[1, 0, 4, 2], [0, 4, 10, 5]]

        # One vocabulary: the answers, but for the area bounds they imply,
        # are a suite file's class, which makes the same run again.
        for name in runs:
            base = name.split(".")[0]
            run, _ = read_lines(os.path.join(folder, base + ".jsonl"))
            answers = dict(run["answers"])
            del answers["min_area"], answers["max_area"]
            seed = answers.pop("seed")
            suite = {"suite": "again", "seeds": [seed],
                     "classes": [dict(name=base, **run["object"], **answers)]}
            with open(os.path.join(folder, base + ".suite.json"), "w") as f:
                json.dump(suite, f)
            subprocess.run([sheetkit, "suite", "make", base + ".suite.json", "-o", base + "-again"],
                           cwd=folder, check=True, stdout=subprocess.DEVNULL)
            made = os.path.join(folder, base + "-again", base, f"s{seed}")
            first = {"worked": "instances.txt", "larger": "larger_i.txt"}[base]
            with open(os.path.join(made, "instances.txt"), "rb") as again, \
                    open(os.path.join(folder, first), "rb") as f:
                assert again.read() == f.read(), name
    print("json and jsonl read back the same")


if __name__ == "__main__":
    main()
