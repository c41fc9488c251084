#!/usr/bin/env python3
"""Writes a man page from its template, with the parts taken from the program's --help.

Usage: make_man.py TEMPLATE PROGRAM VERSION OUTPUT
@OPTIONS@ becomes a .TP entry per option line of the help ("  --name, --other VALUE  text",
the text wrapped onto lines indented under it); @SYNOPSIS@ a line per command of the help
("  -command ARGUMENTS  (note)"); @VERSION@ the version.
"""
import re
import subprocess
import sys


def roff(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


def help_text(program):
    return subprocess.run([program, "--help"], check=True, capture_output=True, text=True,
                          env={"LC_ALL": "C"}).stdout


def option_lines(text):
    """[(names, value, description)] of the help's option lines, names a list."""
    entries = []
    pending = None
    for line in text.splitlines():
        match = re.match(r"^  (-[^ ,]+(?:, -[^ ,]+)*)((?: [^ -][^ ]*)?)(?:\s{2,}(\S.*))?$", line)
        if match:
            pending = [match.group(1).split(", "), match.group(2).strip(), match.group(3) or ""]
            entries.append(pending)
        elif pending is not None and re.match(r"^ {4,}\S", line):
            pending[2] = (pending[2] + " " + line.strip()).strip()
        else:
            pending = None
    return [tuple(entry) for entry in entries]


def options_section(text):
    out = []
    for names, value, description in option_lines(text):
        head = ", ".join(f"\\fB{roff(name)}\\fR" for name in names)
        if value:
            head += f" \\fI{roff(value)}\\fR"
        out.append(".TP\n" + head + "\n" + roff(description))
    return "\n".join(out)


def command_lines(text):
    """The help's commands: "-create FILE DESCRIPTION [Y|N]", without the notes."""
    commands = []
    for line in text.splitlines():
        match = re.match(r"^  (-\S.*?)(?:\s{2,}\(.*)?$", line)
        if match:
            commands.append(match.group(1).strip())
    return commands


def synopsis_words(command):
    """One command's words in roff: names bold, values italic, brackets plain."""
    out = []
    for token in re.findall(r"/O<[^>]*>|-{1,2}[a-z]+|[A-Z][A-Z0-9]*|\S", command):
        if token.startswith("/O<"):
            out.append(f"\\fB/O\\fI{token[3:-1]}\\fR")
        elif token.startswith("-") and len(token) > 1:
            out.append(f"\\fB{roff(token)}\\fR")
        elif re.fullmatch(r"[A-Z][A-Z0-9]+", token):
            out.append(f"\\fI{token}\\fR")
        elif re.fullmatch(r"[A-Z]", token):
            out.append(f"\\fB{token}\\fR")
        else:
            out.append(token)
    # A bracket or bar joins its neighbours; words stand apart.
    text = ""
    for word in out:
        if text and not text.endswith(("[", "|")) and word not in ("]", "|"):
            text += " "
        text += word
    return text


def synopsis_section(program, text):
    name = roff(program)
    return "\n".join(f".B {name}\n{synopsis_words(c)}\n.br" for c in command_lines(text))


def render(template, program_name, text, version):
    page = template.replace("@OPTIONS@", options_section(text))
    page = page.replace("@SYNOPSIS@", synopsis_section(program_name, text))
    return page.replace("@VERSION@", version)


def main():
    template, program, version, output = sys.argv[1:5]
    with open(template, encoding="utf-8") as f:
        page = f.read()
    name = re.sub(r".*/", "", program)
    page = render(page, name, help_text(program), version)
    with open(output, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
