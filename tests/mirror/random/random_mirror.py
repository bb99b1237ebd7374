"""Randomized mirror test: the real RPL program on random trees with random changes between
runs (edits, creations, deletions, renames, and changes of type between file, folder and
link), in both delete modes, now and then with two runs at once.

After every run each destination must equal its source, leaving out what the pairs' exclusion
patterns match, and every file content that was ever seen in a destination must still be found
in that destination, its DELETED folders or a trash. After the check a run archived in DELETED
is now and then restored (RPL /RESTORE), putting items back beside what took their places; the
next run must move them out again and still lose nothing. Up to eight files of a folder are
copied at once in half the runs (RPL_PARALLEL_COPIES=always, as on a slow share).

Run as root it works in a private mount namespace, where the second pair's destination is a
link to a folder on a tmpfs: removed items there go to that file system's own trash.

    /usr/bin/python3 random_mirror.py --rpl build/mirror/RPL [--seed 1] [--runs 30] [--files 60]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

NAMES = ["a", "b", "c", "d", "e", "f", "g", "h"]
EXTENSIONS = ["", ".txt", ".dat"]
IN_USE = " *** ERROR! Destination in use by another run, pair skipped: "
# Every ".dat" but "c.dat", and folders named "h", are left out of both pairs; pair b also
# leaves out "g" at its top alone.
EXCLUDE = "*.dat;!c.dat;h/"
EXCLUDE_B = "/g"


def excluded(rel, is_folder, pair):
    """What EXCLUDE (and EXCLUDE_B for pair b) leave out, by gitignore's rules."""
    name = os.path.basename(rel)
    decision = False
    if name.endswith(".dat"):
        decision = True
    if name == "c.dat":
        decision = False
    if is_folder and name == "h":
        decision = True
    if pair == "b" and rel == "g":
        decision = True
    return decision


