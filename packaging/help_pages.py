"""Writes ondrel's man page and the tables of its bash completion from the command's own --help,
so that neither can fall behind the options the command takes.

usage: help_pages.py ONDREL --version V --date YYYY-MM-DD --installed-module PATH --man OUT.1
                     --completion-template IN --completion OUT

The help is CLI11's: a description, a "Usage:" line, then sections ("Positionals:", "Options:",
"Subcommands:") of entries whose name fills the first 30 columns, or a line of its own when
longer, with the description from column 30. Every subcommand named in the top-level help is
asked for its own. --installed-module is where the installed command finds the module, from its
own folder: the page names it as --module's default, in place of the path the build tree's
command shows.
"""
import argparse
import os
import re
import subprocess
import sys

NAME_COLUMNS = 30
# Words of an option's name column that follow its flags, as CLI11 writes them.
CONSTRAINTS = ("REQUIRED", "Excludes:", "Needs:")


class Entry:
    def __init__(self, names):
        self.names = names  # flags, or the positional's name
        self.value = None  # TEXT, INT, ... when the option takes a value
        self.default = None
        self.repeated = False
        self.notes = []  # "Excludes: --size", "REQUIRED"
        self.description = ""


class Help:
    def __init__(self, description, usage, sections):
        self.description = description
        self.usage = usage
        self.sections = sections  # [(title, [Entry])]

    def section(self, title):
        return next((entries for name, entries in self.sections if name == title), [])


def parse_entry_name(text):
    """'-i,--input TEXT Excludes: --size' -> Entry. Positionals read 'EFFECT TEXT REQUIRED'."""
    words = text.split()
    entry = Entry(words[0].split(","))
    rest = words[1:]
    if rest and rest[0] not in CONSTRAINTS and rest[0][0].isupper():
        value, _, default = rest.pop(0).partition("=")
        entry.value = value
        # A default may hold spaces (a path): it runs to "..." or the first constraint.
        while rest and rest[0] != "..." and rest[0] not in CONSTRAINTS:
            default += " " + rest.pop(0)
        entry.default = default or None
    if rest and rest[0] == "...":
        entry.repeated = True
        rest.pop(0)
    note = []
    for word in rest:
        if word in CONSTRAINTS and note:
            entry.notes.append(" ".join(note))
            note = []
        note.append(word)
    if note:
        entry.notes.append(" ".join(note))
    return entry


def parse_help(text):
    lines = text.splitlines()
    usage_at = next(i for i, line in enumerate(lines) if line.startswith("Usage: "))
    description = " ".join(line.strip() for line in lines[:usage_at] if line.strip())
    usage = lines[usage_at][len("Usage: "):].strip()
    sections = []
    entry = None
    for line in lines[usage_at + 1:]:
        if not line.strip():
            continue
        if not line.startswith(" "):
            sections.append((line.rstrip(":"), []))
            entry = None
        elif line.startswith(" " * NAME_COLUMNS) and entry is not None:
            entry.description = (entry.description + " " + line.strip()).strip()
        else:
            short = len(line) > NAME_COLUMNS and line[NAME_COLUMNS - 1] == " "
            name = line[:NAME_COLUMNS] if short else line
            entry = parse_entry_name(name.strip())
            entry.description = line[NAME_COLUMNS:].strip() if short else ""
            sections[-1][1].append(entry)
    return Help(description, usage, sections)


