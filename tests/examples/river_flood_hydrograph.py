# The river-flood example's hydrographs, physically: the flood wave entering upstream is attenuated and delayed by
# the storage of the channel and its floodplain, and the volume that left through the downstream section plus what
# is still in the valley cannot exceed what entered. Usage: python3 river_flood_hydrograph.py results_discharge.csv
import csv
import sys

rows = list(csv.DictReader(open(sys.argv[1])))
t = [float(r["time_s"]) for r in rows]
inflow = [-float(r["upstream"]) for r in rows]  # boundary strings count outflow as positive
gauge = [float(r["gauge"]) for r in rows]
outflow = [float(r["downstream"]) for r in rows]


def peak(q):
    k = max(range(len(q)), key=lambda i: q[i])
    return q[k], t[k]


failures = []
(qi, ti), (qg, tg), (qo, to) = peak(inflow), peak(gauge), peak(outflow)
print("peaks: inflow %.1f m3/s at %g s, gauge %.1f at %g s, outflow %.1f at %g s" % (qi, ti, qg, tg, qo, to))
if abs(qi - 250.0) > 0.5:
    failures.append("the inflow peak is %.2f m3/s, the hydrograph's is 250" % qi)
if not (qo < qg < qi):
    failures.append("the peak is not attenuated downstream")
if not (ti < tg < to):
    failures.append("the peak does not travel downstream")
# Base flow settled before the flood: gauge and outlet within 15 % of 30 m3/s at t = 3600 s.
k = t.index(3600.0)
for name, q in (("gauge", gauge), ("downstream", outflow)):
    if abs(q[k] - 30.0) > 4.5:
        failures.append("%s carries %.1f m3/s at t = 3600 s, not the base flow of 30" % (name, q[k]))
trapezoid = lambda q: sum(0.5 * (q[i] + q[i + 1]) * (t[i + 1] - t[i]) for i in range(len(t) - 1))
vin, vout = trapezoid(inflow), trapezoid(outflow)
print("volumes: in %.0f m3, out %.0f m3" % (vin, vout))
if not (0.5 * vin < vout < vin):
    failures.append("outflow volume %.0f m3 against inflow %.0f m3" % (vout, vin))
for f in failures:
    print("FAILED:", f)
sys.exit(1 if failures else 0)
