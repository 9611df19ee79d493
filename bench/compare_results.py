#!/usr/bin/env python3
"""Compares the results of two runs bit for bit, also when their model files number the cells differently.

Usage: bench/compare_results.py A.h5 B.h5

Every dataset under /RESULTS of A must exist in B with the same 32-bit words (signed zeros and NaN payloads
count). Rows of cell datasets are matched through the cells' node triples (/CellsAll/Topology, copied into every
results file), so a mesh renumbered by another set-up compares cell by cell; other datasets compare as they are.
Exit status 0 when everything is identical, 1 otherwise. Needs h5ls and h5dump (Debian package hdf5-tools)."""
import array
import os
import subprocess
import sys
import tempfile


def datasets(path):
    out = subprocess.run(["h5ls", "-r", path], capture_output=True, text=True, check=True).stdout
    found = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[1] == "Dataset":
            dims = line.split("{", 1)[1].split("}", 1)[0].replace("/Inf", "")
            found[parts[0]] = [int(x) for x in dims.split(",")]
    return found


def words(path, name, kind):
    """The dataset's raw contents as an array of 32-bit values of the given type code."""
    fd, tmp = tempfile.mkstemp()
    os.close(fd)
    try:
        subprocess.run(["h5dump", "-d", name, "-b", "NATIVE", "-o", tmp, path], capture_output=True, check=True)
        values = array.array(kind)
        with open(tmp, "rb") as f:
            values.frombytes(f.read())
        return values
    finally:
        os.remove(tmp)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    a, b = sys.argv[1], sys.argv[2]
    in_a, in_b = datasets(a), datasets(b)
    topo_a, topo_b = words(a, "/CellsAll/Topology", "i"), words(b, "/CellsAll/Topology", "i")
    n = len(topo_a) // 3
    row_of = {tuple(topo_b[3 * i:3 * i + 3]): i for i in range(len(topo_b) // 3)}
    try:
        perm = [row_of[tuple(topo_a[3 * i:3 * i + 3])] for i in range(n)]
    except KeyError:
        sys.exit("the two results files do not hold the same cells")
    moved = sum(1 for i in range(n) if perm[i] != i)
    print(f"cells: {n}, numbered differently: {moved}")
    same = True
    count = 0
    for name, dims in in_a.items():
        if not name.startswith("/RESULTS"):
            continue
        count += 1
        if name not in in_b:
            print(f"missing in {b}: {name}")
            same = False
            continue
        wa, wb = words(a, name, "I"), words(b, name, "I")
        if dims[0] == n and len(wa) == len(wb):
            w = len(wa) // n
            equal = all(wa[w * i:w * i + w] == wb[w * perm[i]:w * perm[i] + w] for i in range(n))
        else:
            equal = wa == wb
        if not equal:
            print(f"differ: {name}")
            same = False
    print(f"{count} datasets compared: " + ("all identical" if same else "DIFFERENCES"))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
