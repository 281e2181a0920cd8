"""The slab steps and the Dask driver against rangeloom-clean on a small
generated campaign cut into thin slabs: the same files byte for byte and the
same table, on a cluster of two worker processes, also when a worker dies
while it measures a slab, and with the work of an earlier run reused. One
cluster serves every case: starting one takes seconds."""

import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from distributed import Client, LocalCluster

import rangeloom
from rangeloom import dask as driver
from rangeloom import slabs

CLEAN = os.environ["RANGELOOM_CLEAN"]
CAMPAIGN = os.environ["RANGELOOM_CAMPAIGN"]
THIN = ["--slab-cells", "2"]  # slabs two lattice layers thick: scans straddle their borders


def die_first_time(work_dir, slab, threads):
    """The slab task, except that the first attempt at slab 1 ends its own
    worker process, as a machine that fails would."""
    marker = os.path.join(os.path.dirname(work_dir), "died")
    if slab == 1 and not os.path.exists(marker):
        open(marker, "w").close()
        os._exit(1)
    return slabs.analyse_slab(work_dir, slab, threads)


def files_of(folder):
    out = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            out[name] = f.read()
    return out


class DriverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="rangeloom-dask-test-")
        cls.campaign = os.path.join(cls.dir, "campaign")
        subprocess.run(
            [CAMPAIGN, cls.campaign, "--stations", "4", "--raster", "48x40", "--threads", "1"],
            check=True,
            capture_output=True,
        )
        cls.conf = os.path.join(cls.campaign, "campaign.conf")
        cls.cluster = LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
            dashboard_address=None, local_directory=cls.dir,
        )
        cls.client = Client(cls.cluster)
        # What rangeloom-clean writes and prints, in a folder of the same
        # name's length as the driver's (one table layout).
        cls.expected = cls.folder("cli")
        done = subprocess.run(
            [CLEAN, "--export", "--out", cls.expected, cls.conf], capture_output=True, text=True
        )
        assert done.returncode == 0, done.stderr
        cls.expected_text = done.stdout

    @classmethod
    def tearDownClass(cls):
        cls.client.wait_for_workers(2, timeout=60)  # the killed one back: a clean close
        cls.client.close()
        cls.cluster.close()
        shutil.rmtree(cls.dir)

    @classmethod
    def folder(cls, name):
        path = os.path.join(cls.dir, name)
        shutil.rmtree(path, ignore_errors=True)
        return path

    def drive(self, *args, **hooks):
        """The driver's exit status, standard output and standard error."""
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            status = driver.main(list(args), client=self.client, **hooks)
        return status, out.getvalue(), err.getvalue()

    def assert_as_command_line(self, out, stdout):
        self.assertEqual(files_of(out), files_of(self.expected))
        self.assertEqual(stdout, self.expected_text.replace(self.expected, out))

    def test_the_driver_writes_what_rangeloom_clean_writes_and_reuses_its_work(self):
        work, out = self.folder("work"), self.folder("dsk")
        status, stdout, stderr = self.drive(*THIN, "--work", work, "--export", "-o", out, self.conf)
        self.assertEqual((status, stderr), (0, ""))
        self.assert_as_command_line(out, stdout)
        values = sorted(n for n in os.listdir(work) if n.endswith(".values"))
        self.assertGreater(len(values), 2)

        # Again over the same work folder at another threshold: nothing is
        # measured again, and the files are those of that threshold.
        before = {n: os.stat(os.path.join(work, n)).st_mtime_ns for n in values}
        expected = self.folder("cl2")
        done = subprocess.run([CLEAN, "-t", "0.0002", "-o", expected, self.conf],
                              capture_output=True, text=True)
        out = self.folder("ds2")
        status, stdout, _ = self.drive(*THIN, "--work", work, "-t", "0.0002", "-o", out, self.conf)
        self.assertEqual(status, 0)
        self.assertEqual(files_of(out), files_of(expected))
        at_default = {n: b for n, b in files_of(self.expected).items() if n.endswith(".cln.ply")}
        self.assertNotEqual(files_of(out), at_default)
        self.assertEqual(stdout, done.stdout.replace(expected, out))
        self.assertEqual(before, {n: os.stat(os.path.join(work, n)).st_mtime_ns for n in values})

    def test_a_worker_that_dies_while_it_measures_a_slab_changes_nothing(self):
        work, out = self.folder("killed/work"), self.folder("kil")
        os.makedirs(os.path.dirname(work), exist_ok=True)
        status, stdout, _ = self.drive(
            *THIN, "--work", work, "--export", "-o", out, self.conf, analyse=die_first_time
        )
        self.assertEqual(status, 0)
        self.assertTrue(os.path.exists(os.path.join(self.dir, "killed", "died")))
        self.assert_as_command_line(out, stdout)

    def test_failures_end_with_the_command_lines_status_and_message(self):
        def clean_error(*args):
            """rangeloom-clean's status and its lines from its first own one
            (the PLY library may speak first, on the process's own stderr)."""
            done = subprocess.run([CLEAN, *args], capture_output=True, text=True)
            said = done.stderr[done.stderr.index("rangeloom-clean: "):]
            return done.returncode, said.replace("rangeloom-clean: ", "rangeloom.dask: ")

        missing = os.path.join(self.dir, "missing.conf")
        status, stdout, stderr = self.drive(missing)
        self.assertEqual((status, stderr), clean_error(missing))
        self.assertEqual((status, stdout), (2, ""))

        damaged = self.folder("damaged")
        shutil.copytree(self.campaign, damaged)
        scan = os.path.join(damaged, "scan0001.ply")
        with open(scan, "r+b") as f:
            f.truncate(os.path.getsize(scan) - 100)
        conf = os.path.join(damaged, "campaign.conf")
        status, _, stderr = self.drive(conf)
        self.assertEqual((status, stderr), clean_error(conf))
        self.assertEqual(status, 2)
        self.assertEqual(sorted(os.listdir(damaged)), sorted(os.listdir(self.campaign)))

        unused = self.folder("unused")
        for bad in (["--threshold", "nan"], ["--merge", os.path.join(self.dir, "all.ply")]):
            with self.assertRaises(rangeloom.UsageError) as caught:
                slabs.partition([*bad, self.conf], unused)
            self.assertEqual(caught.exception.status, 1)
            self.assertFalse(os.path.exists(unused))

        # A slab file damaged in the work folder (another machine's, say).
        work = self.folder("cut")
        self.assertGreater(slabs.partition(["--slab-cells", "2", self.conf], work), 1)
        with open(os.path.join(work, "slab-00001.bin"), "r+b") as f:
            f.truncate(64)
        with self.assertRaises(rangeloom.UnreadableError):
            slabs.analyse_slab(work, 1)
        self.assertFalse(os.path.exists(os.path.join(work, "slab-00001.values")))

    def test_the_local_workers_share_one_malloc_arena(self):
        # A slab task's thread would otherwise take fresh pages for every slab.
        client, closing = driver._cluster(driver.parse(["--local", "1", self.conf]))
        try:
            seen = client.run(lambda: os.environ.get("MALLOC_ARENA_MAX"))
            self.assertEqual(list(seen.values()), ["1"])
        finally:
            for thing in closing:
                thing.close()

    def test_the_command_line(self):
        def run(*args):
            return subprocess.run(
                [sys.executable, "-m", "rangeloom.dask", *args], capture_output=True, text=True
            )

        done = run("--help")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        self.assertIn("--scheduler=ADDRESS", done.stdout)
        for bad in (["--local", "0", self.conf], ["--scheduler", "tcp://127.0.0.1:1", self.conf]):
            done = run(*bad)
            self.assertEqual((done.returncode, done.stdout), (1, ""), bad)
            self.assertTrue(done.stderr.startswith("rangeloom.dask: "), done.stderr)


if __name__ == "__main__":
    unittest.main()
