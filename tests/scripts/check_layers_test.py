#!/usr/bin/env python3
"""Cases of scripts/check-layers.py on small trees made here: what it lets pass,
what it refuses, and that it names the file and line of every refused include."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers.py")

TABLE = """# Architecture

## Layers

| unit | where | holds | may include |
|---|---|---|---|
| platform | `src/platform` | stand-ins | — |
| base | `src/base` | foundation | platform |
| link | `src/link` | the link | base |
| feeders | `src/feeders` | feeders | link |
| feeders/ui | `src/feeders/ui` | dialogs | feeders |
| app | `src/app` | shell | feeders/ui |
| main | `src/app/main.cpp` | entry | app |
| sim | `sim` | simulator | platform |

## Threads

| unit | where | may include |
|---|---|---|
| ignored | `src/nowhere` | nothing |
"""


class LayerCheck(unittest.TestCase):
    def make(self, files, table=TABLE, exceptions=None):
        root = tempfile.mkdtemp(prefix="layers-")
        self.addCleanup(subprocess.run, ["rm", "-rf", root])
        os.makedirs(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "architecture.md"), "w", encoding="utf-8") as f:
            f.write(table)
        base = {
            "src/platform/event.h": "",
            "src/base/log.h": '#include "platform/event.h"\n',
            "src/link/commands.h": '#include "base/log.h"\n#include <vector>\n',
            "src/feeders/feed_list.h": '#include "link/commands.h"\n#include "platform/event.h"\n',
            "src/feeders/ui/dialog.cpp": '#include "feeders/feed_list.h"\n',
            "src/app/shell.h": '#include "feeders/ui/dialog.h"\n',
            "src/feeders/ui/dialog.h": "",
            "src/app/main.cpp": '#include "app/shell.h"\n',
            "sim/codec.h": '#include "platform/event.h"\n',
            "sim/machine.cpp": '#include "codec.h"\n',
        }
        base.update(files)
        for rel, text in base.items():
            if text is None:
                continue
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        if exceptions is not None:
            os.makedirs(os.path.join(root, "scripts"), exist_ok=True)
            with open(os.path.join(root, "scripts", "layer-exceptions.txt"), "w", encoding="utf-8") as f:
                f.write(exceptions)
        return root

    def run_check(self, root):
        r = subprocess.run([sys.executable, SCRIPT, "--root", root], capture_output=True, text=True)
        return r.returncode, r.stdout + r.stderr

    def test_a_tree_that_keeps_the_table_passes(self):
        code, out = self.run_check(self.make({}))
        self.assertEqual(code, 0, out)
        self.assertIn("no fault", out)

    def test_refused_includes_name_file_line_and_units(self):
        cases = [
            # (file, text, expected fault)
            ("src/link/jog.cpp", '// a\n\n#include "feeders/feed_list.h"\n',
             'src/link/jog.cpp:3: includes "feeders/feed_list.h": unit link may not include unit feeders'),
            ("src/feeders/feed_list.cpp", '#include "app/shell.h"\n',
             'src/feeders/feed_list.cpp:1: includes "app/shell.h": unit feeders may not include unit app'),
            # machine logic may not include its own dialogs: ui/ is a unit of its own
            ("src/feeders/feed_edit.cpp", '  #  include "feeders/ui/dialog.h"\n',
             'src/feeders/feed_edit.cpp:1: includes "feeders/ui/dialog.h": unit feeders may not include unit feeders/ui'),
            # the longest path wins: main.cpp is not the shell
            ("src/app/shell.cpp", '#include "app/main.cpp"\n',
             'src/app/shell.cpp:1: includes "app/main.cpp": unit app may not include unit main'),
            # the simulator stands on the platform alone
            ("sim/world.cpp", '#include "link/commands.h"\n',
             'sim/world.cpp:1: includes "link/commands.h": unit sim may not include unit link'),
            # a path relative to the including file counts too
            ("src/base/globals.cpp", '#include "../link/commands.h"\n',
             'src/base/globals.cpp:1: includes "../link/commands.h": unit base may not include unit link'),
        ]
        for rel, text, fault in cases:
            with self.subTest(rel=rel):
                code, out = self.run_check(self.make({rel: text}))
                self.assertEqual(code, 1, out)
                self.assertIn(fault, out)

    def test_reach_goes_through_the_named_units(self):
        # feeders names link only, link names base: feeders reaches base and platform
        code, out = self.run_check(self.make({"src/feeders/x.cpp": '#include "base/log.h"\n#include "platform/event.h"\n'}))
        self.assertEqual(code, 0, out)

    def test_a_cycle_is_named_with_a_file_of_each_edge(self):
        code, out = self.run_check(self.make({"src/link/jog.cpp": '#include "feeders/feed_list.h"\n'}))
        self.assertEqual(code, 1, out)
        self.assertIn("include cycle between units: feeders -> link (src/feeders/feed_list.h:1), "
                      "link -> feeders (src/link/jog.cpp:1)", out)

    def test_a_folder_and_its_ui_on_a_cycle_are_refused(self):
        # link/ui above feeders keeps the units acyclic, but the folders link and
        # feeders then include each other.
        table = TABLE.replace("| app | `src/app` | shell | feeders/ui |",
                              "| link/ui | `src/link/ui` | panel | feeders |\n| app | `src/app` | shell | feeders/ui, link/ui |")
        code, out = self.run_check(self.make({"src/link/ui/panel.cpp": '#include "feeders/feed_list.h"\n'}, table))
        self.assertEqual(code, 1, out)
        self.assertIn("include cycle between folders: feeders -> link (src/feeders/feed_list.h:1), "
                      "link -> feeders (src/link/ui/panel.cpp:1)", out)
        self.assertNotIn("between units", out)

    def test_listed_exceptions_pass_and_stale_ones_are_named(self):
        files = {"src/feeders/ui/wiring.cpp": '#include "app/shell.h"\n'}
        code, out = self.run_check(self.make(files))
        self.assertEqual(code, 1, out)
        listed = "# comment\nsrc/feeders/ui/wiring.cpp app/shell.h removed by the wiring change\n"
        code, out = self.run_check(self.make(files, exceptions=listed))
        self.assertEqual(code, 0, out)
        self.assertIn("1 listed exceptions", out)
        code, out = self.run_check(self.make({}, exceptions=listed))
        self.assertEqual(code, 0, out)
        self.assertIn("scripts/layer-exceptions.txt:2: src/feeders/ui/wiring.cpp no longer includes app/shell.h", out)

    def test_a_file_outside_every_unit_is_refused(self):
        code, out = self.run_check(self.make({"src/stray/x.cpp": ""}))
        self.assertEqual(code, 1, out)
        self.assertIn("src/stray/x.cpp:1: lies in no unit of the layer table", out)

    def test_a_table_that_names_a_unit_above_itself_is_refused(self):
        table = TABLE.replace("| link | `src/link` | the link | base |", "| link | `src/link` | the link | feeders |")
        code, out = self.run_check(self.make({}, table=table))
        self.assertEqual(code, 2, out)
        self.assertIn("unit link may include feeders, which is not a row above it", out)

    def test_a_document_without_the_table_is_refused(self):
        code, out = self.run_check(self.make({}, table="# Architecture\n\n## Layers\n\nNo table.\n"))
        self.assertEqual(code, 2, out)


if __name__ == "__main__":
    unittest.main()
