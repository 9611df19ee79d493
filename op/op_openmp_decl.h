// The mesh framework's user interface for a shared-memory (OpenMP) run: start-up, declarations, loop arguments,
// constants, data access, timing and shut-down, plus the multi-process entry points as no-ops.
#pragma once

#include "op/op_lib_core.h"
#include "op/op_rt_support.h"

// ---- start-up and shut-down ----
void op_init(int argc, char** argv, int diags);
void op_init_soa(int argc, char** argv, int diags, int soa);
void op_mpi_init(int argc, char** argv, int diags, int global, int local);
void op_mpi_init_soa(int argc, char** argv, int diags, int global, int local, int soa);
/// Releases plans, then every set, map, data item and timing record.
void op_exit();

// ---- declarations ----
op_set op_decl_set(int size, char const* name);
/// The table is adopted, not copied (converted in place when OP_maps_base_index is 1).
op_map op_decl_map(op_set from, op_set to, int dim, int* imap, char const* name);
/// The data pointer is adopted, not copied; size = dim * type_size.
op_dat op_decl_dat_char(op_set set, int dim, char const* type, int type_size, char* data, char const* name);
/// Framework-owned, zero-filled storage; exits with 2 when matching data already exists.
op_dat op_decl_dat_temp_char(op_set set, int dim, char const* type, int type_size, char const* name);
/// 1 when released, -1 when no matching data is registered.
int op_free_dat_temp_char(op_dat dat);
/// Accepted and ignored: constants are plain program variables in a shared-memory run.
void op_decl_const_char(int dim, char const* type, int type_size, char* data, char const* name);

template <typename T>
op_dat op_decl_dat(op_set set, int dim, char const* type, T* data, char const* name)
{
    return op_decl_dat_char(set, dim, type, (int)sizeof(T), (char*)data, name);
}

template <typename T>
op_dat op_decl_dat_temp(op_set set, int dim, char const* type, T* /*data*/, char const* name)
{
    return op_decl_dat_temp_char(set, dim, type, (int)sizeof(T), name);
}

template <typename T>
int op_free_dat_temp(op_dat dat)
{
    return op_free_dat_temp_char(dat);
}

template <typename T>
void op_decl_const(int dim, char const* type, T* data, char const* name = "")
{
    op_decl_const_char(dim, type, (int)sizeof(T), (char*)data, name);
}

template <typename T>
void op_decl_const2(char const* name, int dim, char const* type, T* data)
{
    op_decl_const_char(dim, type, (int)sizeof(T), (char*)data, name);
}

// ---- loop arguments ----
/// idx: map column, -1 for direct access (map OP_ID), -d for all d columns of the map at once.
op_arg op_arg_dat(op_dat dat, int idx, op_map map, int dim, char const* type, op_access acc);
op_arg op_opt_arg_dat(int opt, op_dat dat, int idx, op_map map, int dim, char const* type, op_access acc);
op_arg op_arg_gbl_char(char* data, int dim, char const* type, int type_size, op_access acc);

/// Global argument over the caller's variable(s) of type T: read, or a minimum/maximum reduction target.
template <typename T>
op_arg op_arg_gbl(T* data, int dim, char const* type, op_access acc)
{
    return op_arg_gbl_char((char*)data, dim, type, (int)sizeof(T), acc);
}

// ---- data access and dumps ----
void op_fetch_data(op_dat dat);
template <typename T>
void op_fetch_data(op_dat dat, T* dest)
{
    op_fetch_data_char(dat, (char*)dest);
}
template <typename T>
void op_fetch_data_idx(op_dat dat, T* dest, int low, int high)
{
    op_fetch_data_idx_char(dat, (char*)dest, low, high);
}
void op_print_dat_to_binfile(op_dat dat, char const* file_name);
void op_print_dat_to_txtfile(op_dat dat, char const* file_name);

// ---- timing ----
void op_timers(double* cpu, double* wall);
/// Prints the timing table and "Total plan time".
void op_timing_output();

