"""Runs the end-to-end tests and prints one closing line `e2e: N passed, N failed`.

Usage: python3 tests/e2e/run.py [-k PATTERN] [test_module ...]
Writes the counts to $QUILLMERE_E2E_COUNTS when set (for the test script's summary).
"""
import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-k", action="append", default=[], help="test name pattern")
    parser.add_argument("modules", nargs="*")
    args = parser.parse_args()

    loader = unittest.TestLoader()
    if args.k:
        loader.testNamePatterns = ["*%s*" % k for k in args.k]
    here = os.path.dirname(os.path.abspath(__file__))
    if args.modules:
        suite = unittest.TestSuite(loader.loadTestsFromName(m) for m in args.modules)
    else:
        suite = loader.discover(here, pattern="test_*.py", top_level_dir=here)
    try:
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    finally:
        harness.shutdown()
    # Sub-tests report one failure each; count every test once.
    def case(test):
        return getattr(test, "test_case", test).id()
    failing = {case(test) for test, _ in result.failures + result.errors}
    failing |= {case(test) for test in result.unexpectedSuccesses}
    failed = len(failing)
    skipped = len(result.skipped)
    passed = result.testsRun - failed - skipped
    counts = os.environ.get("QUILLMERE_E2E_COUNTS")
    if counts:
        with open(counts, "w") as f:
            f.write("%d %d\n" % (passed, failed))
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
