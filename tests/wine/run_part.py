"""Runs the test classes of one Wine test module, or all of its classes but some, so that CTest can run a long
module as parts side by side. A class added to a module later is always in the part that takes "the rest".

    python3 run_part.py test_engine.py --only FileAnswers,Placement
    python3 run_part.py test_engine.py --except FileAnswers,Placement
"""
import argparse
import importlib
import os
import sys
import unittest


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("module")
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--only")
    group.add_argument("--except", dest="without")
    args = parser.parse_args()
    sys.path.insert(0, os.path.dirname(os.path.abspath(args.module)))
    module = importlib.import_module(os.path.splitext(os.path.basename(args.module))[0])

    named = set((args.only or args.without).split(","))
    classes = {name: value for name, value in vars(module).items()
               if isinstance(value, type) and issubclass(value, unittest.TestCase)
               and value.__module__ == module.__name__}
    unknown = named - set(classes)
    if unknown:
        sys.exit("no such test class in %s: %s" % (args.module, ", ".join(sorted(unknown))))
    chosen = [classes[n] for n in sorted(classes) if (n in named) == (args.only is not None)]
    loader = unittest.TestLoader()
    suite = unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in chosen)
    if suite.countTestCases() == 0:
        sys.exit("no tests in this part of %s" % args.module)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
