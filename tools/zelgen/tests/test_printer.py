"""The template printer: variables from frames, indentation scopes, holes."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from zelgen.printer import Printer, TemplateError  # noqa: E402


class PrinterTest(unittest.TestCase):
    def test_variables_come_from_the_call_then_the_innermost_frame(self):
        p = Printer()
        with p.variables(name="outer", kind="data"):
            with p.variables(name="inner"):
                p.print("$name$ $kind$ $$ $other$", other="call")
                p.print("$name$", name="argument wins")
            p.print("$name$")
        self.assertEqual(p.text(), "inner data $ call\nargument wins\nouter\n")

    def test_whole_word_variables_and_unknown_ones_refused(self):
        p = Printer()
        p.print("$Property$$member$", Property="Name", member="name_")
        self.assertEqual(p.text(), "Namename_\n")
        with self.assertRaisesRegex(TemplateError, r"no value for \$missing\$"):
            p.print("$missing$")

    def test_indentation_scopes_end_with_the_block_even_on_error(self):
        p = Printer()
        with p.indented():
            p.print("one\n\ntwo")
            with self.assertRaises(TemplateError):
                with p.indented(2):
                    p.print("$missing$")
            p.print("three")
        p.print("four")
        self.assertEqual(p.text(), "  one\n\n  two\n  three\nfour\n")

    def test_a_hole_runs_its_callback_at_the_line_indentation(self):
        p = Printer()

        def cases():
            p.print("case 0:\n  return;")

        with p.indented():
            p.print("switch (index) {\n  $cases$\n}", cases=cases)
        self.assertEqual(p.text(), "  switch (index) {\n    case 0:\n      return;\n  }\n")

    def test_a_value_spanning_lines_is_indented_line_by_line(self):
        p = Printer()
        with p.indented():
            p.print(": $inits$ {}", inits="a(1),\nb(2)")
        self.assertEqual(p.text(), "  : a(1),\n  b(2) {}\n")

    def test_blank_lines_do_not_pile_up_and_trailing_ones_are_dropped(self):
        p = Printer()
        p.blank()
        p.print("a")
        p.blank()
        p.blank()
        p.print("b\n")
        self.assertEqual(p.text(), "a\n\nb\n")


if __name__ == "__main__":
    unittest.main()
