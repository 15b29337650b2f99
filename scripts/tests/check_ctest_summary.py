#!/usr/bin/env python3
"""scripts/lib/ctest_summary.py on the JUnit file of a real ctest run: a project with a passing
test, a failing one (named with the end of its output), two skipped for one reason and one for another, and a passing test that
skipped a part. The summary must count each kind and name every skip with its reason, and the
counts it hands scripts/test for the totals must be the same."""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROJECT = """cmake_minimum_required(VERSION 3.25)
project(summary NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "exit 0")
add_test(NAME fails COMMAND sh -c "echo 'skip: not a skip, a failure'; exit 1")
add_test(NAME npm.a COMMAND sh -c "echo 'npm says no'; echo 'skip: the registry cannot be reached'; exit 77")
add_test(NAME npm.b COMMAND sh -c "echo 'skip: the registry cannot be reached'; exit 77")
add_test(NAME genuine COMMAND sh -c "echo 'skip case-1: the library was not fetched'; exit 77")
add_test(NAME partly COMMAND sh -c "echo 'skip case-2: the library was not fetched'; exit 0")
set_tests_properties(npm.a npm.b genuine PROPERTIES SKIP_RETURN_CODE 77)
"""
EXPECTED = """linux: 2 passed, 1 failed, 3 skipped
  failed fails, whose output ends:
      skip: not a skip, a failure
  skipped npm.a, npm.b: the registry cannot be reached
  skipped genuine: the library was not fetched
  passed with parts skipped, partly: the library was not fetched
"""
EXPECTED_COUNTS = "2 1 3\n"


def main():
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "CMakeLists.txt"), "w") as f:
            f.write(PROJECT)
        build = os.path.join(work, "build")
        subprocess.run(["cmake", "-G", "Ninja", "-S", work, "-B", build], check=True, stdout=subprocess.DEVNULL)
        junit = os.path.join(build, "ctest.xml")
        ran = subprocess.run(["ctest", "--output-junit", junit], cwd=build, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        if ran.returncode == 0:
            sys.exit("ctest passed a run with a failing test")
        counts_file = os.path.join(build, "ctest.counts")
        got = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "lib", "ctest_summary.py"), "linux",
                              junit, "--counts", counts_file], check=True, capture_output=True, text=True).stdout
        counts = open(counts_file).read()
    if got != EXPECTED:
        sys.exit(f"summary:\n{got}\nexpected:\n{EXPECTED}")
    if counts != EXPECTED_COUNTS:
        sys.exit(f"counts: {counts!r}, expected {EXPECTED_COUNTS!r}")
    print(got, end="")


if __name__ == "__main__":
    main()
