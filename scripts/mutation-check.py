#!/usr/bin/env python3
"""Mutation check: how many small faults in the code that matters most does the test suite catch?

Each mutation replaces one exact piece of text (found exactly once in its file) by a faulty one: a sign, a
comparison, an index, a dropped term, an off-by-one. Mutants are applied one at a time in the working tree and
always restored (on normal exit, on an exception and on SIGINT/SIGTERM/SIGHUP; a copy of the original is kept in
the build folder until it is restored, and a later run puts back any copy left by a run that was killed). Each mutant
is built incrementally in the build folder (through ccache when it is installed) and the test suite runs against it
with --stop-on-failure, the quick labels first and the whole runs, examples and distributed runs after them. A mutant
whose build fails is "not viable"; one that fails a test or runs past the time limit is "killed".

Run by hand, not in CI:
    scripts/mutation-check.py --list                 # the mutations, each checked to apply exactly once
    scripts/mutation-check.py [BUILD_DIR]            # all of them (default build folder: build-mutation/)
    scripts/mutation-check.py --only NAME[,NAME...]  # a subset by name
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

K = "src/simulation/kernels/"
SOLVER = K + "HydraulicSolver.hpp"
SOLVER_LANES = K + "HydraulicSolverBatch.cpp"
BOUNDARY = K + "HydraulicsBoundary.hpp"
CELL = K + "HydraulicsCell.hpp"
CELL_LANES = K + "CellBatch.cpp"
STEP = K + "HydraulicsTimeStepFluxes.hpp"
MORPH_FLUX = K + "MorphologyFluxes.hpp"
MORPH_FLUX_LANES = K + "MorphologyFluxesBatch.cpp"
MORPH_CELL = K + "MorphologyCell.hpp"
PLANNER = "op/op_rt_support.cpp"
LOOPS = "op/op_par_loop.hpp"
GEOMETRY = "src/setup/mesh/Geometry.cpp"
EXTREMUM = "jsv/validators/ExtremumSchemaValidator.cpp"

# (name, file, original text, replacement)
MUTATIONS = [
    # Riemann solver (scalar and lane forms)
    ("hllc-left-wave-sign", SOLVER, "hStar <= a.h ? a.u - a.c", "hStar <= a.h ? a.u + a.c"),
    ("hllc-right-supersonic-side", SOLVER, "if (sb <= 0.0f) return physicalFlux(b, zs, g);",
     "if (sb <= 0.0f) return physicalFlux(a, zs, g);"),
    ("hllc-star-mass-bed-dropped", SOLVER, "fluxA.mass + sa * ((zs + hs) - a.eta)", "fluxA.mass + sa * (hs - a.eta)"),
    ("hllc-hstar-sign", SOLVER, "0.5 * hSum - 0.25 *", "0.5 * hSum + 0.25 *"),
    ("pressure-bed-sign", SOLVER, "static_cast<double>(eta) * 0.5 - static_cast<double>(z)",
     "static_cast<double>(eta) * 0.5 + static_cast<double>(z)"),
    ("bed-step-sign", SOLVER, "F.normal - bedStepTerm(g, eta1, eta2, z, zs)", "F.normal + bedStepTerm(g, eta1, eta2, z, zs)"),
    ("rotate-back-tangential-sign", SOLVER, "flux[1] = nx * Fn - ny * F.tangential;", "flux[1] = nx * Fn + ny * F.tangential;"),
    ("right-cell-flux-sign", SOLVER, "flux[3] = -(nx * Xn - ny * Gt);", "flux[3] = (nx * Xn - ny * Gt);"),
    ("tangential-discharge-sign", SOLVER, "const float qtL = rL * (stateL[2] * nx - stateL[1] * ny);",
     "const float qtL = rL * (stateL[2] * nx + stateL[1] * ny);"),
    ("interface-depth-own-bed", SOLVER, "const float hL = std::max(0.0f, HL - zf);", "const float hL = std::max(0.0f, HL - zL);"),
    ("lanes-right-wave-sign", SOLVER_LANES, "rarefactionB ? b.u + b.c", "rarefactionB ? b.u - b.c"),
    ("lanes-hstar-sign", SOLVER_LANES, "0.5 * hSumD - ((0.25", "0.5 * hSumD + ((0.25"),
    ("lanes-normal-discharge-sign", SOLVER_LANES, "const v8f qnR = rR * (qxR * nx + qyR * ny);",
     "const v8f qnR = rR * (qxR * nx - qyR * ny);"),
    ("lanes-star-mass-sign", SOLVER_LANES, "fluxA.mass + s * ((zs + hs) - a.eta)", "fluxA.mass - s * ((zs + hs) - a.eta)"),
    # boundary fluxes
    ("imposed-momentum-depth-dropped", BOUNDARY, "return static_cast<float>(Q * Q * ib + (",
     "return static_cast<float>(Q * ib + ("),
    ("boundary-froude-comparison", BOUNDARY, "const bool subcritical = froude <= 1.0f;",
     "const bool subcritical = froude >= 1.0f;"),
    ("outflow-normal-depth-wall-side", BOUNDARY, "case bc::OutflowNormalDepth: {\n            if (qn <= 0.0f) {",
     "case bc::OutflowNormalDepth: {\n            if (qn >= 0.0f) {"),
    ("inflow-normal-depth-direction", BOUNDARY, "case bc::InflowDischargeNormalDepth: {\n            const float Q = s * D[2];",
     "case bc::InflowDischargeNormalDepth: {\n            const float Q = -s * D[2];"),
    # cell update
    ("update-left-right-columns", CELL, "F[leftCell ? 1 : 3]", "F[leftCell ? 3 : 1]"),
    ("update-momentum-sign", CELL, "hydState[1] -= k * sumX;", "hydState[1] += k * sumX;"),
    ("update-mass-edge-sign-dropped", CELL, "sumMass += static_cast<float>(edgeSign[e]) *", "sumMass += 1.0f *"),
    ("update-mass-last-edge", CELL, "for (int e = 0; e < 3; ++e) sumMass", "for (int e = 0; e < 2; ++e) sumMass"),
    ("update-bed-sign", CELL, "*bottomEl -= k * sumBed;", "*bottomEl += k * sumBed;"),
    # friction
    ("friction-denominator-sign", CELL, "const float d1 = 2.0f * step * absQ + cf2 * h * h;",
     "const float d1 = 2.0f * step * absQ - cf2 * h * h;"),
    ("friction-manning-power", CELL, "return scaledCubeRoot(invG, std::max(d, hmin), invN, invN);",
     "return scaledCubeRoot(invG, std::max(d, hmin), invN, 1.0);"),
    ("lanes-friction-sign", CELL_LANES, "store(QX, qx - qxs * (absQs * k2) * step);", "store(QX, qx + qxs * (absQs * k2) * step);"),
    # time step
    ("time-step-celerity-sign", STEP, "static_cast<double>(un + c) + 1.0e-6", "static_cast<double>(un - c) + 1.0e-6"),
    ("time-step-max-not-min", STEP, "*dtMin = std::min(*dtMin, std::min(dtL, dtR));", "*dtMin = std::min(*dtMin, std::max(dtL, dtR));"),
    ("time-step-dry-flag", STEP, "if (isWetted != 1) return 1.0e6f;", "if (isWetted != 0) return 1.0e6f;"),
    # bed load and Exner
    ("exner-wave-speeds-swapped", MORPH_FLUX, "FsL * lMax - FsR * lMin", "FsL * lMin - FsR * lMax"),
    ("exner-bed-jump-sign", MORPH_FLUX, "(*bottomElR - *bottomElL) * lMin * lMax", "(*bottomElL - *bottomElR) * lMin * lMax"),
    ("lanes-exner-wave-speeds-swapped", MORPH_FLUX_LANES, "FsL * lMax - FsR * lMin", "FsL * lMin - FsR * lMax"),
    ("sediment-bed-level-feed-sign", MORPH_FLUX, "if (zb < r0) flux = -volumeRate(r0 - zb);", "if (zb < r0) flux = volumeRate(r0 - zb);"),
    ("shields-velocity-squared", MORPH_CELL, "const float theta = absQ * absQ * ih * ih * shields;",
     "const float theta = absQ * ih * ih * shields;"),
    ("bedload-threshold-sign", MORPH_CELL, "const float x = std::max(theta - thetaCrt, 0.0f);",
     "const float x = std::max(theta + thetaCrt, 0.0f);"),
    ("bed-gradient-y-weight", MORPH_CELL, "gy += geomWght[2 * j + 1] * delta;", "gy += geomWght[2 * j] * delta;"),
    # planner colouring
    ("thread-colours-count", PLANNER, "nthrcol[b] = maxColor + 1;", "nthrcol[b] = maxColor;"),
    ("block-colour-bit-dropped", PLANNER, "blkcol[b] = base + bit;", "blkcol[b] = base;"),
    ("block-colours-count", PLANNER, "ncolors = std::max(ncolors, blkcol[b] + 1);", "ncolors = std::max(ncolors, blkcol[b]);"),
    # loop machinery
    ("block-range-last-element", LOOPS, "offset[blockId] + nelems[blockId], seq);", "offset[blockId] + nelems[blockId] - 1, seq);"),
    ("colour-block-offset", LOOPS, "block_offset += nblocks;", "block_offset += 0;"),
    ("indirection-count", LOOPS, "ninds = std::max(ninds, declInds[i] + 1);", "ninds = std::max(ninds, declInds[i]);"),
    # set-up geometry and node strings
    ("edge-normal-side", GEOMETRY, "const double nx = dy / len, ny = -dx / len;", "const double nx = -dy / len, ny = dx / len;"),
    ("char-size-halved", GEOMETRY, "g.charSize[2 * e] = static_cast<float>(2 * dl);", "g.charSize[2 * e] = static_cast<float>(dl);"),
    ("cell-edge-sign", GEOMETRY, "g.edgeSign[3 * c + j] = (l == c) ? 1 : -1;", "g.edgeSign[3 * c + j] = (l == c) ? -1 : 1;"),
    ("edge-second-node", GEOMETRY, "g.edgeNodes[2 * e + 1] = g.topology[3 * c + (j + 1) % 3];",
     "g.edgeNodes[2 * e + 1] = g.topology[3 * c + (j + 2) % 3];"),
    ("node-string-upstream-side", GEOMETRY, "req.upstream == UpstreamSide::Left ? onLeftOfWalk : onRightOfWalk;",
     "req.upstream == UpstreamSide::Left ? onRightOfWalk : onLeftOfWalk;"),
    ("node-string-edge-sign", GEOMETRY, "signs[i] = upstream == left ? 1 : -1;", "signs[i] = upstream == left ? -1 : 1;"),
    ("node-string-piece-size", GEOMETRY, "std::min<size_t>(kMaxStringEdges, nEdges - start)",
     "std::min<size_t>(kMaxStringEdges, nEdges - start - 1)"),
    ("node-string-length", GEOMETRY, "total += std::hypot(", "total = std::hypot("),
    # validator verdicts
    ("minimum-inclusive", EXTREMUM, "if (!(value >= bound_))", "if (!(value > bound_))"),
    ("exclusive-maximum", EXTREMUM, "if (!(value < bound_))", "if (!(value <= bound_))"),
    ("required-inverted", "jsv/validators/RequiredSchemaValidator.cpp", "if (!data->contains(name)) annotations.add",
     "if (data->contains(name)) annotations.add"),
    ("one-of-two-present", "jsv/validators/OneOfSchemaValidator.cpp", "if (present.size() > 1) {", "if (present.size() > 2) {"),
    ("items-first-skipped", "jsv/validators/ItemsSchemaValidator.cpp", "for (std::size_t i = 0; i < data->size(); ++i)",
     "for (std::size_t i = 1; i < data->size(); ++i)"),
    # results layout and output times
    ("output-record-digits", "src/dataio/ResultReader.cpp", '"%s/%07i"', '"%s/%06i"'),
    ("copied-table-size", "src/dataio/H5Writer.cpp", 'static_cast<int>(dims[0] * dims[1])', 'static_cast<int>(dims[0])'),
    ("output-time-reached", "src/simulation/ExecutionPlan.cpp", "if (t < next) return false;", "if (t <= next) return false;"),
    ("output-next-index", "src/simulation/ExecutionPlan.cpp", "next = triggerTime(++k);", "next = triggerTime(k++);"),
]

_restore = {}  # path -> original text, while a mutant is applied
_child = []  # the running build or test process, killed with its group when the check is stopped

# Whole runs, examples and distributed runs are the slow part of the suite: each mutant meets the quick tests first,
# so a killed mutant is usually known in seconds; the slow tests run only when the quick ones all pass.
SLOW_LABELS = "wholerun|slow|examples|distributed"


def backup_dir(build):
    return os.path.join(build, "mutation-backup")


def restore_all(*_):
    for path, text in list(_restore.items()):
        with open(path, "w") as f:
            f.write(text)
        del _restore[path]
    return None


def on_signal(signum, _frame):
    for p in _child:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except OSError:
            pass
    restore_all()
    sys.stderr.write("mutation check stopped by signal %d; sources restored\n" % signum)
    sys.exit(128 + signum)


def read(rel):
    with open(os.path.join(ROOT, rel)) as f:
        return f.read()


def problems():
    """Mutations whose name is repeated, or whose original text is missing or not unique in its file."""
    bad = []
    seen = set()
    for name, rel, old, new in MUTATIONS:
        if name in seen:
            bad.append((name, "name used twice"))
        seen.add(name)
        if old == new:
            bad.append((name, "replacement equals the original"))
        try:
            n = read(rel).count(old)
        except OSError as e:
            bad.append((name, "%s: %s" % (rel, e.strerror)))
            continue
        if n != 1:
            bad.append((name, "%s: original text found %d times (must be exactly once)" % (rel, n)))
    return bad


def recover_leftovers(build):
    """Puts back the originals that a killed run left in the backup folder."""
    folder = backup_dir(build)
    if not os.path.isdir(folder):
        return
    for dirpath, _, files in os.walk(folder):
        for fn in files:
            saved = os.path.join(dirpath, fn)
            rel = os.path.relpath(saved, folder)
            shutil.copyfile(saved, os.path.join(ROOT, rel))
            sys.stderr.write("restored %s from a previous run that did not finish\n" % rel)
    shutil.rmtree(folder)


def run(cmd, timeout=None, log=None, env=None):
    """Runs cmd in its own process group; returns (status, output); status None on timeout."""
    p = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         start_new_session=True, env=env)
    _child.append(p)
    try:
        out, _ = p.communicate(timeout=timeout)
        status = p.returncode
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        status = None
    finally:
        _child.remove(p)
    if log:
        with open(log, "a") as f:
            f.write("$ %s\n%s\n" % (" ".join(cmd), out))
    return status, out


def first_failed(out):
    m = re.search(r"The following tests FAILED:\s*\n\s*\d+ - (\S+)", out)
    if m:
        return m.group(1)
    m = re.search(r"\d+/\d+ Test\s+#\d+: (\S+) \.+\*?\*?\*?(Failed|Exception|Timeout|Not Run)", out)
    return m.group(1) if m else None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build", nargs="?", default="build-mutation", help="build folder (default: build-mutation)")
    ap.add_argument("--list", action="store_true", help="list the mutations and check that each applies exactly once")
    ap.add_argument("--only", default="", help="comma-separated mutation names to run")
    ap.add_argument("--time-limit", type=float, default=1200, help="seconds for one mutant's test run (default 1200)")
    ap.add_argument("-j", "--jobs", type=int, default=2, help="build and test jobs (default 2)")
    ap.add_argument("--exclude", default="", help="ctest -E regular expression: tests left out of every run")
    ap.add_argument("--no-baseline", action="store_true", help="skip the check that the unmutated suite passes")
    args = ap.parse_args()

    bad = problems()
    if args.list:
        for name, rel, old, new in MUTATIONS:
            print("%-34s %-45s %r -> %r" % (name, rel, old, new))
        print("%d mutations" % len(MUTATIONS))
    for name, why in bad:
        print("mutation %s: %s" % (name, why), file=sys.stderr)
    if bad:
        return 2
    if args.list:
        return 0

    chosen = MUTATIONS
    if args.only:
        wanted = [w for w in args.only.split(",") if w]
        names = {m[0] for m in MUTATIONS}
        unknown = [w for w in wanted if w not in names]
        if unknown:
            print("unknown mutation(s): %s (see --list)" % ", ".join(unknown), file=sys.stderr)
            return 2
        chosen = [m for m in MUTATIONS if m[0] in wanted]

    build = os.path.abspath(os.path.join(ROOT, args.build))
    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, on_signal)
    recover_leftovers(build)
    log = os.path.join(build, "mutation-check.log") if os.path.isdir(build) else None

    # The compiler cache turns the rebuild after each restore into cache hits, and a later run in the same folder
    # (a changed test suite, the same code) into hits for every mutant of the code. Without a base directory, so
    # that the source paths compiled into messages are those of an ordinary build.
    build_env = dict(os.environ)
    build_env.pop("CCACHE_BASEDIR", None)
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        configure = ["cmake", "-S", ".", "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DHYDROVA_BUILD_TESTS=ON"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        st, out = run(configure, env=build_env)
        if st != 0:
            print(out)
            print("cannot configure %s" % build, file=sys.stderr)
            return 2
    log = os.path.join(build, "mutation-check.log")
    open(log, "w").close()
    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]
    ctest = ["ctest", "--test-dir", build, "-j", str(args.jobs), "--stop-on-failure", "--output-on-failure",
             "--timeout", str(int(args.time_limit))]
    if args.exclude:
        ctest += ["-E", args.exclude]
    phases = [ctest + ["-LE", SLOW_LABELS], ctest + ["-L", SLOW_LABELS]]

    def run_suite():
        """Quick tests, then (if they pass) the slow ones; (status, output) of the first phase that fails."""
        t_end = time.time() + args.time_limit
        for cmd in phases:
            st, out = run(cmd, timeout=max(1.0, t_end - time.time()), log=log)
            if st != 0:
                return st, out
        return 0, out

    st, out = run(build_cmd, log=log, env=build_env)
    if st != 0:
        print("the unmutated sources do not build in %s (see %s)" % (build, log), file=sys.stderr)
        return 2
    if not args.no_baseline:
        t0 = time.time()
        st, out = run_suite()
        if st != 0:
            print("the unmutated suite does not pass (%s): leave the failing tests out with --exclude"
                  % ("time limit" if st is None else first_failed(out) or "a failing test"), file=sys.stderr)
            return 2
        print("baseline: suite passes in %.0f s" % (time.time() - t0), flush=True)

    counts = {"killed": 0, "survived": 0, "not viable": 0}
    survivors = []
    try:
        for name, rel, old, new in chosen:
            t0 = time.time()
            path = os.path.join(ROOT, rel)
            text = read(rel)
            saved = os.path.join(backup_dir(build), rel)
            os.makedirs(os.path.dirname(saved), exist_ok=True)
            shutil.copyfile(path, saved)
            _restore[path] = text
            with open(path, "w") as f:
                f.write(text.replace(old, new, 1))
            try:
                st, out = run(build_cmd, log=log, env=build_env)
                if st != 0:
                    verdict, detail = "not viable", "does not compile"
                else:
                    st, out = run_suite()
                    if st is None:
                        verdict, detail = "killed", "time limit"
                    elif st != 0:
                        verdict, detail = "killed", "by " + (first_failed(out) or "a failing test")
                    else:
                        verdict, detail = "survived", ""
            finally:
                restore_all()
                shutil.rmtree(backup_dir(build), ignore_errors=True)
            counts[verdict] += 1
            if verdict == "survived":
                survivors.append(name)
            print("%-34s %-10s %-40s %5.0f s" % (name, verdict, detail, time.time() - t0), flush=True)
    finally:
        restore_all()
    # Leaves the build folder matching the restored sources.
    run(build_cmd, log=log, env=build_env)
    viable = counts["killed"] + counts["survived"]
    print("killed %d of %d viable mutants (%d survived, %d not viable)"
          % (counts["killed"], viable, counts["survived"], counts["not viable"]))
    if survivors:
        print("survived: " + ", ".join(survivors))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        restore_all()
