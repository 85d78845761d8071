# pytest fixtures: one Wine environment per session, made only when a test asks
# for it; a test using it starts and ends with no Windows program of the tree
# running and no settings key.
import pytest

import harness


@pytest.fixture(scope="session", autouse=True)
def _shutdown():
    yield
    harness.shutdown()


@pytest.fixture
def env():
    environment = harness.environment()
    environment.reset()
    environment.reg_delete_key()
    yield environment
    environment.reset()
