import os

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", ".."))
TEST_DATA = os.environ.get("KAV_TEST_DATA", os.path.join(TOP, "tests", "data"))
GRIB_DOC = "/usr/share/doc/python-grib-doc/examples"


def data(*parts):
    return os.path.join(TEST_DATA, *parts)


def local(name):
    return os.path.join(HERE, "data", name)


def grib_doc(name):
    path = os.path.join(GRIB_DOC, name)
    if not os.path.exists(path):
        pytest.skip("python-grib-doc's example %s is not installed" % name)
    return path
