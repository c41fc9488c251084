#!/usr/bin/env python3
"""Writes a man page from its template, the OPTIONS section taken from the program's --help.

Usage: make_man.py TEMPLATE PROGRAM VERSION OUTPUT
Each option line of the help ("  --name VALUE   description") becomes a .TP entry; the
template's @OPTIONS@ and @VERSION@ are replaced.
"""
import re
import subprocess
import sys


def roff(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


def option_entries(help_text):
    entries = []
    pending = None
    for line in help_text.splitlines():
        match = re.match(r"^  (-\S.*?)(?:\s{2,}(\S.*))?$", line)
        if match:
            names, description = match.group(1).strip(), match.group(2)
            pending = [names, description or ""]
            entries.append(pending)
        elif pending is not None and line.startswith("    ") and not pending[1]:
            pending[1] = line.strip()
        else:
            pending = None
    out = []
    for names, description in entries:
        parts = []
        for word in names.split(" "):
            if word.startswith("-"):
                # "--ddl,--no-ddl{false}": the flags without the parser's default marks
                flags = [f"\\fB{roff(re.sub(r'{[^}]*}$', '', n))}\\fR"
                         for n in word.split(",") if n]
                parts.append(", ".join(flags))
            elif word:
                parts.append(f"\\fI{roff(word)}\\fR")
        out.append(".TP\n" + " ".join(parts) + "\n" + roff(description))
    return "\n".join(out)


def main():
    template, program, version, output = sys.argv[1:5]
    help_text = subprocess.run([program, "--help"], check=True, capture_output=True,
                               text=True, env={"LC_ALL": "C"}).stdout
    with open(template, encoding="utf-8") as f:
        page = f.read()
    page = page.replace("@OPTIONS@", option_entries(help_text))
    page = page.replace("@VERSION@", version)
    with open(output, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