def run_help(command, *words):
    result = subprocess.run([command, *words, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"help_pages.py: {' '.join([command, *words])} --help failed: {result.stderr}")
    return parse_help(result.stdout)


# --- the man page -------------------------------------------------------------------------------

def roff(text):
    """Plain text as roff: backslashes escaped, a dash that starts a word (an option or a minus
    sign) as a minus, and no line taken for a request."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w-])-+", lambda dashes: "\\-" * len(dashes.group()), text)
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def man_entry(entry, defaults):
    """An option or positional as a tagged paragraph; defaults replace the ones the help shows,
    by the option's long name."""
    if entry.names[0].startswith("-"):
        head = ", ".join(f"\\fB{roff(name)}\\fR" for name in entry.names)
    else:
        head = f"\\fI{roff(entry.names[0])}\\fR"
    if entry.value and entry.names[0].startswith("-"):
        head += f" \\fI{roff(entry.value)}\\fR"
    if entry.repeated:
        head += " ..."
    text = entry.description.rstrip(".")
    default = defaults.get(entry.names[-1], entry.default)
    sentences = [text] if text else []
    if default:
        sentences.append(f"Default: {default}")
    for note in entry.notes:
        if note == "REQUIRED":
            sentences.append("Required")
        elif note.startswith("Excludes: "):
            sentences.append("Not with " + note[len("Excludes: "):].replace(" ", ", "))
        elif note.startswith("Needs: "):
            sentences.append("Only with " + note[len("Needs: "):].replace(" ", ", "))
    body = ". ".join(sentences) + ("." if sentences else "")
    return f".TP\n{head}\n{roff(body)}\n"


def man_entries(help, title, defaults):
    entries = help.section(title)
    if not entries:
        return ""
    return f".PP\n\\fB{title}\\fR\n" + "".join(man_entry(e, defaults) for e in entries)


def man_page(top, subcommands, version, date, installed_module):
    defaults = {"--module": f"{installed_module} from the folder that holds ondrel"}
    first = top.description.partition(".")[0]
    summary = first[0].lower() + first[1:]
    page = [
        f'.TH ONDREL 1 "{date}" "ondrel {version}" "User Commands"\n',
        f".SH NAME\nondrel \\- {roff(summary)}\n",
        ".SH SYNOPSIS\n",
        ".br\n".join(f".B ondrel\n{roff(help.usage[len('ondrel '):])}\n"
                     for help in [top] + [h for _, h in subcommands]),
        f".SH DESCRIPTION\n{roff(top.description)}\n",
        ".PP\nEach subcommand below takes the global options too, before or after its name.\n",
        ".SH OPTIONS\n",
        "".join(man_entry(e, defaults) for e in top.section("Options")),
        ".SH SUBCOMMANDS\n",
    ]
    for name, help in subcommands:
        page.append(f'.SS "ondrel {name}"\n{roff(help.description)}\n')
        page.append(f".PP\nUsage: \\fBondrel\\fR {roff(help.usage[len('ondrel '):])}\n")
        page.append(man_entries(help, "Positionals", defaults))
        page.append(man_entries(help, "Options", defaults))
    example = os.path.normpath(os.path.join("/usr/bin", installed_module))
    page.append(
        f".SH FILES\n.TP\n.I {roff(installed_module)}\n"
        + roff(f"The module loaded without --module, taken from the folder that holds ondrel "
               f"(/usr/bin/ondrel loads {example}), with its registration records, "
               f"{os.path.splitext(os.path.basename(example))[0]}.pipl, beside it.") + "\n"
        ".SH EXIT STATUS\n"
        + "".join(f".TP\n{status}\n{roff(meaning)}\n" for status, meaning in (
            ("0", "The command did what was asked."),
            ("1", "A render, a file or a recipe failed (a bad value read from a recipe "
                  "included), after one line on standard error that says what failed."),
            ("2", "A mistake in the command line itself: an unknown option, command, effect, "
                  "parameter or popup item, a missing argument or a bad value, named in one line "
                  "on standard error with the nearest name where one was mistyped."),
            ("128+N", "Signal N ended the command (130 for an interrupt), its unfinished files "
                      "removed."))))
    return "".join(page)


# --- the completion's tables --------------------------------------------------------------------

def words(entries):
    return " ".join(name for entry in entries for name in entry.names)


def completion_tables(top, subcommands):
    takes_value = {}
    for help in [top] + [h for _, h in subcommands]:
        for entry in help.section("Options"):
            for name in entry.names:
                if takes_value.setdefault(name, bool(entry.value)) != bool(entry.value):
                    sys.exit(f"help_pages.py: {name} takes a value in one subcommand and not in "
                             "another, which the completion cannot tell apart")
    valued = sorted(name for name, value in takes_value.items() if value)
    with_effect = [name for name, help in subcommands
                   if any(e.names[0] == "EFFECT" for e in help.section("Positionals"))]
    cases = "".join(f"    {name}) echo \"{words(help.section('Options'))}\" ;;\n"
                    for name, help in subcommands)
    return (f'_ondrel_subcommands="{" ".join(name for name, _ in subcommands)}"\n'
            f'_ondrel_global_options="{words(top.section("Options"))}"\n'
            f'_ondrel_effect_subcommands="{" ".join(with_effect)}"\n'
            f"# The options of a subcommand (the global ones apart).\n"
            f"_ondrel_subcommand_options() {{\n    case $1 in\n{cases}    esac\n}}\n"
            f"# Whether an option takes a value (the next word).\n"
            f"_ondrel_takes_value() {{\n    case $1 in\n"
            f"    {'|'.join(valued)}) return 0 ;;\n    esac\n    return 1\n}}\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command")
    parser.add_argument("--version", required=True)
    parser.add_argument("--date", required=True)
    parser.add_argument("--man", required=True)
    parser.add_argument("--completion-template", required=True)
    parser.add_argument("--completion", required=True)
    parser.add_argument("--installed-module", required=True)
    args = parser.parse_args()

    top = run_help(args.command)
    subcommands = [(e.names[0], run_help(args.command, e.names[0]))
                   for e in top.section("Subcommands")]
    if not subcommands:
        sys.exit("help_pages.py: the help names no subcommands")
    with open(args.man, "w") as out:
        out.write(man_page(top, subcommands, args.version, args.date, args.installed_module))
    with open(args.completion_template) as template:
        completion = template.read().replace("@ONDREL_HELP_TABLES@",
                                             completion_tables(top, subcommands))
    with open(args.completion, "w") as out:
        out.write(completion)


if __name__ == "__main__":
    main()
