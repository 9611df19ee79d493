// User interface of a shared-memory run: thin forwarding to the core, plus start-up and shut-down order.
#include "op/op_openmp_decl.h"

#include <stdio.h>

void op_init(int argc, char** argv, int diags) { op_init_core(argc, argv, diags); }

void op_init_soa(int argc, char** argv, int diags, int soa)
{
    OP_auto_soa = soa;
    op_init_core(argc, argv, diags);
}

void op_mpi_init(int argc, char** argv, int diags, int global, int local)
{
    (void)global;
    (void)local;
    op_init_core(argc, argv, diags);
}

void op_mpi_init_soa(int argc, char** argv, int diags, int global, int local, int soa)
{
    (void)global;
    (void)local;
    OP_auto_soa = soa;
    op_init_core(argc, argv, diags);
}

void op_exit()
{
    op_rt_exit();
    op_exit_core();
}

op_set op_decl_set(int size, char const* name) { return op_decl_set_core(size, name); }

op_map op_decl_map(op_set from, op_set to, int dim, int* imap, char const* name)
{
    return op_decl_map_core(from, to, dim, imap, name);
}

op_dat op_decl_dat_char(op_set set, int dim, char const* type, int type_size, char* data, char const* name)
{
    // Declared after the division of a distributed run: the caller's array spans the whole set, the framework keeps
    // a copy of the process's rows (and the caller keeps its array).
    char* rows = set != nullptr && dim > 0 ? op_mpi_local_rows(set, (size_t)dim * type_size, data) : nullptr;
    if (rows == nullptr) return op_decl_dat_core(set, dim, type, type_size, data, name);
    op_dat dat = op_decl_dat_core(set, dim, type, type_size, rows, name);
    dat->user_managed = 0;
    return dat;
}

op_dat op_decl_dat_temp_char(op_set set, int dim, char const* type, int type_size, char const* name)
{
    return op_decl_dat_temp_core(set, dim, type, type_size, nullptr, name);
}

int op_free_dat_temp_char(op_dat dat) { return op_free_dat_temp_core(dat); }

void op_decl_const_char(int dim, char const* type, int type_size, char* data, char const* name)
{
    (void)dim;
    (void)type;
    (void)type_size;
    (void)data;
    (void)name;
}

op_arg op_arg_dat(op_dat dat, int idx, op_map map, int dim, char const* type, op_access acc)
{
    return op_arg_dat_core(dat, idx, map, dim, type, acc);
}

op_arg op_opt_arg_dat(int opt, op_dat dat, int idx, op_map map, int dim, char const* type, op_access acc)
{
    return op_opt_arg_dat_core(opt, dat, idx, map, dim, type, acc);
}

op_arg op_arg_gbl_char(char* data, int dim, char const* type, int type_size, op_access acc)
{
    return op_arg_gbl_core(data, dim, type, type_size, acc);
}

void op_fetch_data(op_dat dat) { (void)dat; }

void op_print_dat_to_binfile(op_dat dat, char const* file_name) { op_print_dat_to_binfile_core(dat, file_name); }

void op_print_dat_to_txtfile(op_dat dat, char const* file_name) { op_print_dat_to_txtfile_core(dat, file_name); }

void op_timers(double* cpu, double* wall) { op_timers_core(cpu, wall); }

void op_timing_output()
{
    op_timing_output_core();
    printf("Total plan time: %8.4f\n", OP_plan_time);
}
