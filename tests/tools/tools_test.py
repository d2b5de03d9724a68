#!/usr/bin/env python3
"""velka-register and velka-typeinfo as an administrator and a user meet them, in a
throw-away home whose machine-wide folders are throw-away too; --version of the tools."""
import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

ARGS = argparse.Namespace()
PROG_ID_FILE = "TMVVelka.TmvEcrVelka.progid"


class ToolsTest(unittest.TestCase):
    def setUp(self):
        self._root = tempfile.TemporaryDirectory(prefix="velka-tools-")
        root = pathlib.Path(self._root.name)
        self.user = root / "data" / "TMV SPA" / "classes"
        self.machine = root / "system-data" / "TMV SPA" / "classes"
        self.env = dict(os.environ, HOME=str(root), XDG_DATA_HOME=str(root / "data"),
                        XDG_CONFIG_HOME=str(root / "config"),
                        XDG_CONFIG_DIRS=str(root / "system-config"),
                        XDG_DATA_DIRS=f"{root / 'system-data'}:{root / 'more-data'}")

    def tearDown(self):
        self._root.cleanup()

    def run_tool(self, *argv):
        return subprocess.run(list(argv), env=self.env, capture_output=True, text=True,
                              timeout=60, check=False)

    def register(self, *options):
        return self.run_tool(ARGS.register, *options, ARGS.library)

    def test_machine_registration_serves_a_user_without_one(self):
        done = self.register("--system")
        self.assertEqual(done.returncode, 0, done.stderr)
        library = os.path.realpath(ARGS.library)
        self.assertEqual(done.stdout, f"{library} registered in {self.machine}\n")
        self.assertTrue((self.machine / PROG_ID_FILE).is_file())
        self.assertFalse(self.user.exists())

        described = self.run_tool(ARGS.typeinfo)
        self.assertEqual(described.returncode, 0, described.stderr)
        self.assertIn("53 members", described.stdout)

        removed = self.register("--system", "--unregister")
        self.assertEqual(removed.returncode, 0, removed.stderr)
        self.assertEqual(removed.stdout, f"{library} unregistered in {self.machine}\n")
        self.assertFalse((self.machine / PROG_ID_FILE).exists())
        missing = self.run_tool(ARGS.typeinfo)
        self.assertEqual(missing.returncode, 1)
        self.assertIn("not registered", missing.stderr)
        self.assertIn(str(self.machine), missing.stderr)

    def test_user_registration_by_default(self):
        done = self.register()
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue((self.user / PROG_ID_FILE).is_file())
        self.assertFalse(self.machine.exists())
        self.assertEqual(self.register("--unregister").returncode, 0)
        self.assertFalse((self.user / PROG_ID_FILE).exists())

    def test_refusals(self):
        rows = [
            ([ARGS.register, "--bogus"], 64, "unexpected argument --bogus"),
            ([ARGS.register, "a.so", "b.so"], 64, "unexpected argument b.so"),
            ([ARGS.register, "/nonexistent/libTMVVelka.so.1"], 1,
             "cannot load /nonexistent/libTMVVelka.so.1"),
        ]
        for argv, status, error in rows:
            with self.subTest(argv=argv):
                refused = self.run_tool(*argv)
                self.assertEqual(refused.returncode, status)
                self.assertIn(error, refused.stderr)
                self.assertEqual(refused.stdout, "")

    def test_version_and_help(self):
        for program in (ARGS.register, ARGS.typeinfo, ARGS.sim):
            with self.subTest(program=program):
                shown = self.run_tool(program, "--version")
                self.assertEqual(shown.returncode, 0, shown.stderr)
                self.assertEqual(shown.stdout, f"{os.path.basename(program)} {ARGS.version}\n")
                helped = self.run_tool(program, "--help")
                self.assertEqual(helped.returncode, 0, helped.stderr)
                self.assertIn("--version", helped.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("register", "typeinfo", "sim", "library", "version"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