class Tree:
    """A source tree and the changes made to it; every file written gets unique contents and a
    modification time far from any earlier one, so the mirror always sees a change."""

    def __init__(self, root, rng, counter):
        self.root = root
        self.rng = rng
        self.counter = counter

    def stamp(self):
        self.counter[0] += 1
        return self.counter[0]

    def write(self, path):
        n = self.stamp()
        size = self.rng.choice([0, 1, 10, 100, 1000, 5000])
        body = f"{n}:{path}:".encode() + bytes(self.rng.randrange(256) for _ in range(size))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(body)
        when = 1_500_000_000 + n * 100
        os.utime(path, (when, when), follow_symlinks=False)

    def link(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        os.symlink(self.rng.choice(["a.txt", "../b", "nowhere/c.dat", "/etc/hostname"]) + str(self.stamp()), path)

    def entries(self):
        """Every path below the root, folders included, not following links."""
        found = []
        for folder, dirs, files in os.walk(self.root):
            for name in dirs + files:
                found.append(os.path.join(folder, name))
        return found

    def folders(self):
        return [self.root] + [p for p in self.entries() if os.path.isdir(p) and not os.path.islink(p)]

    def fresh_name(self, folder):
        for _ in range(20):
            name = self.rng.choice(NAMES) + self.rng.choice(EXTENSIONS)
            if not os.path.lexists(os.path.join(folder, name)):
                return os.path.join(folder, name)
        return os.path.join(folder, f"n{self.stamp()}")

    def populate(self, files):
        os.makedirs(self.root, exist_ok=True)
        for _ in range(files):
            folder = self.rng.choice(self.folders())
            if self.rng.random() < 0.2 and folder.count(os.sep) - self.root.count(os.sep) < 3:
                os.makedirs(self.fresh_name(folder))
            elif self.rng.random() < 0.1:
                self.link(self.fresh_name(folder))
            else:
                self.write(self.fresh_name(folder))

    def remove(self, path):
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.unlink(path)

    def change(self, count):
        """Makes `count` random changes; returns how many of each kind."""
        done = {}
        for _ in range(count):
            entries = self.entries()
            kind = self.rng.choice(["edit", "edit", "create", "delete", "rename", "retype", "mkdir"])
            if not entries and kind not in ("create", "mkdir"):
                kind = "create"
            if kind == "edit":
                files = [p for p in entries if os.path.isfile(p) and not os.path.islink(p)]
                if not files:
                    continue
                self.write(self.rng.choice(files))
            elif kind == "create":
                self.write(self.fresh_name(self.rng.choice(self.folders())))
            elif kind == "mkdir":
                folder = self.fresh_name(self.rng.choice(self.folders()))
                os.makedirs(folder)
                self.write(self.fresh_name(folder))
            elif kind == "delete":
                self.remove(self.rng.choice(entries))
            elif kind == "rename":
                path = self.rng.choice(entries)
                target = self.fresh_name(self.rng.choice(self.folders()))
                if os.path.isdir(path) and not os.path.islink(path) and (target + os.sep).startswith(path + os.sep):
                    continue
                os.rename(path, target)
            elif kind == "retype":
                path = self.rng.choice(entries)
                was_folder = os.path.isdir(path) and not os.path.islink(path)
                self.remove(path)
                new = self.rng.choice(["file", "link"] if was_folder else ["folder", "link", "file"])
                if new == "folder":
                    os.makedirs(path)
                    self.write(self.fresh_name(path))
                elif new == "link":
                    self.link(path)
                else:
                    self.write(path)
            done[kind] = done.get(kind, 0) + 1
        return done


def visible(root, pair):
    """What the mirror keeps equal: paths (relative) with their kind and contents or target,
    leaving out dot entries, the archive at the top and what the pair excludes."""
    result = {}
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        keep = []
        for name in dirs:
            if name.startswith(".") or (rel_folder == "." and name == "DELETED"):
                continue
            path = os.path.join(folder, name)
            rel = os.path.normpath(os.path.join(rel_folder, name))
            if excluded(rel, not os.path.islink(path), pair):
                continue
            if os.path.islink(path):
                result[rel] = ("link", os.readlink(path))
            else:
                result[rel] = ("folder", None)
                keep.append(name)
        dirs[:] = keep
        for name in files:
            if name.startswith("."):
                continue
            path = os.path.join(folder, name)
            rel = os.path.normpath(os.path.join(rel_folder, name))
            if excluded(rel, False, pair):
                continue
            if os.path.islink(path):
                result[rel] = ("link", os.readlink(path))
            elif os.path.isfile(path):
                with open(path, "rb") as f:
                    result[rel] = ("file", f.read())
    return result


def contents_below(root):
    """The contents of every regular file below root, archives and trash included."""
    found = set()
    for folder, _, files in os.walk(root):
        for name in files:
            if name == ".manifest.tsv":
                continue  # the archive's own list, rewritten as runs come back
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    found.add(f.read())
    return found


def restore_one(program, env, rng, destination, step):
    """Restores one archived run of the destination, chosen at random; returns 1 if it did."""
    listing = subprocess.run([program, "/RESTORE", destination], env=env, capture_output=True, timeout=300)
    if listing.returncode != 0:
        raise AssertionError(f"step {step}: listing the archive failed: {listing.stderr.decode(errors='replace')}")
    runs = [line.split(" ")[0] for line in listing.stdout.decode().splitlines() if line]
    if not runs:
        return 0
    done = subprocess.run([program, "/RESTORE", destination, rng.choice(runs)], env=env, capture_output=True,
                          timeout=300)
    # An item whose way back is blocked (a file now stands where its folder was) is told and
    # left in the archive: that is the only failure allowed.
    errors = [l for l in done.stdout.decode(errors="replace").splitlines() if l.startswith(" *** ERROR! ")]
    blocked = errors and all(l.startswith(" *** ERROR! Not a folder: ") for l in errors)
    if done.returncode != 0 and not (done.returncode == 1 and blocked):
        raise AssertionError(f"step {step}: restore failed ({done.returncode}):\n"
                             + (done.stdout + done.stderr).decode(errors="replace"))
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rpl", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--files", type=int, default=60)
    parser.add_argument("--changes", type=int, default=12)
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("--in-namespace", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if os.geteuid() == 0 and not args.in_namespace and shutil.which("unshare"):
        unshare = ["unshare", "--mount", "--propagation", "private"]
        if subprocess.run(unshare + ["true"], capture_output=True).returncode == 0:
            os.execvp("unshare", unshare + [sys.executable] + sys.argv + ["--in-namespace"])

    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="rpl-random-")
    counter = [0]
    try:
        program = os.path.join(work, "bin", "RPL")
        os.makedirs(os.path.dirname(program))
        shutil.copy(args.rpl, program)
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data-home"), HOME=work)
        env_parallel = dict(env, RPL_PARALLEL_COPIES="always")
        for key in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(key, None)

        volume = os.path.join(work, "volume")
        os.makedirs(volume)
        other_fs = args.in_namespace and subprocess.run(
            ["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", volume]).returncode == 0
        pairs = []
        for name in ("a", "b"):
            source = Tree(os.path.join(work, "src-" + name), rng, counter)
            source.populate(args.files)
            destination = os.path.join(work, "dst-" + name)
            if name == "b":
                # Reached through a link; on a tmpfs of its own where the machine allows it.
                os.makedirs(os.path.join(volume, "b"))
                os.symlink(os.path.join(volume, "b"), destination)
                for i in range(5):  # left-overs the first run removes
                    Tree(os.path.join(volume, "b"), rng, counter).write(os.path.join(volume, "b", f"old{i}"))
            pairs.append((source, destination))
        trashes = [os.path.join(work, "data-home"), volume]

        ever = set()
        for _, destination in pairs:
            ever |= contents_below(destination)
        totals = {"runs": 0, "double": 0, "files checked": 0, "trash runs": 0, "parallel runs": 0, "restores": 0}
        changes = {}
        for step in range(args.runs):
            trash_mode = rng.random() < 0.5
            totals["trash runs"] += trash_mode
            lines = ["[RPL]", f"DelOption={int(trash_mode)}", f"FolderCount={len(pairs)}"]
            lines += [f"Folder{i}=+{s.root} >> {d}" for i, (s, d) in enumerate(pairs)]
            lines += [f"Exclude={EXCLUDE}", f"Exclude1={EXCLUDE_B}"]
            with open(os.path.join(work, "bin", "RPL.INI"), "w") as f:
                f.write("\r\n".join(lines) + "\r\n")
            double = rng.random() < 0.25
            # Half the runs copy on the workers from the first file, as on a slow share.
            parallel = rng.random() < 0.5
            totals["parallel runs"] += parallel
            started = [subprocess.Popen([program, "/BATCH", "/CONSOLE"], env=env_parallel if parallel else env,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                       for _ in range(2 if double else 1)]
            totals["runs"] += len(started)
            totals["double"] += double
            for process in started:
                output = process.communicate(timeout=300)[0].decode(errors="replace")
                errors = [l for l in output.splitlines() if l.startswith(" *** ERROR! ")]
                if process.returncode != 0 and not (double and errors and all(l.startswith(IN_USE) for l in errors)):
                    raise AssertionError(f"step {step}: exit {process.returncode}\n{output}")
            for (source, destination), pair in zip(pairs, "ab"):
                want = visible(source.root, pair)
                have = visible(destination, pair)
                if want != have:
                    missing = sorted(set(want) - set(have))[:5]
                    extra = sorted(set(have) - set(want))[:5]
                    differ = sorted(k for k in set(want) & set(have) if want[k] != have[k])[:5]
                    raise AssertionError(f"step {step}: {destination} differs from {source.root}: "
                                         f"missing {missing}, extra {extra}, different {differ}")
                totals["files checked"] += sum(1 for v in want.values() if v[0] == "file")
            found = set()
            for _, destination in pairs:
                found |= contents_below(destination)
            for trash in trashes:
                found |= contents_below(trash)
            lost = [c[:40] for c in ever - found]
            if lost:
                raise AssertionError(f"step {step}: {len(lost)} contents lost, for example {lost[:3]}")
            for _, destination in pairs:
                ever |= contents_below(destination)
            if rng.random() < 0.5:
                totals["restores"] += restore_one(program, env, rng, rng.choice(pairs)[1], step)
            for source, _ in pairs:
                for kind, n in source.change(args.changes).items():
                    changes[kind] = changes.get(kind, 0) + n
        summary = ", ".join(f"{v} {k}" for k, v in totals.items())
        print(f"random mirror, seed {args.seed}: {summary}; {len(ever)} contents kept track of; "
              f"changes {changes}; destination b on {'a tmpfs' if other_fs else 'the same disk'}")
    finally:
        if args.in_namespace:
            subprocess.run(["umount", "-l", os.path.join(work, "volume")], capture_output=True)
        if args.keep:
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
