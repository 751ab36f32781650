"""Runs the manual's examples and compares what they print with what the pages show.

The manual is walked as a new reader follows it: README.md, then every page
its contents list links, in that order (a page joins by being listed there;
a page of docs/ that it does not list is an error), all in ONE folder, each
command seeing what the ones before it left. Every relative link of a page
must lead to a file of the tree and, with #anchor, to one of its headings.

An example is a fenced block whose first line begins with "$ ". Every other
block (install and build commands, file formats, Python) is not run, and the
run says so for each. An example must follow a comment that says what it
needs, so that nothing is guessed:

  <!-- example: folder=worked -->   the worked example's files as sheetgen
                                    writes them from examples/worked_example.txt
                                    (README's session writes them; the walk
                                    fails where an earlier example left them
                                    changed)
  <!-- example: folder=empty -->    none of a run's files
  input=FILE                        (with either) the commands read FILE on
                                    standard input; the page shows each answer
                                    after its prompt, as a terminal would, so
                                    the answers are taken out before comparing

The folder holds copies of the source tree's examples/ and docs/, as README
has the reader make it, and nothing else; sheetgen and sheetkit are on the
PATH. The commands of a block run in turn, with standard error merged into
standard output, and must print exactly the lines below them. A line that
ends in " ..." stands for any text that begins with what comes before it, up
to the next line shown (README shortens sheetgen's banner so).

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


def prepare(folder, source):
    """The folder README has the reader make: copies of examples/ and docs/."""
    for name in ("examples", "docs"):
        shutil.copytree(os.path.join(source, name), os.path.join(folder, name))


def worked_files(scratch, source, sheetgen):
    """{name: bytes} of the worked example's files, made aside."""
    folder = tempfile.mkdtemp(dir=scratch)
    with open(os.path.join(source, "examples", "worked_example.txt")) as answers:
        subprocess.run([sheetgen], cwd=folder, stdin=answers, stdout=subprocess.DEVNULL,
                       check=True)
    made = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            made[name] = f.read()
    return made


def require_worked(folder, worked, where):
    for name, expected in worked.items():
        try:
            with open(os.path.join(folder, name), "rb") as f:
                found = f.read()
        except OSError as e:
            raise Wrong(f"{where}: the example needs the worked example's {name}, which the "
                        f"examples before it did not leave ({e.strerror})")
        if found != expected:
            raise Wrong(f"{where}: the example needs the worked example's {name}, which an "
                        "example before it changed")


class Shell:
    """Where the reader stands: a `cd` in one command holds for the next
    ones, as in a terminal."""

    def __init__(self, folder, env, scratch):
        self.cwd = folder
        self.env = env
        self.record = os.path.join(scratch, "cwd")

    def run(self, command, stdin):
        # The command's own status, then where it left the shell.
        script = 'eval "$1"; status=$?; pwd -P > "$2"; exit $status'
        result = subprocess.run(["bash", "-c", script, "bash", command, self.record],
                                cwd=self.cwd, env=self.env, stdin=stdin,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            with open(self.record) as f:
                self.cwd = f.read().rstrip("\n") or self.cwd
            os.remove(self.record)
        except FileNotFoundError:  # the command ended the shell itself
            pass
        return result


def run_block(where, setup_text, block, shell, worked):
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
    if setup["folder"] == "worked":
        require_worked(shell.cwd, worked, where)
    answers = None
    if "input" in setup:
        with open(os.path.join(shell.cwd, setup["input"])) as f:
            answers = f.read().splitlines()
    failures = 0
    for command, shown in commands(block):
        if answers is not None:
            expected = without_answers(shown, answers, where)
            given = os.path.join(shell.cwd, setup["input"])
        else:
            expected = "".join(line + "\n" for line in shown)
            given = os.devnull
        with open(given) as stdin:
            result = shell.run(command, stdin)
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


CONTENTS = re.compile(r"^## Contents\s*$")
PAGE_LINK = re.compile(r"\]\(([^)#\s]+\.md)(?:#[^)]*)?\)")


def pages(source):
    """README.md, then the pages its contents list links, in their order;
    and the pages of docs/ it leaves out."""
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    listed = ["README.md"]
    inside = False
    for line in lines:
        if CONTENTS.match(line):
            inside = True
        elif inside and line.startswith("#"):
            break
        elif inside:
            for target in PAGE_LINK.findall(line):
                page = os.path.normpath(target)
                if page not in listed:
                    listed.append(page)
    docs = os.path.join(source, "docs")
    unlisted = sorted(os.path.join("docs", name) for name in os.listdir(docs)
                      if name.endswith(".md") and os.path.join("docs", name) not in listed)
    return listed, unlisted


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
    source, sheetgen, sheetkit = (os.path.abspath(a) for a in sys.argv[1:4])
    scratch = tempfile.mkdtemp(prefix="readme_examples_")
    failures = 0
    try:
        tools = os.path.join(scratch, "bin")
        os.makedirs(tools)
        os.symlink(sheetkit, os.path.join(tools, "sheetkit"))
        os.symlink(sheetgen, os.path.join(tools, "sheetgen"))
        env = dict(os.environ, PATH=tools + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
        worked = worked_files(scratch, source, sheetgen)
        folder = os.path.join(scratch, "sheetgen-examples")
        prepare(folder, source)
        folder = os.path.realpath(folder)
        shell = Shell(folder, env, scratch)
        listed, unlisted = pages(source)
        for page in unlisted:
            failures += 1
            print(f"{page}: not in README's contents, so no reader finds it (and the walk "
                  "does not run it): list it there")
        for page in listed:
            with open(os.path.join(source, page), encoding="utf-8") as f:
                lines = f.read().split("\n")
            for wrong in broken_links(page, lines, source):
                failures += 1
                print(wrong)
            for number, setup_text, block in blocks(lines):
                try:
                    failures += run_block(f"{page}:{number}", setup_text, block, shell,
                                          worked)
                except Wrong as e:
                    failures += 1
                    print(e)
            if shell.cwd != folder:
                failures += 1
                print(f"{page}: ends in {os.path.relpath(shell.cwd, folder)}, not in the folder "
                      "it began in, where the next page goes on")
                shell.cwd = folder
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    if failures:
        print(f"{failures} example(s) or link(s) differ from the pages")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
