// Core records of the mesh framework (sets, maps, data, loop arguments, timing records), their global registries
// and the declaration, argument, diagnostic and shut-down functions.
#pragma once

#include <stddef.h>

/// Access modes of a loop argument.
enum op_access {
    OP_READ = 0,   ///< read only
    OP_WRITE = 1,  ///< written, old value not read
    OP_RW = 2,     ///< read and written
    OP_INC = 3,    ///< only added to; several loop elements may add to one target element
    OP_MIN = 4,    ///< global reduction to the minimum of all contributions
    OP_MAX = 5     ///< global reduction to the maximum of all contributions
};

/// A set of mesh elements (edges, cells, ...).
struct op_set_core {
    int index;         ///< position in OP_set_list, in order of declaration
    int size;          ///< number of elements
    char const* name;  ///< owned copy of the declared name
    int core_size;     ///< equals size (owned elements)
    int exec_size;     ///< imported executed elements: always 0 (no element is computed twice)
    int nonexec_size;  ///< imported (halo) elements after the owned ones: 0 in a single-process run
};
typedef op_set_core* op_set;

/// Elements held by this process: owned, then imported. Data arrays and map targets span this many elements.
inline int op_local_extent(op_set set) { return set->size + set->exec_size + set->nonexec_size; }

/// A fixed-width table from the elements of `from` to elements of `to`, row-major: map[e * dim + k].
struct op_map_core {
    int index;         ///< position in OP_map_list
    op_set from;       ///< source set: from->size rows
    op_set to;         ///< target set: entries are 0-based element numbers of `to`
    int dim;           ///< entries per source element
    int* map;          ///< the table
    char const* name;  ///< owned copy of the name
    int user_managed;  ///< 1: the caller owns `map`; 0: freed by op_exit
};
typedef op_map_core* op_map;

/// A typed array with `dim` components per element of a set, element-major unless the type ends in ":soa".
struct op_dat_core {
    int index;         ///< running number of declared data
    op_set set;        ///< set on which the data lives
    int dim;           ///< components per element
    int size;          ///< bytes per element = dim * component bytes
    char* data;        ///< set->size * size bytes
    char const* type;  ///< owned copy of the component type name ("float", "int", "double", ...)
    char const* name;  ///< owned copy of the name
    int dirty_hd;      ///< 0 (no device copies)
    int dirtybit;      ///< 1: written since its imported elements were last brought up to date (distributed runs)
    int user_managed;  ///< 1: caller storage, never freed here; 0: temporary data owned by the framework
};
typedef op_dat_core* op_dat;

/// One argument of a parallel loop, passed by value.
struct op_arg {
    int index;         ///< always -1
    op_dat dat;        ///< data read or written; null for a global argument
    op_map map;        ///< map through which `dat` is reached; null: `dat` lives on the loop set
    int dim;           ///< components per element as the kernel sees them
    int idx;           ///< map column; -1 direct; -d: all d columns of the map (expanded by the loop)
    int size;          ///< bytes per element (dat->size), or dim * component bytes for a global; -1 if dat is null
    char* data;        ///< dat->data, or the caller's variable for a global
    int* map_data;     ///< map->map when dat is non-null and idx != -1, else null
    char const* type;  ///< canonical type name (shared constant for "double", "float", "int", "bool")
    op_access acc;     ///< access mode
    int argtype;       ///< 1 data argument, 0 global argument
    int opt;           ///< 1 in use; 0 optional argument switched off (the loop skips it)
};

/// Argument type codes of op_arg::argtype.
#define OP_ARG_GBL 0
#define OP_ARG_DAT 1

/// The map of a direct argument.
#define OP_ID ((op_map)0)

/// Doubly linked list entry of the data registry.
struct op_dat_entry {
    op_dat dat;
    op_dat_entry* prev;
    op_dat_entry* next;
};

/// Timing record of one loop (slot = the loop's kernel index).
struct op_kernel {
    char const* name;  ///< loop name as passed by the caller (not owned); "unused" until the loop first runs
    int count;         ///< number of calls
    double time;       ///< accumulated wall-clock seconds
    double* times;     ///< per-thread times, ntimes entries (one entry, 0)
    int ntimes;        ///< 1
    float plan_time;   ///< seconds spent planning
    float transfer;    ///< estimated bytes moved (used bytes)
    float transfer2;   ///< estimated bytes moved in whole cache lines (indirect loops)
    float mpi_time;    ///< seconds spent exchanging imported elements and combining reductions (0: one process)
};

struct op_plan;

// ---- global registries and options (process-wide) ----
extern op_set* OP_set_list;
extern int OP_set_index, OP_set_max;
extern op_map* OP_map_list;
extern int OP_map_index, OP_map_max;
extern op_dat_entry* OP_dat_list;  ///< head of the data list (insertion order)
extern op_dat_entry* OP_dat_tail;
extern int OP_dat_index;
extern op_kernel* OP_kernels;
extern int OP_kern_max, OP_kern_curr;
extern op_plan* OP_plans;
extern int OP_plan_index, OP_plan_max;
extern double OP_plan_time;

extern int OP_diags;              ///< diagnostics level
extern int OP_block_size;         ///< default 64 (option value only)
extern int OP_part_size;          ///< block size handed to the planner; 0 = planner's default
extern int OP_cache_line_size;    ///< bytes, default 128
extern double OP_hybrid_balance;  ///< option value only, default 1.0
extern int OP_hybrid_gpu;         ///< 0
extern int OP_maps_base_index;    ///< 0: map tables 0-based; 1: 1-based, converted at declaration
extern int OP_auto_soa;           ///< option flag only
extern int OP_gpu_direct;         ///< option flag only

