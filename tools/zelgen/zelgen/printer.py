"""A small text printer that fills `$variable$` templates and keeps indentation.

Emitters build their output through one Printer per file:

- `print(template, **values)` substitutes `$name$` placeholders (`$$` is a
  literal dollar) and indents every produced line by the current level;
- `with p.variables(name=value, ...):` opens a frame whose values every
  template printed inside it sees (the innermost frame wins, keyword arguments
  of `print` win over frames);
- `with p.indented():` prints its body one level deeper;
- a template line holding nothing but `$name$` whose value is a callable is a
  hole: the callable runs there and prints at that line's indentation.

Keeping layout here lets the emitters read like the code they produce.
"""

import contextlib
import re

_VARIABLE = re.compile(r"\$([A-Za-z_][A-Za-z0-9_]*)?\$")
_HOLE = re.compile(r"^( *)\$([A-Za-z_][A-Za-z0-9_]*)\$$")


class TemplateError(Exception):
    pass


class Printer:
    def __init__(self, indent_unit="  "):
        self._lines = []
        self._level = 0
        self._unit = indent_unit
        self._frames = []

    @contextlib.contextmanager
    def indented(self, levels=1):
        self._level += levels
        try:
            yield self
        finally:
            self._level -= levels

    @contextlib.contextmanager
    def variables(self, **values):
        self._frames.append(values)
        try:
            yield self
        finally:
            self._frames.pop()

    def print(self, template="", **values):
        """Appends the filled template; a template may span several lines."""
        for line in template.split("\n"):
            hole = _HOLE.match(line)
            if hole is not None:
                value = self._value(hole.group(2), values, template)
                if callable(value):
                    depth, rest = divmod(len(hole.group(1)), len(self._unit))
                    if rest:
                        raise TemplateError("hole $%s$ is not at a whole indentation level" % hole.group(2))
                    with self.indented(depth):
                        value()
                    continue
            self._append(self._fill(line, values, template))

    def _append(self, text):
        for line in text.split("\n"):
            self._lines.append(self._unit * self._level + line if line else "")

    def _value(self, name, values, template):
        if name in values:
            return values[name]
        for frame in reversed(self._frames):
            if name in frame:
                return frame[name]
        raise TemplateError("no value for $%s$ in template %r" % (name, template[:60]))

    def _fill(self, line, values, template):
        def substitute(match):
            name = match.group(1)
            return "$" if name is None else str(self._value(name, values, template))

        return _VARIABLE.sub(substitute, line)

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