// ---- multi-process and accelerator entry points (fixed results in a single-process run) ----
int op_mpi_halo_exchanges(op_set set, int nargs, op_arg* args);       ///< returns set->size
int op_mpi_halo_exchanges_cuda(op_set set, int nargs, op_arg* args);  ///< returns set->size
void op_mpi_set_dirtybit(int nargs, op_arg* args);
void op_mpi_set_dirtybit_cuda(int nargs, op_arg* args);
void op_mpi_wait_all(int nargs, op_arg* args);
void op_mpi_wait_all_cuda(int nargs, op_arg* args);
void op_mpi_reset_halos(int nargs, op_arg* args);
void op_mpi_barrier();
void op_mpi_reduce_combined(op_arg* args, int nargs);
void op_mpi_reduce_float(op_arg* args, float* data);
void op_mpi_reduce_double(op_arg* args, double* data);
void op_mpi_reduce_int(op_arg* args, int* data);
void op_mpi_reduce_bool(op_arg* args, bool* data);
template <typename T>
void op_mpi_reduce(op_arg* args, T* data)
{
    (void)args;
    (void)data;
}
/// Distributed runs: partitions `prime_set` with the partitioner `lib_name` ("METIS"; `lib_routine` "KWAY" or
/// "RECURSIVE", empty for KWAY) over the graph of `prime_map` (a map from the prime set to itself, or a map of width
/// 2 or more into it whose columns join elements), lets every other set follow its maps, and replaces every declared
/// map and datum by this process's owned elements and one layer of imported ones. Call it once, after every set and
/// map is declared and before the first loop; data declared afterwards (by op_decl_dat over the whole set, or by
/// op_decl_dat_hdf5) keep this process's elements only. A single-process run is left as it is. `coords` is unused.
void op_partition(char const* lib_name, char const* lib_routine, op_set prime_set, op_map prime_map, op_dat coords);
/// Names the map whose column-0 target decides, in op_partition, which process owns each element of map->from
/// (default: the first declared map from that set whose target set is already placed).
void op_partition_follow(op_map map);
/// Keeps every element of `set` on rank 0 in op_partition (a loop over it then runs in the order of one process).
void op_partition_whole(op_set set);
/// In op_partition, every target of the map's rows goes to the process owning the row's element: a loop over
/// map->from that writes through the map then writes only owned elements. The map's source set must be the prime
/// set or one kept whole.
void op_partition_pull(op_map map);
int op_mpi_rank();    ///< this process's rank: 0 in a single-process run
int op_mpi_nranks();  ///< processes of the run: 1 in a single-process run
void op_partition_reverse();
void op_renumber(op_map base);
void op_upload_all();
void deviceSync();
int op_is_root();                                        ///< 1 on rank 0 (every single-process run)
double op_mpi_perf_time(char const* name, double time);  ///< returns time unchanged
int getSetSizeFromOpArg(op_arg* arg);                    ///< arg->dat->set->size when in use, else 0
int getHybridGPU();                                      ///< OP_hybrid_gpu
// Import/export and theta entry points are unsupported: each terminates the process with exit code 1.
typedef struct op_export_core* op_export_handle;
typedef struct op_import_core* op_import_handle;
void op_theta_init(op_export_handle handle, int* bc_id, double* dtheta, double* alpha);
void op_inc_theta(op_export_handle handle, int* bc_id, double* dtheta_export, double* dtheta_import);
op_import_handle op_import_init_size(int nprocs, int* proclist, op_dat mark);
void op_import_init(op_import_handle handle, op_dat coords, op_dat mark);
op_export_handle op_export_init(int nprocs, int* proclist, op_map cellsToNodes, op_set sp_nodes, op_dat coords,
                                op_dat mark);
void op_export_data(op_export_handle handle, op_dat dat);
void op_import_data(op_import_handle handle, op_dat dat);
