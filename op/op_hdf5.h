// Declaring sets, maps and data from datasets of an HDF5 file, and writing data items to a path of an HDF5 file.
#pragma once

#include <stdexcept>

#include "op/op_lib_core.h"

/// A data item that could not be written to its file: what() is the reason (the system's, or the way the dataset
/// in the file differs from the data). The file keeps the state of its last flush.
struct op_write_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Set whose size is the single native int stored in dataset `name`; exits with 2 when the file is missing.
op_set op_decl_set_hdf5(char const* file, char const* name);
/// Set named `name` whose size is the first dimension of `dataset`.
op_set op_decl_set_hdf5_infer_size(char const* file, char const* name, char const* dataset);
/// Map read from dataset `name` ([from->size][dim], int/long/long long); null when the dataset does not exist.
op_map op_decl_map_hdf5(op_set from, op_set to, int dim, char const* file, char const* name);
/// Rows `ids` (n of them, in that order; all n first rows for null ids) of the map table in dataset `name`, as a new
/// xmalloc'd int array; null when the dataset cannot be read or has not `dim` columns.
int* op_read_map_rows_hdf5(char const* file, char const* name, int dim, const int* ids, int n);
/// Data read from dataset `name` converted to `type`; null when the dataset does not exist.
op_dat op_decl_dat_hdf5(op_set set, int dim, char const* type, char const* file, char const* name);

/// Writes `dat` to dataset `path` of `file` ([set size][dim] with attributes "size", "dim", "type"), creating the
/// file, intermediate groups and the dataset as needed, or updating an existing dataset in place. The room the
/// data need is allocated in the file before the library writes there; on any failure nothing more is written
/// (the file is not even closed: the caller ends the process without the library's clean-up) and op_write_error
/// is thrown. In a distributed run rank 0 writes, and only rank 0 can throw.
void op_fetch_data_hdf5(op_dat dat, char const* file, char const* path);
/// Datasets that op_fetch_data_hdf5 creates from now on are stored in chunks through HDF5's shuffle and deflate
/// filters at `level` (1-9); 0 (the default) stores them contiguous and unfiltered. Readers see the same values.
void op_hdf5_set_compression(int level);
void op_fetch_data_hdf5_file(op_dat dat, char const* file);
void op_fetch_data_hdf5_file_path(op_dat dat, char const* file, char const* path);

/// True when a and b name the same component type group (8-byte float, 4-byte float, 4-byte integer).
bool op_type_equivalence(char const* a, char const* b);
