import os

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", ".."))
TEST_DATA = os.environ.get("KAV_TEST_DATA", os.path.join(TOP, "tests", "data"))


def data(*parts):
    return os.path.join(TEST_DATA, *parts)


def local(name):
    return os.path.join(HERE, "data", name)
