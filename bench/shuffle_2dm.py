#!/usr/bin/env python3
"""Random renumbering of a 2DM mesh: new node and element ids, lines in random order, same geometry.

Usage: shuffle_2dm.py IN.2dm OUT.2dm [--seed N]

Node ids and element ids are replaced by random permutations of 1..n, the ND and E3T cards are written in a
random order, and every element and node string refers to the new node ids. The mesh is the same; only its
numbering and the order of the file differ, so a run on it must take the same number of time steps.
"""
import argparse
import random
import sys


def shuffle_2dm(src, dst, seed):
    nodes = []      # (old id, rest of the ND line after the id)
    elems = []      # (old id, [old node ids], material id)
    strings = []    # [(name, [old node ids])]
    other = []      # other cards, kept in place before the nodes
    current = []    # node ids of the string being read
    with open(src) as f:
        for line in f:
            parts = line.split()
            if not parts:
                continue
            card = parts[0]
            if card == "ND":
                nodes.append((int(parts[1]), parts[2:]))
            elif card == "E3T":
                elems.append((int(parts[1]), [int(p) for p in parts[2:5]], parts[5:]))
            elif card == "NS":
                tokens = parts[1:]
                i = 0
                while i < len(tokens):
                    v = int(tokens[i])
                    if v < 0:
                        current.append(-v)
                        name = tokens[i + 1] if i + 1 < len(tokens) else ""
                        strings.append((name, current))
                        current = []
                        i += 2
                    else:
                        current.append(v)
                        i += 1
            elif card == "MESH2D":
                continue
            else:
                other.append(line.rstrip("\n"))
    if current:
        sys.exit(f"{src}: node string without its closing negative id")

    rng = random.Random(seed)
    new_node = list(range(1, len(nodes) + 1))
    rng.shuffle(new_node)
    node_map = {old: new for (old, _), new in zip(nodes, new_node)}
    new_elem = list(range(1, len(elems) + 1))
    rng.shuffle(new_elem)

    node_lines = [f"ND {node_map[old]} {' '.join(rest)}" for old, rest in nodes]
    elem_lines = [
        f"E3T {new} {' '.join(str(node_map[n]) for n in ns)} {' '.join(mat)}"
        for (_, ns, mat), new in zip(elems, new_elem)
    ]
    rng.shuffle(node_lines)
    rng.shuffle(elem_lines)

    with open(dst, "w") as out:
        out.write("MESH2D\n")
        for line in other:
            out.write(line + "\n")
        for line in elem_lines:
            out.write(line + "\n")
        for line in node_lines:
            out.write(line + "\n")
        for name, ids in strings:
            mapped = [node_map[i] for i in ids]
            mapped[-1] = -mapped[-1]
            for k in range(0, len(mapped), 10):
                chunk = " ".join(str(v) for v in mapped[k:k + 10])
                out.write(f"NS {chunk}{' ' + name if k + 10 >= len(mapped) else ''}\n")
    return len(nodes), len(elems)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("src")
    ap.add_argument("dst")
    ap.add_argument("--seed", type=int, default=20261206)
    a = ap.parse_args()
    n, m = shuffle_2dm(a.src, a.dst, a.seed)
    print(f" -> {a.dst}: {n} nodes, {m} triangles renumbered at random (seed {a.seed})")


if __name__ == "__main__":
    main()
