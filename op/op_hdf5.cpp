// Sets, maps and data declared from HDF5 datasets, and data items written to HDF5 files, on the HDF5 C API.
#include "op/op_hdf5.h"

#include <errno.h>
#include <fcntl.h>
#include <hdf5.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "op/op_openmp_decl.h"
#include "op/op_util.h"

namespace {

/// Owns one HDF5 identifier and closes it with the matching function.
class H5Id {
public:
    H5Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
    ~H5Id()
    {
        if (id_ >= 0) close_(id_);
    }
    H5Id(const H5Id&) = delete;
    H5Id& operator=(const H5Id&) = delete;
    hid_t get() const { return id_; }
    bool valid() const { return id_ >= 0; }
    /// Gives the identifier up without closing it.
    hid_t release()
    {
        const hid_t id = id_;
        id_ = -1;
        return id;
    }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

/// Switches HDF5's automatic error printing off for its lifetime.
class QuietErrors {
public:
    QuietErrors()
    {
        H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    }
    ~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }

private:
    H5E_auto2_t func_ = nullptr;
    void* data_ = nullptr;
};

void open_library()
{
    H5check_version(H5_VERS_MAJOR, H5_VERS_MINOR, H5_VERS_RELEASE);
    H5open();
}

/// True when every '/'-separated prefix of `path` and `path` itself exist in `loc`.
bool path_exists(hid_t loc, const char* path)
{
    QuietErrors quiet;
    std::string p(path);
    size_t pos = 0;
    while (true) {
        pos = p.find('/', pos + 1);
        std::string prefix = p.substr(0, pos);
        if (!prefix.empty() && prefix != "/" && H5Lexists(loc, prefix.c_str(), H5P_DEFAULT) <= 0) return false;
        if (pos == std::string::npos) return true;
    }
}

/// Names a file type like the framework's type names: int, long long, float, double, or UNRECOGNISED.
const char* type_to_string(hid_t type)
{
    const H5T_class_t cls = H5Tget_class(type);
    const size_t size = H5Tget_size(type);
    if (cls == H5T_INTEGER && H5Tget_sign(type) == H5T_SGN_2) {
        if (size == 4) return "int";
        if (size == 8) return "long long";
    }
    if (cls == H5T_FLOAT) {
        if (size == 4) return "float";
        if (size == 8) return "double";
    }
    return "UNRECOGNISED";
}

struct DatasetProps {
    int ndims = 0;
    long count = 0;         ///< first dimension: elements
    int dim = 0;            ///< second dimension: components (1 when absent)
    const char* type = "";  ///< file type name
    int elem_bytes = 0;     ///< bytes per element
};

/// Reads the properties of an open dataset; false when HDF5 cannot tell them. Unknown types end the process.
bool get_properties(hid_t dset, const char* path, DatasetProps& props)
{
    QuietErrors quiet;
    H5Id space(H5Dget_space(dset), H5Sclose);
    H5Id type(H5Dget_type(dset), H5Tclose);
    if (!space.valid() || !type.valid()) return false;
    const int ndims = H5Sget_simple_extent_ndims(space.get());
    if (ndims < 0) return false;
    hsize_t dims[H5S_MAX_RANK] = {0};
    if (ndims > 0) H5Sget_simple_extent_dims(space.get(), dims, nullptr);
    props.ndims = ndims;
    props.count = ndims > 0 ? (long)dims[0] : 0;
    props.dim = ndims > 1 ? (int)dims[1] : (ndims == 1 ? 1 : 0);
    props.type = type_to_string(type.get());
    int bytes;
    if (strcmp(props.type, "int") == 0 || strcmp(props.type, "float") == 0)
        bytes = 4;
    else if (strcmp(props.type, "long long") == 0 || strcmp(props.type, "double") == 0)
        bytes = 8;
    else {
        op_printf("Error: Do not recognise type of dataset '%s'\n", path);
        exit(2);
    }
    props.elem_bytes = bytes * props.dim;
    return true;
}

bool in_group(const char* t, const char* const* names, int n)
{
    for (int i = 0; i < n; ++i)
        if (strcmp(t, names[i]) == 0) return true;
    return false;
}

const char* const kDoubles[] = {"double", "double:soa", "real(8)", "double precision"};
const char* const kFloats[] = {"float", "float:soa", "real(4)", "real"};
const char* const kInts[] = {"int", "int:soa", "integer(4)", "integer"};

bool is_long(const char* t) { return strcmp(t, "long") == 0 || strcmp(t, "long:soa") == 0; }
bool is_long_long(const char* t) { return strcmp(t, "long long") == 0 || strcmp(t, "long long:soa") == 0; }

/// Memory type of a data item's components; "long" items hold 4-byte integers unless their components are 8 bytes.
/// Returns a negative id for unknown names. `strict` accepts only the names a new dataset may be created with.
hid_t memory_type(const char* t, int componentBytes, bool strict)
{
    if (strict) {
        if (strcmp(t, "double") == 0 || strcmp(t, "double:soa") == 0) return H5T_NATIVE_DOUBLE;
        if (strcmp(t, "float") == 0 || strcmp(t, "float:soa") == 0) return H5T_NATIVE_FLOAT;
        if (strcmp(t, "int") == 0 || strcmp(t, "int:soa") == 0) return H5T_NATIVE_INT;
    } else {
        if (in_group(t, kDoubles, 4)) return H5T_NATIVE_DOUBLE;
        if (in_group(t, kFloats, 4)) return H5T_NATIVE_FLOAT;
        if (in_group(t, kInts, 4)) return H5T_NATIVE_INT;
    }
    if (is_long(t)) return componentBytes == 8 ? H5T_NATIVE_LLONG : H5T_NATIVE_INT;
    if (is_long_long(t)) return H5T_NATIVE_LLONG;
    return -1;
}

void require_file(const char* file, const char* function)
{
    if (!file_exist(file)) {
        op_printf("File %s does not exist .... aborting %s()\n", file, function);
        exit(2);
    }
}

bool read_int_attribute(hid_t dset, const char* name, int* value)
{
    if (H5Aexists(dset, name) <= 0) return false;
    H5Id attr(H5Aopen(dset, name, H5P_DEFAULT), H5Aclose);
    return attr.valid() && H5Aread(attr.get(), H5T_NATIVE_INT, value) >= 0;
}

bool read_string_attribute(hid_t dset, const char* name, std::string* value)
{
    if (H5Aexists(dset, name) <= 0) return false;
    H5Id attr(H5Aopen(dset, name, H5P_DEFAULT), H5Aclose);
    if (!attr.valid()) return false;
    H5Id ftype(H5Aget_type(attr.get()), H5Tclose);
    const size_t size = H5Tget_size(ftype.get());
    H5Id mtype(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(mtype.get(), size + 1);
    H5Tset_strpad(mtype.get(), H5T_STR_NULLTERM);
    std::string buffer(size + 1, '\0');
    if (H5Aread(attr.get(), mtype.get(), &buffer[0]) < 0) return false;
    *value = std::string(buffer.c_str());
    return true;
}

bool write_int_attribute(hid_t dset, const char* name, int value)
{
    hsize_t one = 1;
    H5Id space1(H5Screate_simple(1, &one, nullptr), H5Sclose);
    H5Id attr(H5Acreate2(dset, name, H5T_NATIVE_INT, space1.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.valid() && H5Awrite(attr.get(), H5T_NATIVE_INT, &value) >= 0;
}

bool write_string_attribute(hid_t dset, const char* name, const char* value)
{
    H5Id type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type.get(), strlen(value) > 0 ? strlen(value) : 1);
    H5Tset_strpad(type.get(), H5T_STR_NULLPAD);
    H5Id space(H5Screate(H5S_SCALAR), H5Sclose);
    H5Id attr(H5Acreate2(dset, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.valid() && H5Awrite(attr.get(), type.get(), value) >= 0;
}

/// Reads `rows` x `cols` elements from row `first` on (or fewer rows when the dataset has fewer) into `buffer`,
/// converted to `memtype`.
bool read_rows(hid_t dset, hid_t memtype, long rows, long fileRows, int cols, void* buffer, long first = 0)
{
    const long n = rows < fileRows - first ? rows : fileRows - first;
    if (n <= 0 || cols <= 0) return true;
    H5Id fspace(H5Dget_space(dset), H5Sclose);
    const int ndims = H5Sget_simple_extent_ndims(fspace.get());
    hsize_t start[2] = {(hsize_t)first, 0};
    hsize_t count[2] = {(hsize_t)n, (hsize_t)cols};
    if (ndims >= 1) H5Sselect_hyperslab(fspace.get(), H5S_SELECT_SET, start, nullptr, count, nullptr);
    hsize_t total = (hsize_t)n * cols;
    H5Id mspace(H5Screate_simple(1, &total, nullptr), H5Sclose);
    return H5Dread(dset, memtype, mspace.get(), fspace.get(), H5P_DEFAULT, buffer) >= 0;
}

/// A distributed run: the rows of this process's elements (global numbers ids[l] for local element l), read in
/// slices of the file, so that no process holds the whole dataset. Rows beyond the file's stay zero.
bool read_local_rows(hid_t dset, hid_t memtype, long fileRows, int cols, size_t rowBytes, const int* ids, int n,
                     char* buffer)
{
    std::vector<std::pair<int, int>> order((size_t)n);
    for (int l = 0; l < n; ++l) order[(size_t)l] = {ids[l], l};
    std::sort(order.begin(), order.end());
    if (order.empty()) return true;
    // Slices of at most 65 536 rows, no longer than the span of the rows wanted (a table of long rows, wanted for a
    // few elements, is not read in 65 536-row slices).
    const long span = std::min<long>(order.back().first, fileRows - 1) - order.front().first + 1;
    const long slice = std::max(1L, std::min(1L << 16, span));
    std::vector<char> rows((size_t)slice * rowBytes);
    for (size_t i = 0; i < order.size() && order[i].first < fileRows;) {
        const long first = order[i].first;
        if (!read_rows(dset, memtype, slice, fileRows, cols, rows.data(), first)) return false;
        for (; i < order.size() && order[i].first < first + slice && order[i].first < fileRows; ++i)
            memcpy(buffer + (size_t)order[i].second * rowBytes,
                   rows.data() + (size_t)(order[i].first - first) * rowBytes, rowBytes);
    }
    return true;
}

}  // namespace

bool op_type_equivalence(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr) return false;
    if (in_group(a, kDoubles, 4) && in_group(b, kDoubles, 4)) return true;
    if (in_group(a, kFloats, 4) && in_group(b, kFloats, 4)) return true;
    if (in_group(a, kInts, 4) && in_group(b, kInts, 4)) return true;
    return false;
}

op_set op_decl_set_hdf5(const char* file, const char* name)
{
    require_file(file, "op_decl_set_hdf5");
    open_library();
    H5Id fid(H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    int size = 0;
    {
        QuietErrors quiet;
        H5Id dset(fid.valid() && path_exists(fid.get(), name) ? H5Dopen2(fid.get(), name, H5P_DEFAULT) : -1, H5Dclose);
        if (!dset.valid() || H5Dread(dset.get(), H5T_NATIVE_INT, H5S_ALL, H5S_ALL, H5P_DEFAULT, &size) < 0) {
            op_printf("Could not read set size '%s' from file '%s'\n", name, file);
            exit(2);
        }
    }
    return op_decl_set(size, name);
}

op_set op_decl_set_hdf5_infer_size(const char* file, const char* name, const char* dataset)
{
    open_library();
    QuietErrors quiet;
    H5Id fid(file_exist(file) ? H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT) : -1, H5Fclose);
    if (!fid.valid()) {
        op_printf("Could not obtain read access to file '%s'\n", file);
        exit(2);
    }
    if (!path_exists(fid.get(), dataset)) {
        op_printf("Dataset '%s' not found in file '%s'\n", dataset, file);
        exit(2);
    }
    H5Id dset(H5Dopen2(fid.get(), dataset, H5P_DEFAULT), H5Dclose);
    if (!dset.valid()) {
        op_printf("Could not open dataset '%s' in file '%s'\n", dataset, file);
        return nullptr;
    }
    DatasetProps props;
    if (!get_properties(dset.get(), dataset, props)) {
        op_printf("Could not access dataset '%s' in file '%s'\n", dataset, file);
        exit(2);
    }
    return op_decl_set((int)props.count, name);
}

namespace {

/// A dataset that a map or data declaration reads: the file opened read-only, HDF5's error printing off, and the
/// dataset with its properties. `found` is false, after the "<kind> with name ... not found" line, when the file
/// has no such path; a dataset whose properties HDF5 cannot tell ends the process with 2.
struct DeclaredDataset {
    H5Id fid;
    QuietErrors quiet;
    bool found;
    H5Id dset;
    DatasetProps props;

    DeclaredDataset(const char* file, const char* name, const char* kind)
        : fid((open_library(), H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT)), H5Fclose),
          found(fid.valid() && path_exists(fid.get(), name)),
          dset(found ? H5Dopen2(fid.get(), name, H5P_DEFAULT) : -1, H5Dclose)
    {
        if (!found) {
            op_printf("%s with name : %s not found in file : %s \n", kind, name, file);
            return;
        }
        if (!dset.valid() || !get_properties(dset.get(), name, props)) {
            op_printf("Could not get properties of dataset '%s' in file '%s'\n", name, file);
            exit(2);
        }
    }
};

}  // namespace

op_map op_decl_map_hdf5(op_set from, op_set to, int dim, const char* file, const char* name)
{
    require_file(file, "op_decl_map_hdf5");
    DeclaredDataset in(file, name, "op_map");
    if (!in.found) return nullptr;
    const hid_t dset = in.dset.get();
    const DatasetProps& props = in.props;
    if (props.count != from->size) {
        op_printf("map from set size %d in file %s and size %d do not match \n", (int)props.count, file, from->size);
        exit(2);
    }
    if (props.dim != dim) {
        op_printf("map.dim %d in file %s and dim %d do not match\n", props.dim, file, dim);
        exit(2);
    }
    if (strcmp(props.type, "int") != 0 && strcmp(props.type, "long") != 0 && strcmp(props.type, "long long") != 0) {
        op_printf("Unknown type in file %s for map %s\n", file, name);
        exit(2);
    }
    // A run divided over processes reads the table after the division, each process the rows of its own elements.
    if (op_mpi_defers_maps()) {
        op_map map = op_decl_map(from, to, dim, nullptr, name);
        op_mpi_defer_map(map, file, name);
        return map;
    }
    // Every integer width is read as 4-byte native int: map tables hold int element numbers.
    int* table = (int*)xmalloc((size_t)from->size * dim * sizeof(int));
    if (!read_rows(dset, H5T_NATIVE_INT, from->size, props.count, dim, table)) {
        op_printf("Could not get properties of dataset '%s' in file '%s'\n", name, file);
        exit(2);
    }
    op_map map = op_decl_map(from, to, dim, table, name);
    map->user_managed = 0;
    return map;
}

op_dat op_decl_dat_hdf5(op_set set, int dim, const char* type, const char* file, const char* name)
{
    require_file(file, "op_decl_dat_hdf5");
    DeclaredDataset in(file, name, "op_dat");
    if (!in.found) return nullptr;
    const hid_t dset = in.dset.get();
    const DatasetProps& props = in.props;
    if (props.dim != dim) {
        op_printf("dat.dim %d in file %s and dim %d do not match\n", props.dim, file, dim);
        exit(2);
    }
    if (!op_type_equivalence(props.type, type))
        op_printf("dat.type %s in file %s and type %s do not match, performing automatic conversion\n", props.type,
                  file, type);

    hid_t memtype;
    int typeSize;
    if (in_group(type, kDoubles, 4)) {
        memtype = H5T_NATIVE_DOUBLE;
        typeSize = 8;
    } else if (in_group(type, kFloats, 4)) {
        memtype = H5T_NATIVE_FLOAT;
        typeSize = 4;
    } else if (in_group(type, kInts, 4) || is_long(type)) {
        memtype = H5T_NATIVE_INT;
        typeSize = 4;
    } else if (is_long_long(type)) {
        memtype = H5T_NATIVE_LLONG;
        typeSize = 8;
    } else {
        op_printf("unknown type for dat\n");
        exit(2);
    }
    // A set divided over processes already: this process's elements only.
    int local = 0;
    int* ids = op_mpi_global_ids(set, &local);
    const size_t bytes = (size_t)(ids != nullptr ? local : set->size) * dim * typeSize;
    char* data = (char*)xcalloc(bytes > 0 ? bytes : 1, 1);
    const bool read = ids != nullptr
                          ? read_local_rows(dset, memtype, props.count, dim, (size_t)dim * typeSize, ids, local, data)
                          : read_rows(dset, memtype, set->size, props.count, dim, data);
    op_free(ids);
    if (!read) {
        op_printf("Could not get properties of dataset '%s' in file '%s'\n", name, file);
        exit(2);
    }
    op_dat dat = op_decl_dat_core(set, dim, type, typeSize, data, name);
    dat->user_managed = 0;
    return dat;
}

int* op_read_map_rows_hdf5(const char* file, const char* name, int dim, const int* ids, int n)
{
    open_library();
    QuietErrors quiet;
    H5Id fid(H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
    H5Id dset(fid.valid() && path_exists(fid.get(), name) ? H5Dopen2(fid.get(), name, H5P_DEFAULT) : -1, H5Dclose);
    DatasetProps props;
    if (!dset.valid() || !get_properties(dset.get(), name, props) || props.dim != dim) return nullptr;
    int* table = (int*)xmalloc(std::max<size_t>((size_t)n * dim * sizeof(int), 1));
    const bool read = ids != nullptr ? read_local_rows(dset.get(), H5T_NATIVE_INT, props.count, dim,
                                                       (size_t)dim * sizeof(int), ids, n, (char*)table)
                                     : read_rows(dset.get(), H5T_NATIVE_INT, n, props.count, dim, table);
    if (!read) {
        free(table);
        return nullptr;
    }
    return table;
}

namespace {
int compressionLevel = 0;
}  // namespace

void op_hdf5_set_compression(int level) { compressionLevel = level < 0 ? 0 : level > 9 ? 9 : level; }

namespace {

/// The descriptor, size and end of allocation of a file the library keeps as a plain descriptor.
bool file_extent(hid_t fid, int& fd, off_t& size, off_t& eoa)
{
    QuietErrors quiet;
    haddr_t end = 0;
    void* handle = nullptr;
    struct stat st;
    if (H5Fget_eoa(fid, &end) < 0 || H5Fget_vfd_handle(fid, H5P_DEFAULT, &handle) < 0 || handle == nullptr)
        return false;
    fd = *static_cast<int*>(handle);
    if (fstat(fd, &st) != 0) return false;
    size = st.st_size;
    eoa = (off_t)end;
    return true;
}

/// Allocates the file's blocks up to the library's end of allocation plus `extra` bytes, so that the library's
/// writes there cannot fail for want of room (a full disk, a quota, a size limit) half-way: metadata updated in
/// place would then point at data that never reached the disk. Returns 0 or the system's error number; file
/// systems without allocation are left as they are.
int allocate_file(hid_t fid, off_t extra)
{
    int fd = -1;
    off_t size = 0, eoa = 0;
    if (!file_extent(fid, fd, size, eoa) || eoa + extra <= size) return 0;
    const int code = posix_fallocate(fd, size, eoa + extra - size);
    return code == EINVAL || code == EOPNOTSUPP ? 0 : code;
}

/// Sets the file's length to the library's end of allocation: after a failed write lengthened (without
/// allocating), so that a superblock that went out with a larger end never makes the library refuse the file as
/// truncated; after a flush shortened, giving the room allocated beyond back.
void fit_file(hid_t fid, bool lengthen)
{
    int fd = -1;
    off_t size = 0, eoa = 0;
    if (file_extent(fid, fd, size, eoa) && (lengthen ? size < eoa : size > eoa) && ftruncate(fd, eoa) != 0) return;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...)
{
    char text[1024];
    va_list args;
    va_start(args, pattern);
    vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

/// Fills the rows of an open dataset `dset` in memory type `memtype`; false when a write failed.
using RowWriter = bool (*)(hid_t dset, hid_t memtype, op_dat dat);

/// A distributed run's rank 0: the slices of the gathered data item into rows of the dataset.
struct Slices {
    hid_t dset;
    hid_t memtype;
    op_dat dat;
    bool failed;
};

void write_slice(const char* rows, int first, int count, void* context)
{
    Slices& out = *(Slices*)context;
    if (out.failed || count <= 0) return;
    const hsize_t start[2] = {(hsize_t)first, 0};
    const hsize_t extent[2] = {(hsize_t)count, (hsize_t)out.dat->dim};
    H5Id memory(H5Screate_simple(2, extent, nullptr), H5Sclose);
    H5Id space(H5Dget_space(out.dset), H5Sclose);
    out.failed = H5Sselect_hyperslab(space.get(), H5S_SELECT_SET, start, nullptr, extent, nullptr) < 0 ||
                 H5Dwrite(out.dset, out.memtype, memory.get(), space.get(), H5P_DEFAULT, rows) < 0;
}

/// Writes `rows` rows of `dat` to `path` of `file` (an existing dataset checked against it, a new one created with
/// its groups and attributes), `fill` writing the rows; returns the reason of a failure, empty on success. After a
/// failure the file is left open: closing it would flush the library's half-done changes.
std::string write_dat(op_dat dat, hsize_t rows, const char* file, const char* path, RowWriter fill)
{
    op_printf("Writing '%s' to file '%s'\n", path, file);
    open_library();
    QuietErrors quiet;
    const int componentBytes = dat->size / dat->dim;
    const hsize_t cols = (hsize_t)dat->dim;

    const bool exists = file_exist(file) != 0;
    if (exists) {
        if (OP_diags > 3) op_printf("File %s exists .... checking for dataset and path %s in file\n", file, path);
    } else if (OP_diags > 3) {
        op_printf("File %s does not exist .... creating file\n", file);
    }
    errno = 0;
    H5Id fid(
        exists ? H5Fopen(file, H5F_ACC_RDWR, H5P_DEFAULT) : H5Fcreate(file, H5F_ACC_EXCL, H5P_DEFAULT, H5P_DEFAULT),
        H5Fclose);
    if (!fid.valid()) return errno != 0 ? strerror(errno) : "the file cannot be opened for writing";
    // Any failure below: the file stays open (see above), lengthened so that the library can open it again.
    const auto failed = [&](const std::string& reason) {
        const int code = errno;
        fit_file(fid.get(), true);
        fid.release();
        return reason.empty() ? std::string(code != 0 ? strerror(code) : "the library refused the write") : reason;
    };
    // Room for the data and the library's records of them (64 KiB is far more than those take).
    const int room = allocate_file(fid.get(), (off_t)(rows * dat->size) + (1 << 16));
    if (room != 0) {
        errno = room;
        return failed("");
    }
    errno = 0;
    if (exists && path_exists(fid.get(), path)) {
        if (OP_diags > 3) op_printf("dataset '%s' exists in the file ... updating data\n", path);
        H5Id dset(H5Dopen2(fid.get(), path, H5P_DEFAULT), H5Dclose);
        int size = 0, dim = 0;
        std::string type;
        if (!read_int_attribute(dset.get(), "size", &size))
            return failed(format("dataset %s has no attribute 'size' to check the data against", path));
        if (size != dat->size)
            return failed(format("dat.size %d in file %s and dim %d do not match", size, file, dat->dim));
        if (!read_int_attribute(dset.get(), "dim", &dim))
            return failed(format("dataset %s has no attribute 'dim' to check the data against", path));
        if (dim != dat->dim)
            return failed(format("dat.dim %d in file %s and dim %d do not match", dim, file, dat->dim));
        if (!read_string_attribute(dset.get(), "type", &type))
            return failed(format("dataset %s has no attribute 'type' to check the data against", path));
        if (!op_type_equivalence(type.c_str(), dat->type))
            return failed(format("dat.type %s in file %s and type %s do not match", type.c_str(), file, dat->type));
        const hid_t memtype = memory_type(dat->type, componentBytes, false);
        if (memtype < 0) return failed(format("unknown type %s of data elements", dat->type));
        if (rows * cols > 0 && !fill(dset.get(), memtype, dat)) return failed("");
    } else {
        if (exists && OP_diags > 3) op_printf("op_dat %s does not exists in the file ... creating data set\n", path);
        // Intermediate groups of the path.
        std::string p(path);
        for (size_t pos = p.find('/', 1); pos != std::string::npos; pos = p.find('/', pos + 1)) {
            const std::string prefix = p.substr(0, pos);
            if (H5Lexists(fid.get(), prefix.c_str(), H5P_DEFAULT) <= 0) {
                H5Id group(H5Gcreate2(fid.get(), prefix.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
                if (!group.valid()) return failed("");
            }
        }
        const hid_t memtype = memory_type(dat->type, componentBytes, true);
        if (memtype < 0) return failed(format("unknown type %s of data elements", dat->type));
        hsize_t dims[2] = {rows, cols};
        H5Id space(H5Screate_simple(2, dims, nullptr), H5Sclose);
        // Compressed: whole rows in chunks of about 1 MiB of 4-byte values, the bytes of each value grouped by
        // significance (shuffle) before deflate, which is what makes slowly varying floats compress.
        H5Id dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
        if (compressionLevel > 0 && rows * cols > 0) {
            const hsize_t chunk[2] = {std::min<hsize_t>(rows, std::max<hsize_t>(1, (hsize_t(1) << 18) / cols)), cols};
            H5Pset_chunk(dcpl.get(), 2, chunk);
            H5Pset_shuffle(dcpl.get());
            H5Pset_deflate(dcpl.get(), static_cast<unsigned>(compressionLevel));
        }
        H5Id dset(H5Dcreate2(fid.get(), path, memtype, space.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT), H5Dclose);
        if (!dset.valid()) return failed("");
        if (rows * cols > 0 && !fill(dset.get(), memtype, dat)) return failed("");
        if (!write_int_attribute(dset.get(), "size", dat->size) || !write_int_attribute(dset.get(), "dim", dat->dim) ||
            !write_string_attribute(dset.get(), "type", dat->type))
            return failed("");
    }
    // The room for what the library allocated meanwhile, then the flush (closing would flush too, as the file is
    // open elsewhere in the process).
    const int flushRoom = allocate_file(fid.get(), 0);
    if (flushRoom != 0) {
        errno = flushRoom;
        return failed("");
    }
    errno = 0;
    if (H5Fflush(fid.get(), H5F_SCOPE_LOCAL) < 0) return failed("");
    // The last holder of the file gives the room allocated beyond the library's end back.
    if (H5Fget_obj_count(fid.get(), H5F_OBJ_FILE) == 1) fit_file(fid.get(), false);
    return std::string();
}

}  // namespace

void op_fetch_data_hdf5(op_dat dat, const char* file, const char* path)
{
    // A distributed run writes from rank 0 alone, the elements of every process in their original order, a slice
    // at a time: the file is the one a single process writes.
    const int global = op_mpi_global_size(dat->set);
    std::string failure;
    if (global < 0) {
        failure = write_dat(dat, (hsize_t)dat->set->size, file, path, [](hid_t dset, hid_t memtype, op_dat d) {
            return H5Dwrite(dset, memtype, H5S_ALL, H5S_ALL, H5P_DEFAULT, d->data) >= 0;
        });
    } else if (!op_is_root()) {
        op_mpi_gather_slices(dat, write_slice, nullptr);
    } else {
        failure = write_dat(dat, (hsize_t)global, file, path, [](hid_t dset, hid_t memtype, op_dat d) {
            // Every slice is gathered, also after a failed write: the other processes take part in each.
            Slices out{dset, memtype, d, false};
            op_mpi_gather_slices(d, write_slice, &out);
            return !out.failed;
        });
    }
    if (!failure.empty()) throw op_write_error(failure);
}

void op_fetch_data_hdf5_file(op_dat dat, const char* file) { op_fetch_data_hdf5(dat, file, dat->name); }

void op_fetch_data_hdf5_file_path(op_dat dat, const char* file, const char* path)
{
    op_fetch_data_hdf5(dat, file, path);
}
