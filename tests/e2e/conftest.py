"""End-to-end journeys: the real GebotsfalkePlus against the real simulator on a private X server,
played with xdotool, under pytest.

Where a new journey goes: a test function in a test_*.py file of this folder (a file of its
own for a new subsystem, e.g. test_ebay.py), taking the fixtures below; cases that differ only
in their data are one test with @pytest.mark.parametrize. A test that cannot run on this machine
(a missing tool, browser or right) calls pytest.skip() and counts as skipped.

How it is registered: one line in tests/CMakeLists.txt per journey,
    gf_e2e(e2e.ebay test_ebay.py::test_ebay)      # or ...::test_x[param] for one case
which runs `python3 -m pytest <that node id>` as the CTest test e2e.ebay (label e2e, 180 s, a
skip reported as skipped). GF_BUILD_DIR names the build; each test's files stay in
build/tests/e2e/work/<test>/. Run one by hand with
    GF_BUILD_DIR=build python3 -m pytest -s tests/e2e/test_journeys.py::test_snipe

Fixtures:
  build          the build's executables (harness.Build)
  workdir        the test's own empty work folder
  journey        journey(sim_args, settings=None, executable=None, home=None): a private X
                 server with openbox, the simulator started with sim_args, the program (not yet
                 started: .start_program()) and the user (journey.Journey). A real browser:
                 journey.open_item_page("chromium" | "firefox"); a second process of the
                 program: journey.second_program()
  desktop        a private D-Bus session bus and "system" bus with the fake logind and
                 notification server (desktop.DesktopBuses); journey.program.buses = desktop.env
  packages       the .deb and portable archive of scripts/package (GF_PACKAGE_DIR)
"""

import os

import pytest

pytest.register_assert_rewrite("harness", "journey", "desktop")

from desktop import DesktopBuses  # noqa: E402
from harness import ROOT, Build, fresh_folder  # noqa: E402
from journey import Journey, Packages  # noqa: E402


@pytest.fixture(scope="session")
def build():
    return Build(os.environ.get("GF_BUILD_DIR", os.path.join(ROOT, "build")))


@pytest.fixture
def workdir(build, request):
    name = request.node.name.removeprefix("test_").replace("[", "-").rstrip("]")
    return fresh_folder(os.path.join(build.root, "tests", "e2e", "work", name))


@pytest.fixture
def journey(build, workdir):
    journeys = []

    def start(sim_args, **kwargs):
        journeys.append(Journey(build, workdir, sim_args, **kwargs))
        return journeys[-1]
    yield start
    for j in journeys:
        j.close()


@pytest.fixture
def desktop(build, workdir):
    buses = DesktopBuses(build, workdir)
    yield buses
    buses.stop()


@pytest.fixture
def packages(build):
    return Packages(os.environ.get("GF_PACKAGE_DIR",
                                   os.path.join(os.path.dirname(build.root), "build-package")))
