# Opens the XDMF file of a results file the way QGIS does (its MDAL library reads XDMF as datasets of a mesh: the
# 2DM mesh is loaded first, the XDMF file added to it) and checks every dataset group a user would pick: all output
# times, values on the faces, finite ranges, no negative depth.
# Usage: python3 qgis_reads_xdmf.py MESH.2dm FILE.xdmf CELLS TIME [TIME ...]
import math
import sys

from qgis.core import QgsApplication, QgsMeshDatasetGroupMetadata, QgsMeshDatasetIndex, QgsMeshLayer

mesh, xdmf, cells, times = sys.argv[1], sys.argv[2], int(sys.argv[3]), [float(t) for t in sys.argv[4:]]
app = QgsApplication([], False)
app.initQgis()
layer = QgsMeshLayer(mesh, "mesh", "mdal")
failures = []
if not layer.isValid():
    failures.append("the mesh %s is not valid for QGIS" % mesh)
provider = layer.dataProvider()
if provider.faceCount() != cells:
    failures.append("%d faces, expected %d" % (provider.faceCount(), cells))
if not provider.addDataset(xdmf):
    failures.append("QGIS refused the XDMF file %s" % xdmf)
names = []
for g in range(provider.datasetGroupCount()):
    meta = provider.datasetGroupMetadata(g)
    if meta.name() == "Bed Elevation":  # the mesh's own node elevations
        continue
    names.append(meta.name())
    # QGIS counts dataset times in hours and takes the XDMF time values as such.
    found = [provider.datasetMetadata(QgsMeshDatasetIndex(g, i)).time() for i in range(provider.datasetCount(g))]
    if found != times:
        failures.append("<%s>: times %s, expected %s" % (meta.name(), found, times))
    if meta.dataType() != QgsMeshDatasetGroupMetadata.DataOnFaces:
        failures.append("<%s> is not on the faces" % meta.name())
    if not (math.isfinite(meta.minimum()) and math.isfinite(meta.maximum())):
        failures.append("<%s> ranges over %g .. %g" % (meta.name(), meta.minimum(), meta.maximum()))
    if meta.name() == "water_depth" and meta.minimum() < 0.0:
        failures.append("negative water depth %g" % meta.minimum())
for wanted in ("water_depth", "water_surface", "flow_velocity", "spec_discharge"):
    if wanted not in names:
        failures.append("no dataset group <%s> among %s" % (wanted, names))
for f in failures:
    print("FAILED:", f)
print("%d dataset groups read by QGIS" % len(names))
app.exitQgis()
sys.exit(1 if failures else 0)
