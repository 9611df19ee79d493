# Opens the XDMF file of a results file with ParaView's own reader (run by pvpython) and checks what a user would
# see: every output time, the whole mesh, and finite values in every cell array (velocities on dry cells too).
# Usage: pvpython paraview_reads_xdmf.py MESH.2dm FILE.xdmf CELLS TIME [TIME ...]  (the mesh is not needed here)
import math
import sys

from paraview import servermanager
from paraview.simple import XDMFReader

xdmf, cells, times = sys.argv[2], int(sys.argv[3]), [float(t) for t in sys.argv[4:]]
reader = XDMFReader(FileNames=[xdmf])
reader.UpdatePipelineInformation()
found = list(reader.TimestepValues)
failures = []
if found != times:
    failures.append("time steps %s, expected %s" % (found, times))
names = list(reader.CellData.keys())
for wanted in ("water_depth", "water_surface", "flow_velocity", "spec_discharge"):
    if wanted not in names:
        failures.append("no cell array <%s> among %s" % (wanted, names))
for t in found:
    reader.UpdatePipeline(t)
    grid = servermanager.Fetch(reader)
    if grid.GetNumberOfCells() != cells:
        failures.append("t = %g: %d cells, expected %d" % (t, grid.GetNumberOfCells(), cells))
    data = grid.GetCellData()
    for i in range(data.GetNumberOfArrays()):
        array = data.GetArray(i)
        for c in range(array.GetNumberOfTuples()):
            values = array.GetTuple(c)
            if not all(math.isfinite(v) for v in values):
                failures.append("t = %g: <%s> is %s in cell %d" % (t, array.GetName(), values, c))
                break
    depth = data.GetArray("water_depth")
    if depth is not None and depth.GetRange()[0] < 0.0:
        failures.append("t = %g: negative water depth %g" % (t, depth.GetRange()[0]))
for f in failures:
    print("FAILED:", f)
print("%d time steps, %d cell arrays read by ParaView" % (len(found), len(names)))
sys.exit(1 if failures else 0)
