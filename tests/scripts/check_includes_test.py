"""The include-rule check finds what breaks the rule and passes what keeps it."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-includes.py"


def run(root):
    return subprocess.run([sys.executable, str(SCRIPT), str(root)], capture_output=True,
                          text=True, check=False)


class IncludeRule(unittest.TestCase):
    def tree(self, files):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        root = pathlib.Path(folder.name)
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        return root

    # A tree that keeps the rule: each include runs down, system headers where allowed.
    GOOD = {
        "platform/event_loop.h": "#include <cstdint>\n",
        "platform/posix/poll_event_loop.cpp": '#include <poll.h>\n#include "platform/event_loop.h"\n',
        "automation/dispatch.h": '#include "platform/event_loop.h"\n',
        "control/core/control_state.h": '#include "automation/dispatch.h"\n',
        "control/link/register_link.cpp": '#include "control/core/control_state.h"\n',
        "server/jobs/job_server.cpp": '#include "automation/dispatch.h"\n#include <map>\n',
        "server/ui/server_main.cpp": '#include <signal.h>\n#include "server/jobs/job_server.h"\n',
        "server/jobs/job_server.h": "",
        "tests/link/any_test.cpp": '#include "control/link/register_link.h"\n#include <unistd.h>\n',
        "control/automation/member_table.h": '#include "control/core/control_state.h"\n',
        "control/automation/com/com_control.cpp":
            '#include <windows.h>\n#include <oaidl.h>\n#include "control/automation/member_table.h"\n',
    }

    def test_a_tree_that_keeps_the_rule_passes(self):
        result = run(self.tree(self.GOOD))
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_build_folder_of_any_name_is_not_ours(self):
        files = dict(self.GOOD)
        files["out/CMakeCache.txt"] = ""
        files["out/CMakeFiles/id/CMakeCXXCompilerId.cpp"] = "#include <unistd.h>\n"
        result = run(self.tree(files))
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_each_planted_fault_is_found(self):
        planted = [
            ("control/core/control_state.h", '#include "control/link/register_link.h"\n',
             "not below control/core/"),
            ("platform/event_loop.h", '#include "automation/dispatch.h"\n', "not below platform/"),
            ("server/jobs/job_server.cpp", '#include "control/core/control_state.h"\n',
             "not below server/jobs/"),
            ("control/link/register_link.cpp", "#include <unistd.h>\n", "system's own interface"),
            ("control/extra/new_file.cpp", "", "in no folder of the rule"),
            ("platform/event_loop.h", "#include <poll.h>\n", "system's own interface"),
            ("control/link/register_link.cpp", '#include "platform/posix/poll_event_loop.h"\n',
             "one system's implementation"),
            ("platform/event_loop.h", '#include "platform/posix/poll_event_loop.h"\n',
             "one system's implementation"),
            # The COM face is Windows' alone: the portable automation layer stays out of it.
            ("control/automation/member_table.h", '#include "control/automation/com/com_control.h"\n',
             "one system's implementation"),
            ("control/automation/member_table.h", "#include <ocidl.h>\n", "system's own interface"),
        ]
        for name, text, message in planted:
            with self.subTest(name=name):
                files = dict(self.GOOD)
                files[name] = files.get(name, "") + text
                result = run(self.tree(files))
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(name, result.stdout)
                self.assertIn(message, result.stdout)


if __name__ == "__main__":
    unittest.main()
