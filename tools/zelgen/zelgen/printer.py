"""A small text printer that fills `$var$` templates and keeps indentation.

Emitters build their output through one Printer per file: each `print`
substitutes `$name$` placeholders from keyword arguments (`$$` is a literal
dollar) and indents every produced line by the current level. Keeping layout
here lets the emitters read like the code they produce.
"""

import re

_VAR = re.compile(r"\$([A-Za-z_][A-Za-z0-9_]*)?\$")


class TemplateError(Exception):
    pass


class Printer:
    def __init__(self, indent_unit="  "):
        self._lines = []
        self._level = 0
        self._unit = indent_unit

    def indent(self):
        self._level += 1

    def outdent(self):
        if self._level == 0:
            raise TemplateError("outdent below zero")
        self._level -= 1

    def print(self, template="", **values):
        """Appends the filled template; a template may span several lines."""
        text = fill(template, values)
        for line in text.split("\n"):
            self._lines.append(self._unit * self._level + line if line else "")

    def blank(self):
        if self._lines and self._lines[-1] != "":
            self._lines.append("")

    @property
    def line_number(self):
        """1-based number of the next line to be printed."""
        return len(self._lines) + 1

    def text(self):
        lines = list(self._lines)
        while lines and lines[-1] == "":
            lines.pop()
        return "\n".join(lines) + "\n"


def fill(template, values):
    def substitute(match):
        name = match.group(1)
        if name is None:
            return "$"
        if name not in values:
            raise TemplateError("no value for $%s$ in template %r" % (name, template[:60]))
        return str(values[name])

    return _VAR.sub(substitute, template)
