"""The Python module against rangeloom-clean on a generated sample set: the
same values bit for bit, the same files byte for byte, the same messages."""

import os
import shutil
import subprocess
import tempfile
import unittest
import warnings

import numpy as np

import rangeloom

CLEAN = os.environ["RANGELOOM_CLEAN"]
SAMPLE = os.environ["RANGELOOM_SAMPLE"]


def run_clean(*args):
    """rangeloom-clean's exit status, standard output and standard error."""
    done = subprocess.run([CLEAN, *args], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def read_export(path):
    """The (n, 4) float32 records of a value export: x, y, z, value."""
    with open(path, "rb") as f:
        data = f.read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    return np.frombuffer(data[end:], dtype="<f4").reshape(-1, 4)


def same_bits(a, b):
    """Equal float32 arrays, NaN where the other has NaN, other bits equal."""
    nan = np.isnan(a)
    return (
        a.shape == b.shape
        and np.array_equal(nan, np.isnan(b))
        and np.array_equal(a[~nan].view(np.uint32), b[~nan].view(np.uint32))
    )


class BindingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="rangeloom-python-")
        cls.sample = os.path.join(cls.dir, "sample")
        os.mkdir(cls.sample)
        subprocess.run(
            [SAMPLE, "--out", cls.sample, "--scans", "3", "--cols", "64", "--rows", "64"],
            check=True,
            capture_output=True,
        )
        cls.conf = os.path.join(cls.sample, "sample.conf")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def scratch(self, name):
        path = os.path.join(self.dir, name)
        shutil.rmtree(path, ignore_errors=True)
        return path

    def test_values_and_points_are_the_command_lines_bit_for_bit(self):
        out = self.scratch("exported")
        status, _, _ = run_clean("--export", "--out", out, "--threads", "2", self.conf)
        self.assertEqual(status, 0)
        scans = rangeloom.load(self.conf, threads=1)
        values = scans.analyze(threads=1)
        self.assertEqual(len(values), 3)
        for scan, scan_values in zip(scans, values):
            stem = os.path.basename(scan.path)[: -len(".ply")]
            export = read_export(os.path.join(out, stem + ".values.ply"))
            self.assertEqual(scan_values.dtype, np.float32)
            self.assertTrue(same_bits(scan_values, export[:, 3]), scan.label)
            self.assertTrue(same_bits(scan.values, scan_values))
            self.assertTrue(same_bits(np.ascontiguousarray(scan.world_points), export[:, :3]))
            self.assertTrue(np.isnan(scan_values).any() and not np.isnan(scan_values).all())
        # Another analysis on other threads gives the same bits.
        again = scans.analyze(threads=2)
        self.assertTrue(all(same_bits(a, b) for a, b in zip(values, again)))

    def test_clean_writes_the_command_lines_files_and_table(self):
        cli, py = self.scratch("cli"), self.scratch("pyt")  # names of one length: one table
        options = ["--threshold", "0.0004", "--export", "--keep-tossed"]
        status, stdout, stderr = run_clean(
            *options, "--out", cli, "--merge", os.path.join(cli, "all.ply"), self.conf
        )
        self.assertEqual((status, stderr), (0, ""))
        scans = rangeloom.load(self.conf)
        report = scans.clean(
            threshold=0.0004,
            export=True,
            keep_tossed=True,
            out=py,
            merge=os.path.join(py, "all.ply"),
        )
        self.assertEqual(sorted(os.listdir(cli)), sorted(os.listdir(py)))
        for name in os.listdir(cli):
            with open(os.path.join(cli, name), "rb") as a, open(os.path.join(py, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        self.assertEqual(report.text, stdout.replace(cli, py))
        self.assertEqual(report.threshold, np.float32(0.0004))
        self.assertEqual([row.tossed for row in report.scans],
                         [int((v > report.threshold).sum()) for v in scans.analyze()])

    def test_arrays_are_views_of_the_scans(self):
        scans = rangeloom.load(self.conf)
        scan = scans[1]
        points = scan.points
        self.assertEqual((points.dtype, points.shape[1]), (np.float32, 3))
        self.assertFalse(points.flags.owndata or points.flags.writeable)
        with open(scan.path) as f:
            header = f.read(400)
        self.assertIn("element vertex %d\n" % len(scan), header)
        raster = scan.raster
        self.assertEqual(raster.shape, (64, 64))
        filled = np.sort(raster[raster >= 0])
        self.assertTrue(np.array_equal(filled, np.arange(len(scan))))
        pose = scan.pose
        placed = points.astype(np.float64) @ pose[:3, :3].T + pose[:3, 3]
        self.assertTrue(np.allclose(placed, scan.world_points, atol=1e-6))
        # A view keeps its scan alive after the set and the scan are gone.
        del scans, scan
        self.assertEqual(points.shape[0], raster.max() + 1)
        self.assertTrue(np.isfinite(points).all())

    def test_a_lone_range_image_is_a_set_of_one_scan(self):
        path = os.path.join(self.sample, "scan00.ply")
        scans = rangeloom.load(path)
        self.assertEqual(len(scans), 1)
        self.assertTrue(np.array_equal(scans[0].pose, np.eye(4, dtype=np.float32)))
        with self.assertWarns(rangeloom.AnalysisWarning):
            values = scans.analyze()
        self.assertTrue(np.isnan(values[0]).all())

    def test_failures_raise_with_the_command_lines_messages(self):
        def check(error_type, status, args, call):
            code, _, stderr = run_clean(*args)
            self.assertEqual(code, status)
            with self.assertRaises(error_type) as caught:
                call()
            self.assertEqual(caught.exception.status, status)
            # The command line's lines from its first own one, without its name
            # and its pointer to --help (the PLY library may have spoken first).
            prefix = "rangeloom-clean: "
            lines = stderr[stderr.index(prefix):].splitlines()
            lines = [line[len(prefix):] if line.startswith(prefix) else line
                     for line in lines if not line.startswith("Try ")]
            self.assertEqual(str(caught.exception).splitlines(), lines)
            return caught.exception

        missing = os.path.join(self.dir, "missing.conf")
        check(rangeloom.UnreadableError, 2, ["-n", missing], lambda: rangeloom.load(missing))

        damaged = self.scratch("damaged")
        shutil.copytree(self.sample, damaged)
        scan = os.path.join(damaged, "scan01.ply")
        with open(scan, "r+b") as f:
            f.truncate(os.path.getsize(scan) // 2)
        conf = os.path.join(damaged, "sample.conf")
        error = check(rangeloom.UnreadableError, 2, ["-n", conf], lambda: rangeloom.load(conf))
        self.assertIn("scan01.ply: its data is damaged or ends early", str(error))

        scans = rangeloom.load(self.conf)
        check(rangeloom.UsageError, 1, ["-t", "nan", self.conf],
              lambda: scans.clean(threshold=float("nan")))
        check(rangeloom.UsageError, 1, ["-j", "5000", self.conf], lambda: scans.analyze(5000))

        # Files that would replace a scan: nothing is written.
        before = sorted(os.listdir(self.sample))
        clash = os.path.join(self.sample, "scan00.ply")
        check(rangeloom.UnreadableError, 2, ["-m", clash, self.conf],
              lambda: scans.clean(merge=clash))
        self.assertEqual(sorted(os.listdir(self.sample)), before)
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            self.assertEqual(len(scans.analyze()), 3)  # the set is still usable


if __name__ == "__main__":
    unittest.main()
