"""Runs the manual's examples and compares what they print with what the pages show.

The pages are README.md, every docs/*.md and CONTRIBUTING.md of the source
tree, found when the test runs, so that a new page is replayed too. Every
relative link of a page must lead to a file of the tree and, with #anchor,
to one of its headings.

An example is a fenced block whose first line begins with "$ ". Every other
block (install and build commands, file formats, Python) is not run, and the
run says so for each. An example must follow a comment that names the
folder it runs in, so that nothing is guessed:

  <!-- example: folder=worked -->   the worked example's files, as sheetgen
                                    writes them from examples/worked_example.txt
  <!-- example: folder=empty -->    no files of a run yet
  input=FILE                        (with either) the commands read FILE on
                                    standard input; the page shows each answer
                                    after its prompt, as a terminal would, so
                                    the answers are taken out before comparing

The folder also holds copies of the source tree's examples/ and docs/, as
README has the reader make it, and build/sheetgen; sheetgen and sheetkit are
on the PATH. The commands of one block run in
turn in one folder, with standard error merged into standard output, and
must print exactly the lines below them. A line that ends in " ..." stands
for any text that begins with what comes before it, up to the next line
shown (README shortens sheetgen's banner so).

usage: readme_examples.py SOURCE_DIR SHEETGEN SHEETKIT
"""

import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```")


class Wrong(Exception):
    """An example that cannot be run as its page writes it."""

SETUP = re.compile(r"^<!-- example:(.*)-->\s*$")


def blocks(lines):
    """(line number of the fence, setup comment or None, the block's lines)."""
    i = 0
    while i < len(lines):
        if FENCE.match(lines[i]):
            start = i
            j = i + 1
            while j < len(lines) and not FENCE.match(lines[j]):
                j += 1
            before = lines[start - 1] if start > 0 else ""
            setup = SETUP.match(before)
            yield start + 1, setup.group(1).strip() if setup else None, lines[start + 1 : j]
            i = j + 1
        else:
            i += 1


def parse_setup(text, where):
    setup = {}
    for item in text.split():
        key, _, value = item.partition("=")
        if key not in ("folder", "input") or not value:
            raise Wrong(f"{where}: unknown setting {item!r} in the example comment")
        setup[key] = value
    if setup.get("folder") not in ("worked", "empty"):
        raise Wrong(f"{where}: the example comment needs folder=worked or folder=empty")
    return setup


def commands(block):
    """(command, the lines shown after it)."""
    out = []
    for line in block:
        if line.startswith("$ "):
            out.append((line[2:], []))
        else:
            out[-1][1].append(line)
    return out


def without_answers(shown, answers, where):
    """The session as the program prints it: each answer shown after its
    prompt is taken out, with the line end typed after it."""
    text = ""
    left = list(answers)
    for line in shown:
        if left and line.endswith(" " + left[0]):
            text += line[: len(line) - len(left[0])]
            left.pop(0)
        else:
            text += line + "\n"
    if left:
        raise Wrong(f"{where}: the session shows {len(answers) - len(left)} of the "
                    f"{len(answers)} answers in order; {left[0]!r} is missing after them")
    return text


def pattern(expected):
    parts = []
    for line in expected.split("\n"):
        if line.endswith(" ..."):
            parts.append(re.escape(line[:-4]) + ".*?")
        else:
            parts.append(re.escape(line))
    return re.compile("\n".join(parts), re.DOTALL)


def prepare(folder, setup, source, sheetgen):
    for name in ("examples", "docs"):
        shutil.copytree(os.path.join(source, name), os.path.join(folder, name))
    os.makedirs(os.path.join(folder, "build"))
    os.symlink(sheetgen, os.path.join(folder, "build", "sheetgen"))
    if setup["folder"] == "worked":
        with open(os.path.join(source, "examples", "worked_example.txt")) as answers:
            subprocess.run([sheetgen], cwd=folder, stdin=answers, stdout=subprocess.DEVNULL,
                           check=True)


def run_block(where, setup_text, block, scratch, env, source, sheetgen):
    """Runs one block's commands; returns how many print otherwise."""
    if not block or not block[0].startswith("$ "):
        if setup_text is not None:
            raise Wrong(f"{where}: an example comment before a block without a '$ ' command")
        print(f"{where}: skipped: no '$ ' on its first line, so not an example")
        return 0
    if setup_text is None:
        raise Wrong(f"{where}: an example needs a comment before it, such as "
                    "<!-- example: folder=worked -->")
    setup = parse_setup(setup_text, where)
    folder = tempfile.mkdtemp(dir=scratch)
    prepare(folder, setup, source, sheetgen)
    answers = None
    if "input" in setup:
        with open(os.path.join(folder, setup["input"])) as f:
            answers = f.read().splitlines()
    failures = 0
    for command, shown in commands(block):
        if answers is not None:
            expected = without_answers(shown, answers, where)
            given = os.path.join(folder, setup["input"])
        else:
            expected = "".join(line + "\n" for line in shown)
            given = os.devnull
        with open(given) as stdin:
            result = subprocess.run(["bash", "-c", command], cwd=folder, env=env, stdin=stdin,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        printed = result.stdout.decode("utf-8", "replace")
        if pattern(expected).fullmatch(printed):
            print(f"{where}: $ {command}: as shown")
            continue
        failures += 1
        print(f"{where}: $ {command}: prints otherwise than the page shows "
              f"(status {result.returncode}):")
        sys.stdout.writelines(difflib.unified_diff(
            expected.splitlines(True), printed.splitlines(True), "the page", "printed"))
        print()
    return failures


def pages(source):
    docs = os.path.join(source, "docs")
    found = sorted(os.path.join("docs", name) for name in os.listdir(docs) if name.endswith(".md"))
    return ["README.md"] + found + ["CONTRIBUTING.md"]


LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchor(heading):
    """The anchor a heading gets on GitHub: lower case, punctuation out, spaces to hyphens."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def broken_links(page, lines, source):
    """Relative links that lead to no file, or to no heading of it."""
    wrong = []
    for number, line in enumerate(lines, 1):
        for target in LINK.findall(line):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, fragment = target.partition("#")
            file = os.path.normpath(os.path.join(source, os.path.dirname(page), path or os.path.basename(page)))
            if not os.path.exists(file):
                wrong.append(f"{page}:{number}: the link {target} leads to no file")
            elif fragment and file.endswith(".md"):
                with open(file, encoding="utf-8") as f:
                    headings = {anchor(h) for h in re.findall(r"^#+ (.*)$", f.read(), re.M)}
                if fragment not in headings:
                    wrong.append(f"{page}:{number}: the link {target} leads to no heading")
    return wrong


def main():
    source, sheetgen, sheetkit = sys.argv[1:4]
    scratch = tempfile.mkdtemp(prefix="readme_examples_")
    failures = 0
    try:
        tools = os.path.join(scratch, "bin")
        os.makedirs(tools)
        os.symlink(sheetkit, os.path.join(tools, "sheetkit"))
        os.symlink(sheetgen, os.path.join(tools, "sheetgen"))
        env = dict(os.environ, PATH=tools + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
        for page in pages(source):
            with open(os.path.join(source, page), encoding="utf-8") as f:
                lines = f.read().split("\n")
            for wrong in broken_links(page, lines, source):
                failures += 1
                print(wrong)
            for number, setup_text, block in blocks(lines):
                try:
                    failures += run_block(f"{page}:{number}", setup_text, block, scratch, env,
                                          source, sheetgen)
                except Wrong as e:
                    failures += 1
                    print(e)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    if failures:
        print(f"{failures} example(s) or link(s) differ from the pages")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
