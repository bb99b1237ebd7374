"""Builds a synthetic tree for the mirror benchmark: FILES files spread over FOLDERS folders
(two levels deep), sizes drawn from a skewed distribution, plus a few large files."""
import os
import random
import sys


def make_tree(root, files, folders, large_files, large_mb, seed=1):
    rng = random.Random(seed)
    payload = os.urandom(1 << 20)
    dirs = []
    for i in range(folders):
        d = os.path.join(root, f"dept{i % 25:02d}", f"folder{i:04d}")
        os.makedirs(d, exist_ok=True)
        dirs.append(d)
    total = 0
    for n in range(files):
        size = min(int(rng.paretovariate(1.2) * 2000), 1 << 20)
        offset = rng.randrange(0, (1 << 20) - size + 1)
        path = os.path.join(dirs[n % folders], f"file{n:05d}.dat")
        with open(path, "wb") as f:
            f.write(payload[offset:offset + size])
        total += size
    for n in range(large_files):
        path = os.path.join(root, f"large{n}.bin")
        with open(path, "wb") as f:
            for _ in range(large_mb):
                f.write(payload)
        total += large_mb << 20
    return total


def make_big(path, megabytes):
    """One large file of incompressible bytes, written a mebibyte at a time."""
    payload = os.urandom(1 << 20)
    with open(path, "wb") as f:
        for n in range(megabytes):
            f.write(payload[n % 997:] + payload[:n % 997])


def change_some(root, fraction, seed=2):
    """Rewrites a fraction of the small files with new bytes and a new time stamp."""
    rng = random.Random(seed)
    paths = []
    for dirpath, _, names in os.walk(root):
        paths.extend(os.path.join(dirpath, n) for n in names if n.startswith("file"))
    paths.sort()
    chosen = rng.sample(paths, max(1, int(len(paths) * fraction)))
    for path in chosen:
        with open(path, "ab") as f:
            f.write(b"changed")
    return len(chosen)


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "make":
        total = make_tree(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6]))
        print(total)
    elif cmd == "change":
        seed = int(sys.argv[4]) + 1 if len(sys.argv) > 4 else 2
        print(change_some(sys.argv[2], float(sys.argv[3]), seed))
    elif cmd == "big":
        make_big(sys.argv[2], int(sys.argv[3]))
