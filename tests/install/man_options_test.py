#!/usr/bin/env python3
"""The man pages name the options their programs' --help names, and no other.

Usage: man_options_test.py MAN_DIR QUORVATH BTRUTIL
quorvath(1): the OPTIONS made from --help hold every option of it, the rest of the page names
only options --help has, and its SYNOPSIS names every option of the help's usage lines.
btrutil(1): the commands and options the page sets in bold are those of btrutil --help.
"""
import os
import re
import sys

OPTION = r"(?<![\w/-])--?[a-z][a-z0-9-]*"


def plain(roff):
    return roff.replace("\\-", "-")


def unstyled(roff):
    return re.sub(r"\\f[BIRP]", "", plain(roff))


def bold_options(page):
    """The option names the page sets in bold: \\fB...\\fR spans and .B/.BR lines."""
    text = plain(page)
    spans = re.findall(r"\\fB(.*?)(?=\\f[RIP]|$)", text, re.M)
    spans += re.findall(r"^\.BR? (.*)$", text, re.M)
    return {name for span in spans for name in re.findall(OPTION, span)}


def section(page, name):
    match = re.search(r"^\.SH " + name + r"\n(.*?)(?=^\.SH |\Z)", page, re.M | re.S)
    return match.group(1) if match else ""


def check(failures, what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: missing {sorted(wanted - got)}, extra {sorted(got - wanted)}")


def main():
    man_dir, quorvath, btrutil = sys.argv[1:4]
    sys.path.insert(0, man_dir)
    import make_man

    failures = []
    help_text = make_man.help_text(quorvath)
    options = {n for names, _, _ in make_man.option_lines(help_text) for n in names}
    if len(options) < 20:
        failures.append(f"quorvath --help shows only {sorted(options)}")
    with open(os.path.join(man_dir, "quorvath.1.in"), encoding="utf-8") as f:
        template = f.read()
    page = make_man.render(template, "quorvath", help_text, "0")
    check(failures, "quorvath(1) OPTIONS", bold_options(section(page, "OPTIONS")), options)
    stale = bold_options(template) - options
    if stale:
        failures.append(f"quorvath(1) names options --help lacks: {sorted(stale)}")
    usage = "\n".join(line for line in help_text.splitlines()
                      if line.startswith(("Usage:", "  or:")))
    synopsis = set(re.findall(OPTION, unstyled(section(template, "SYNOPSIS"))))
    missing = set(re.findall(OPTION, usage)) - synopsis
    if missing:
        failures.append(f"quorvath(1) SYNOPSIS lacks {sorted(missing)}")

    help_text = make_man.help_text(btrutil)
    with open(os.path.join(man_dir, "btrutil.1.in"), encoding="utf-8") as f:
        template = f.read()
    check(failures, "btrutil(1)", bold_options(template), set(re.findall(OPTION, help_text)))
    page = make_man.render(template, "btrutil", help_text, "0")
    commands = set(re.findall(OPTION, "\n".join(make_man.command_lines(help_text))))
    check(failures, "btrutil(1) SYNOPSIS", set(re.findall(OPTION, unstyled(section(page, "SYNOPSIS")))),
          commands)

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