// ---- start-up, declarations, shut-down ----
void op_init_core(int argc, char** argv, int diags);
void op_exit_core();
void op_set_args(int argc, char* argv);  ///< option scan of one command-line word
void set_maps_base(int base);

op_set op_decl_set_core(int size, char const* name);
op_map op_decl_map_core(op_set from, op_set to, int dim, int* imap, char const* name);
op_dat op_decl_dat_core(op_set set, int dim, char const* type, int type_size, char* data, char const* name);
op_dat op_decl_dat_temp_core(op_set set, int dim, char const* type, int type_size, char* data, char const* name);
int op_free_dat_temp_core(op_dat dat);
void check_map(char const* name, op_set from, op_set to, int dim, int* map);
op_dat search_dat(op_set set, int dim, char const* type, int type_size, char const* name);

// ---- loop arguments ----
op_arg op_arg_dat_core(op_dat dat, int idx, op_map map, int dim, char const* typ, op_access acc);
op_arg op_opt_arg_dat_core(int opt, op_dat dat, int idx, op_map map, int dim, char const* typ, op_access acc);
op_arg op_arg_gbl_core(char* data, int dim, char const* typ, int size, op_access acc);
/// Checks argument number m of loop `name` over `set`; prints findings, never stops; ++*ninds per indirect data arg.
void op_arg_check(op_set set, int m, op_arg arg, int* ninds, char const* name);

// ---- queries, dumps, diagnostics ----
int op_size_of_set(char const* name);
void op_fetch_data_char(op_dat dat, char* dest);
void op_fetch_data_idx_char(op_dat dat, char* dest, int low, int high);
void op_print_dat_to_binfile_core(op_dat dat, char const* file_name);
void op_print_dat_to_txtfile_core(op_dat dat, char const* file_name);
void op_diagnostic_output();

// ---- timing ----
/// Makes timing slot k exist (grows to k + 10 records) and sets OP_kern_curr = k.
void op_timing_realloc(int k);
/// Wall-clock seconds (time of day) into *wall; *cpu is not written.
void op_timers_core(double* cpu, double* wall);
void op_timing_output_core();
void op_timings_to_csv(char const* outputFileName);
void op_timing_output_2_file(char const* outputFileName);
void op_compute_moment(double t, double* first, double* second);
void op_compute_moment_across_times(double* times, int ntimes, bool ignore_zero_times, double* first, double* second);

// ---- distributed runs (fixed results in a single-process run) ----
/// Gathers the owned elements of `dat` from every process to rank 0 in the original element order, a slice of
/// consecutive elements at a time: rank 0 calls write(rows, first, count, context) for elements first to
/// first + count - 1, in order. 1 on rank 0, 0 on the other processes; -1 when the run is not distributed (nothing
/// gathered, nothing written).
int op_mpi_gather_slices(op_dat dat, void (*write)(const char* rows, int first, int count, void* context),
                         void* context);
/// Rows of a few owned elements, gathered on rank 0: each process passes `count` rows of `width` doubles, each
/// preceded by its place (0 to total - 1, every place given by exactly one process); rank 0 receives the `total`
/// rows in place order into `all` (total x width doubles); `all` is not written on the other processes. A
/// single-process run copies its rows into place.
void op_mpi_gather_places(int count, const double* placedRows, int width, int total, double* all);
/// The maximum over the processes of `value`, their sum into *sum (value itself in a single-process run).
double op_mpi_max_sum(double value, double* sum);
int op_mpi_nranks();  ///< processes of the run: 1 in a single-process run
int op_mpi_rank();    ///< this process's rank: 0 in a single-process run
/// Once the sets are divided: the whole set's size; -1 before the division and in a single-process run.
int op_mpi_global_size(op_set set);
/// The original number of the set's local element `local` (owned or imported); `local` itself when not divided.
int op_mpi_global_id(op_set set, int local);
/// The local number of the element numbered `global` originally when this process owns it, else -1.
int op_mpi_owned_local(op_set set, int global);
/// Once the sets are divided: a new op_malloc'd array of the original number of each of the set's local elements
/// (owned, then imported), their count in *local; null before the division and in a single-process run.
int* op_mpi_global_ids(op_set set, int* local);
/// Once the sets are divided: a new op_malloc'd array of the local elements' rows of `global`, an array over the whole
/// set of `bytes` a row; null before the division, in a single-process run and for a null `global`.
char* op_mpi_local_rows(op_set set, size_t bytes, const char* global);
/// True in a run of several processes before the division: maps declared from a file are read afterwards, each
/// process the rows of its own elements (op_mpi_defer_map records where).
int op_mpi_defers_maps();
/// Records the file and dataset of a map declared without its table, read when the sets are divided.
void op_mpi_defer_map(op_map map, const char* file, const char* name);
/// Halo messages this process has sent and their bytes (0 in a single-process run).
void op_mpi_sent(double* messages, double* bytes);
/// Distributed runs: a failing process other than rank 0 reports its standard output from this point on.
void op_mpi_mark_output();

// ---- printing and allocation used by the framework ----
void op_printf(char const* format, ...) __attribute__((format(printf, 1, 2)));
void op_print(char const* line);
void* op_malloc(size_t size);
void* op_calloc(size_t num, size_t size);
void* op_realloc(void* ptr, size_t size);
void op_free(void* ptr);
