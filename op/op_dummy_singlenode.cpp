// Multi-process and accelerator entry points of a single-process run: no-ops with fixed results, so that loop code
// written for distributed runs links unchanged; the import/export facility is unsupported and ends the process.
// A build with HYDROVA_MPI takes the halo, reduction, partitioning and rank entry points from op_mpi.cpp instead.
#include <stdio.h>
#include <stdlib.h>

#include "op/op_openmp_decl.h"
#include "op/op_par_loop.hpp"

#ifndef HYDROVA_MPI
int op_mpi_halo_exchanges(op_set set, int nargs, op_arg* args)
{
    (void)nargs;
    (void)args;
    return set->size;
}
#endif
int op_mpi_halo_exchanges_cuda(op_set set, int nargs, op_arg* args)
{
    (void)nargs;
    (void)args;
    return set->size;
}
#ifndef HYDROVA_MPI
void op_mpi_set_dirtybit(int, op_arg*) {}
void op_mpi_barrier() {}
void op_mpi_reduce_combined(op_arg*, int) {}
void op_mpi_reduce_float(op_arg*, float*) {}
void op_mpi_reduce_double(op_arg*, double*) {}
void op_mpi_reduce_int(op_arg*, int*) {}
void op_mpi_reduce_bool(op_arg*, bool*) {}
void op_partition(char const*, char const*, op_set, op_map, op_dat) {}
void op_partition_follow(op_map) {}
void op_partition_whole(op_set) {}
void op_partition_pull(op_map) {}
int op_is_root() { return 1; }
int op_mpi_rank() { return 0; }
int op_mpi_nranks() { return 1; }
int op_mpi_gather_slices(op_dat, void (*)(const char*, int, int, void*), void*) { return -1; }
void op_mpi_mark_output() {}
int op_mpi_global_size(op_set) { return -1; }
int op_mpi_global_id(op_set, int local) { return local; }
int op_mpi_owned_local(op_set set, int global) { return global >= 0 && global < set->size ? global : -1; }
int* op_mpi_global_ids(op_set, int*) { return nullptr; }
char* op_mpi_local_rows(op_set, size_t, const char*) { return nullptr; }
int op_mpi_defers_maps() { return 0; }
void op_mpi_defer_map(op_map, const char*, const char*) {}
void op_mpi_sent(double* messages, double* bytes)
{
    *messages = 0.0;
    *bytes = 0.0;
}
void op_mpi_gather_places(int count, const double* placedRows, int width, int, double* all)
{
    for (const double* row = placedRows; row < placedRows + (size_t)count * (width + 1); row += width + 1)
        for (int k = 0; k < width; ++k) all[(size_t)row[0] * width + k] = row[1 + k];
}
double op_mpi_max_sum(double value, double* sum)
{
    *sum = value;
    return value;
}
#endif
void op_mpi_set_dirtybit_cuda(int, op_arg*) {}
void op_mpi_wait_all(int, op_arg*) {}
void op_mpi_wait_all_cuda(int, op_arg*) {}
void op_mpi_reset_halos(int, op_arg*) {}
void op_partition_reverse() {}
void op_renumber(op_map) {}
void op_upload_all() {}
void deviceSync() {}
double op_mpi_perf_time(char const*, double time) { return time; }
int getSetSizeFromOpArg(op_arg* arg) { return arg->opt ? arg->dat->set->size : 0; }
int getHybridGPU() { return OP_hybrid_gpu; }

namespace {
[[noreturn]] void unsupported(char const* what)
{
    printf("Error: %s is not supported in a single-process run\n", what);
    exit(1);
}
}  // namespace

void op_theta_init(op_export_handle, int*, double*, double*) { unsupported("op_theta_init"); }
void op_inc_theta(op_export_handle, int*, double*, double*) { unsupported("op_inc_theta"); }
op_import_handle op_import_init_size(int, int*, op_dat) { unsupported("op_import_init_size"); }
void op_import_init(op_import_handle, op_dat, op_dat) { unsupported("op_import_init"); }
op_export_handle op_export_init(int, int*, op_map, op_set, op_dat, op_dat) { unsupported("op_export_init"); }
void op_export_data(op_export_handle, op_dat) { unsupported("op_export_data"); }
void op_import_data(op_import_handle, op_dat) { unsupported("op_import_data"); }

namespace op {
void bad_argument(char const* loop, int argNo, char const* what)
{
    op_printf("op_par_loop error -- argument %d of %s: %s\n", argNo, loop, what);
    exit(-1);
}
}  // namespace op
