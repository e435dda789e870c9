"""A database with the demo shop on each backend: a SQLite file, and the
PostgreSQL server APARTADO_TEST_PG names (a libpq URI) when it is set. The
shop is made by the command-line host (APARTADO_CLI, else `apartado` on the
PATH), so these tests reach the component only through the package."""
import os
import shutil
import subprocess

import pytest

import apartado

BACKENDS = ["sqlite"] + (["postgresql"] if os.environ.get("APARTADO_TEST_PG") else [])


def cli(*args):
    program = shutil.which(os.environ.get("APARTADO_CLI", "apartado"))
    assert program, "the command-line host is needed to make the demo shop"
    return subprocess.run([program, *args], capture_output=True, text=True, check=True).stdout


@pytest.fixture(scope="module", params=BACKENDS)
def shop(request, tmp_path_factory):
    if request.param == "sqlite":
        connection = str(tmp_path_factory.mktemp("shop") / "apartado-demo.db")
    else:
        connection = os.environ["APARTADO_TEST_PG"]
        subprocess.run(["psql", connection, "-q", "-c", "DROP SCHEMA public CASCADE; CREATE SCHEMA public"],
                       check=True, capture_output=True)
    cli("--db", connection, "demo")
    return connection


@pytest.fixture
def layaway(shop):
    with apartado.Suite(shop):
        with apartado.Apartado() as object:
            yield object
