"""Where `cmake --install --prefix PREFIX` puts the package for the
interpreter that runs this: printed as "FOLDER;yes" when the interpreter
looks there by itself, else "FOLDER;no" (FOLDER then belongs on PYTHONPATH).

usage: python3 install_dir.py PREFIX
"""

import os
import site
import sys
import sysconfig


def under(path, prefix):
    # PREFIX/lib... itself: /usr/local/lib/... is no folder of the prefix /usr.
    path, prefix = os.path.realpath(path), os.path.realpath(prefix)
    if os.path.commonpath([path, prefix]) != prefix:
        return False
    return os.path.relpath(path, prefix).split(os.sep)[0].lower() in ("lib", "lib64")


def main():
    prefix = os.path.abspath(sys.argv[1])
    # The folders the interpreter searches for packages, its own first
    # (site.getsitepackages names them whether or not they exist yet, as
    # /usr/local's on Debian), then the user's site, which is searched
    # when it exists (`--prefix ~/.local`).
    searched = list(site.getsitepackages()) if hasattr(site, "getsitepackages") else []
    if site.ENABLE_USER_SITE:
        searched.append(site.getusersitepackages())
    searched += [p for p in sys.path if p.endswith(("site-packages", "dist-packages"))]
    for folder in searched:
        if under(folder, prefix):
            print(f"{folder};yes")
            return
    # Nothing under the prefix is searched: its layout as sysconfig gives
    # it for a prefix, P/lib/pythonX.Y/site-packages on POSIX.
    scheme = "nt" if os.name == "nt" else "posix_prefix"
    folder = sysconfig.get_path("purelib", scheme, vars={"base": prefix, "platbase": prefix})
    print(f"{folder};no")


if __name__ == "__main__":
    main()
