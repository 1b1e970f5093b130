"""Fixtures: one private X desktop for the whole run, a fresh user per scenario."""

import os
import re
from pathlib import Path

import pytest

from harness.desktop import Desktop
from harness.session import REPO_ROOT, UserSession, program_binary

FAILURES = Path(os.environ.get("QUORVEL_E2E_FAILURES", REPO_ROOT / "build" / "e2e-failures"))


@pytest.fixture(scope="session")
def test_desktop():
    program_binary()  # fails early with the build hint
    with Desktop() as desktop:
        yield desktop


@pytest.fixture
def desktop(test_desktop, request):
    session, failed = UserSession(test_desktop), request.session.testsfailed
    yield session
    if request.session.testsfailed > failed:
        session.save_evidence(FAILURES / re.sub(r"[^A-Za-z0-9_.-]+", "_", request.node.nodeid))
    session.close()
