"""Runs the Python tests of kav under CTest: exits 77 (skipped) with the reason
when pytest or a module every test needs is missing; tests that need further
modules (xarray, dask, cfgrib) skip themselves."""
import importlib
import sys


def main():
    for name in ("pytest", "numpy", "kav"):
        try:
            importlib.import_module(name)
        except ImportError as e:
            print("python tests skipped: cannot import %s (%s); bash scripts/setup.sh --python "
                  "installs what they need" % (name, e))
            return 77
    import pytest
    return pytest.main(sys.argv[1:])


# Dask's worker processes start by importing this file again: only the
# process CTest started runs the tests.
if __name__ == "__main__":
    sys.exit(main())
