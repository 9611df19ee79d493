// Registries, declarations with their checks, loop arguments, diagnostics, dumps, timing records and shut-down.
#include "op/op_lib_core.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>

#include <vector>

#include "op/op_rt_support.h"

// ---- registries ----
op_set* OP_set_list = nullptr;
int OP_set_index = 0, OP_set_max = 0;
op_map* OP_map_list = nullptr;
int OP_map_index = 0, OP_map_max = 0;
op_dat_entry* OP_dat_list = nullptr;
op_dat_entry* OP_dat_tail = nullptr;
int OP_dat_index = 0;
op_kernel* OP_kernels = nullptr;
int OP_kern_max = 0, OP_kern_curr = 0;

// ---- options ----
int OP_diags = 0;
int OP_block_size = 64;
int OP_part_size = 0;
int OP_cache_line_size = 128;
double OP_hybrid_balance = 1.0;
int OP_hybrid_gpu = 0;
int OP_maps_base_index = 0;
int OP_auto_soa = 0;
int OP_gpu_direct = 0;

namespace {

// Shared constant names handed out by the argument constructors for the common component types.
const char kDouble[] = "double";
const char kFloat[] = "float";
const char kInt[] = "int";
const char kBool[] = "bool";

const char* canonical_type(const char* type)
{
    if (type == nullptr) return nullptr;
    if (strcmp(type, kDouble) == 0) return kDouble;
    if (strcmp(type, kFloat) == 0) return kFloat;
    if (strcmp(type, kInt) == 0) return kInt;
    if (strcmp(type, kBool) == 0) return kBool;
    return nullptr;
}

char* copy_string(const char* s)
{
    if (s == nullptr) return nullptr;
    size_t n = strlen(s) + 1;
    char* c = (char*)op_malloc(n);
    memcpy(c, s, n);
    return c;
}

// Other type names given to data arguments, copied once each and released at shut-down.
std::vector<char*> g_type_names;

const char* interned_type(const char* type)
{
    if (type == nullptr) return nullptr;
    for (char* t : g_type_names)
        if (strcmp(t, type) == 0) return t;
    g_type_names.push_back(copy_string(type));
    return g_type_names.back();
}

bool same_string(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr) return a == b;
    return strcmp(a, b) == 0;
}

bool is_double_name(const char* t)
{
    return strcmp(t, "double") == 0 || strcmp(t, "double:soa") == 0 || strcmp(t, "double precision") == 0 ||
           strcmp(t, "real(8)") == 0;
}
bool is_float_name(const char* t)
{
    return strcmp(t, "float") == 0 || strcmp(t, "float:soa") == 0 || strcmp(t, "real(4)") == 0 ||
           strcmp(t, "real") == 0;
}
bool is_int_name(const char* t)
{
    return strcmp(t, "int") == 0 || strcmp(t, "int:soa") == 0 || strcmp(t, "int(4)") == 0 ||
           strcmp(t, "integer") == 0 || strcmp(t, "integer(4)") == 0;
}
bool is_long_name(const char* t) { return strcmp(t, "long") == 0 || strcmp(t, "long:soa") == 0; }

// Reads the value of `key` found in `word`: at most `window` characters from the key's start, key skipped.
const char* option_value(const char* found, size_t window, char* temp)
{
    strncpy(temp, found, window);
    temp[window] = '\0';
    return temp;
}

}  // namespace

// ---- printing and allocation ----
void op_printf(const char* format, ...)
{
    va_list argptr;
    va_start(argptr, format);
    vprintf(format, argptr);
    va_end(argptr);
}

void op_print(const char* line) { printf("%s\n", line); }

void* op_malloc(size_t size) { return malloc(size); }
void* op_calloc(size_t num, size_t size) { return calloc(num, size); }
void* op_realloc(void* ptr, size_t size) { return realloc(ptr, size); }
void op_free(void* ptr) { free(ptr); }

// ---- start-up ----
void set_maps_base(int base)
{
    if (base == 0 || base == 1) OP_maps_base_index = base;
}

void op_set_args(int argc, char* argv)
{
    (void)argc;
    char temp[64];
    const char* pos;
    if ((pos = strstr(argv, "OP_BLOCK_SIZE=")) != nullptr) {
        OP_block_size = atoi(option_value(pos, 20, temp) + strlen("OP_BLOCK_SIZE="));
        op_printf("\n OP_block_size = %d \n", OP_block_size);
    }
    if ((pos = strstr(argv, "OP_PART_SIZE=")) != nullptr) {
        OP_part_size = atoi(option_value(pos, 20, temp) + strlen("OP_PART_SIZE="));
        op_printf("\n OP_part_size = %d \n", OP_part_size);
    }
    if ((pos = strstr(argv, "OP_CACHE_LINE_SIZE=")) != nullptr) {
        OP_cache_line_size = atoi(option_value(pos, 25, temp) + strlen("OP_CACHE_LINE_SIZE="));
        op_printf("\n OP_cache_line_size  = %d \n", OP_cache_line_size);
    }
    if (strstr(argv, "-gpudirect") != nullptr) {
        OP_gpu_direct = 1;
        op_printf("\n Enabling GPU Direct\n");
    }
    if (strstr(argv, "OP_AUTO_SOA") != nullptr) {
        OP_auto_soa = 1;
        op_printf("\n Enabling Automatic AoS->SoA Conversion\n");
    }
    if ((pos = strstr(argv, "OP_HYBRID_BALANCE=")) != nullptr) {
        OP_hybrid_balance = atof(option_value(pos, 25, temp) + strlen("OP_HYBRID_BALANCE="));
        op_printf("\n OP_hybrid_balance  = %g \n", OP_hybrid_balance);
    }
    if ((pos = strstr(argv, "OP_MAPS_BASE_INDEX=")) != nullptr) {
        int prev = OP_maps_base_index;
        int value = atoi(option_value(pos, 25, temp) + strlen("OP_MAPS_BASE_INDEX="));
        if (value < 0 || value > 1) {
            op_printf(
                "\n Unsupported OP_maps_base_index : %d --       reverting to C/C++ style (i.e. 0 besed) indexing \n",
                value);
        } else if (value != prev) {
            op_printf("\n OP_maps_base_index  = %d (Default value %d overridden)\n", value, prev);
        }
        OP_maps_base_index = value;
    }
}

void op_init_core(int argc, char** argv, int diags)
{
    op_mpi_mark_output();
    op_printf("\n Initializing OP2\n");
    OP_diags = diags;

    const char* balance = getenv("OP_HYBRID_BALANCE");
    if (balance != nullptr) {
        OP_hybrid_balance = atof(balance);
        op_printf("\n OP_hybrid_balance  = %g \n", OP_hybrid_balance);
    }
    if (getenv("OP_AUTO_SOA") != nullptr || OP_auto_soa == 1) {
        OP_auto_soa = 1;
        op_printf("\n Enabling Automatic AoS->SoA Conversion\n");
    }
    if (OP_maps_base_index != 0)
        op_printf("\n Application written using Fortran API:     \n Default OP_maps_base_index = %d assumed\n",
                  OP_maps_base_index);
    for (int n = 1; n < argc; ++n) op_set_args(argc, argv[n]);

    OP_dat_list = nullptr;
    OP_dat_tail = nullptr;
}

// ---- declarations ----
op_set op_decl_set_core(int size, const char* name)
{
    if (size < 0) {
        op_printf(" op_decl_set error -- negative/zero size for set: %s\n", name);
        exit(-1);
    }
    if (OP_set_index == OP_set_max) {
        op_set* grown = (op_set*)op_realloc(OP_set_list, (OP_set_max + 10) * sizeof(op_set));
        if (grown == nullptr) {
            op_printf(" op_decl_set error -- error reallocating memory");
            exit(-1);
        }
        OP_set_list = grown;
        OP_set_max += 10;
    }
    op_set set = (op_set)op_malloc(sizeof(op_set_core));
    set->index = OP_set_index;
    set->size = size;
    set->core_size = size;
    set->name = copy_string(name);
    set->exec_size = 0;
    set->nonexec_size = 0;
    OP_set_list[OP_set_index++] = set;
    return set;
}

op_map op_decl_map_core(op_set from, op_set to, int dim, int* imap, const char* name)
{
    if (from == nullptr) {
        op_printf(" op_decl_map error -- invalid 'from' set for map %s\n", name);
        exit(-1);
    }
    if (to == nullptr) {
        op_printf("op_decl_map error -- invalid 'to' set for map %s\n", name);
        exit(-1);
    }
    if (dim <= 0) {
        op_printf("op_decl_map error -- negative/zero dimension for map %s\n", name);
        exit(-1);
    }
    if (OP_map_index == OP_map_max) {
        op_map* grown = (op_map*)op_realloc(OP_map_list, (OP_map_max + 10) * sizeof(op_map));
        if (grown == nullptr) {
            op_printf(" op_decl_map error -- error reallocating memory");
            exit(-1);
        }
        OP_map_list = grown;
        OP_map_max += 10;
    }
    if (OP_maps_base_index == 1) {
        const long entries = (long)from->size * dim;
        for (long i = 0; i < entries; ++i) imap[i] -= 1;
    }
    op_map map = (op_map)op_malloc(sizeof(op_map_core));
    map->index = OP_map_index;
    map->from = from;
    map->to = to;
    map->dim = dim;
    map->map = imap;
    map->name = copy_string(name);
    map->user_managed = 1;
    OP_map_list[OP_map_index++] = map;
    return map;
}

void check_map(const char* name, op_set from, op_set to, int dim, int* map)
{
    for (int d = 0; d < dim; ++d) {
        for (int n = 0; n < from->size; ++n) {
            const int entry = map[d + n * dim];
            if (entry < 0 || entry >= to->size) {
                op_printf("op_decl_map error -- invalid data for map %s\n", name);
                op_printf("element = %d, dimension = %d, map = %d\n", n, d, entry);
                exit(-1);
            }
        }
    }
}

op_dat op_decl_dat_core(op_set set, int dim, const char* type, int type_size, char* data, const char* name)
{
    if (set == nullptr) {
        op_printf("op_decl_dat error -- invalid set for data: %s\n", name);
        exit(-1);
    }
    if (dim <= 0) {
        op_printf("op_decl_dat error -- negative/zero dimension for data: %s\n", name);
        exit(-1);
    }
    op_dat dat = (op_dat)op_malloc(sizeof(op_dat_core));
    dat->index = OP_dat_index++;
    dat->set = set;
    dat->dim = dim;
    dat->size = dim * type_size;
    dat->data = data;
    dat->type = copy_string(type);
    dat->name = copy_string(name);
    dat->dirty_hd = 0;
    dat->dirtybit = 0;
    dat->user_managed = 1;

    op_dat_entry* item = (op_dat_entry*)op_malloc(sizeof(op_dat_entry));
    if (item == nullptr) {
        op_printf(" op_decl_dat error -- error allocating memory to double linked list entry\n");
        exit(-1);
    }
    item->dat = dat;
    item->next = nullptr;
    item->prev = OP_dat_tail;
    if (OP_dat_tail != nullptr)
        OP_dat_tail->next = item;
    else
        OP_dat_list = item;
    OP_dat_tail = item;
    return dat;
}

namespace {

bool matches(op_dat d, op_set set, int dim, const char* type, int type_size, const char* name)
{
    return same_string(d->name, name) && d->dim == dim && d->size / d->dim == type_size &&
           d->set->index == set->index && d->set->size == set->size && same_string(d->set->name, set->name) &&
           same_string(d->type, type);
}

op_dat_entry* find_entry(op_set set, int dim, const char* type, int type_size, const char* name)
{
    for (op_dat_entry* e = OP_dat_list; e != nullptr; e = e->next)
        if (matches(e->dat, set, dim, type, type_size, name)) return e;
    return nullptr;
}

void unlink_entry(op_dat_entry* e)
{
    if (e->prev != nullptr)
        e->prev->next = e->next;
    else
        OP_dat_list = e->next;
    if (e->next != nullptr)
        e->next->prev = e->prev;
    else
        OP_dat_tail = e->prev;
}

}  // namespace

op_dat search_dat(op_set set, int dim, const char* type, int type_size, const char* name)
{
    op_dat_entry* e = find_entry(set, dim, type, type_size, name);
    return e != nullptr ? e->dat : nullptr;
}

op_dat op_decl_dat_temp_core(op_set set, int dim, const char* type, int type_size, char* data, const char* name)
{
    if (set != nullptr && search_dat(set, dim, type, type_size, name) != nullptr) {
        op_printf("op_dat with name %s already exists, cannot create temporary op_dat\n ", name);
        exit(2);
    }
    op_dat dat = op_decl_dat_core(set, dim, type, type_size, data, name);
    const size_t bytes = (size_t)dim * (size_t)op_local_extent(set) * (size_t)type_size;
    dat->data = (char*)op_calloc(bytes > 0 ? bytes : 1, 1);
    dat->user_managed = 0;
    return dat;
}

int op_free_dat_temp_core(op_dat dat)
{
    op_dat_entry* e = find_entry(dat->set, dat->dim, dat->type, dat->size / dat->dim, dat->name);
    if (e == nullptr) return -1;
    op_dat d = e->dat;
    if (!d->user_managed) op_free(d->data);
    op_free((char*)d->name);
    op_free((char*)d->type);
    unlink_entry(e);
    op_free(e);
    op_free(d);
    return 1;
}

// ---- loop arguments ----
op_arg op_arg_dat_core(op_dat dat, int idx, op_map map, int dim, const char* typ, op_access acc)
{
    return op_opt_arg_dat_core(1, dat, idx, map, dim, typ, acc);
}

op_arg op_opt_arg_dat_core(int opt, op_dat dat, int idx, op_map map, int dim, const char* typ, op_access acc)
{
    op_arg arg;
    arg.index = -1;
    arg.argtype = OP_ARG_DAT;
    arg.dat = dat;
    arg.map = map;
    arg.dim = dim;
    arg.idx = idx;
    arg.size = dat != nullptr ? dat->size : -1;
    arg.data = dat != nullptr ? dat->data : nullptr;
    arg.map_data = (dat != nullptr && idx != -1 && map != nullptr) ? map->map : nullptr;
    const char* canon = canonical_type(typ);
    arg.type = canon != nullptr ? canon : interned_type(typ);
    arg.acc = acc;
    arg.opt = opt;
    return arg;
}

op_arg op_arg_gbl_core(char* data, int dim, const char* typ, int size, op_access acc)
{
    op_arg arg;
    arg.index = -1;
    arg.argtype = OP_ARG_GBL;
    arg.dat = nullptr;
    arg.map = nullptr;
    arg.dim = dim;
    arg.idx = -1;
    arg.size = dim * size;
    arg.data = data;
    arg.map_data = nullptr;
    arg.type = canonical_type(typ);
    arg.acc = acc;
    arg.opt = data != nullptr ? 1 : 0;
    return arg;
}

namespace {
void arg_finding(int m, const char* name, const char* finding)
{
    op_printf("error: arg %d in kernel \"%s\"\n", m, name);
    op_printf("%s \n", finding);
}

bool type_accepted(const char* datType, const char* argType)
{
    if (same_string(datType, argType)) return true;
    if (datType == nullptr || argType == nullptr) return false;
    if (strcmp(datType, "double") == 0 && strncmp(argType, "r8", 2) == 0 && argType[2] != ':') return true;
    if (strcmp(datType, "double:soa") == 0 && strncmp(argType, "r8:", 3) == 0) return true;
    if (strcmp(datType, "int") == 0 && strncmp(argType, "i4", 2) == 0) return true;
    return false;
}
}  // namespace

void op_arg_check(op_set set, int m, op_arg arg, int* ninds, const char* name)
{
    if (arg.opt == 0) return;
    if (arg.argtype == OP_ARG_DAT) {
        if (set == nullptr) arg_finding(m, name, "invalid set");
        // An argument in use without data (an item the model file does not hold): nothing else can be checked,
        // and the loop's own argument check ends the run on it.
        if (arg.dat == nullptr) {
            arg_finding(m, name, "NULL pointer for dataset");
            return;
        }
        if (arg.map != nullptr) {
            if (arg.map->from != set || arg.map->to != arg.dat->set) arg_finding(m, name, "mapping error");
            if (arg.idx < -arg.map->dim || arg.idx >= arg.map->dim) arg_finding(m, name, "invalid index");
        } else {
            if (arg.dat->set != set) arg_finding(m, name, "dataset set does not match loop set");
            if (arg.idx != -1) arg_finding(m, name, "invalid index");
        }
        if (arg.dat->dim != arg.dim) arg_finding(m, name, "dataset dim does not match declared dim");
        if (!type_accepted(arg.dat->type, arg.type)) {
            op_printf("%s %s %s (%s)\n", set != nullptr ? set->name : "(null)", arg.dat->type,
                      arg.type != nullptr ? arg.type : "(null)", arg.dat->name);
            arg_finding(m, name, "dataset type does not match declared type");
        }
        if (arg.idx >= 0) ++*ninds;
    } else {
        if (arg.type != nullptr && strcmp(arg.type, "error") == 0)
            arg_finding(m, name, "datatype does not match declared type");
        if (arg.dim <= 0) arg_finding(m, name, "dimension should be strictly positive");
        if (arg.data == nullptr) arg_finding(m, name, "NULL pointer for global data");
    }
}

// ---- queries, dumps, diagnostics ----
int op_size_of_set(const char* name)
{
    for (int i = 0; i < OP_set_index; ++i) {
        op_set s = OP_set_list[i];
        if (strcmp(s->name, name) == 0) return s->size + s->exec_size + s->nonexec_size;
    }
    op_printf("Error: set %s not found\n", name);
    exit(-1);
}

void op_fetch_data_char(op_dat dat, char* dest) { memcpy(dest, dat->data, (size_t)dat->set->size * dat->size); }

void op_fetch_data_idx_char(op_dat dat, char* dest, int low, int high)
{
    if (low < 0 || high >= dat->set->size) {
        op_printf("op_fetch_data: Indices not within range of elements held in %s\n", dat->name);
        exit(2);
    }
    if (high < low) return;
    memcpy(dest, dat->data + (size_t)low * dat->size, (size_t)(high - low + 1) * dat->size);
}

void op_print_dat_to_binfile_core(op_dat dat, const char* file_name)
{
    FILE* fp = fopen(file_name, "wb");
    if (fp == nullptr) {
        op_printf("can't open file %s\n", file_name);
        exit(2);
    }
    int count = dat->set->size;
    int dim = dat->dim;
    if (fwrite(&count, sizeof(int), 1, fp) != 1 || fwrite(&dim, sizeof(int), 1, fp) != 1) {
        op_printf("error writing to %s", file_name);
        exit(2);
    }
    if (count > 0 && fwrite(dat->data, dat->size, count, fp) != (size_t)count) {
        op_printf("error writing to %s\n", file_name);
        exit(2);
    }
    fclose(fp);
}

void op_print_dat_to_txtfile_core(op_dat dat, const char* file_name)
{
    FILE* fp = fopen(file_name, "w");
    if (fp == nullptr) {
        op_printf("can't open file %s\n", file_name);
        exit(2);
    }
    if (fprintf(fp, "%d %d\n", dat->set->size, dat->dim) < 0) {
        op_printf("error writing to %s\n", file_name);
        exit(2);
    }
    const char* t = dat->type;
    const int comp = dat->size / dat->dim;
    for (int i = 0; i < dat->set->size; ++i) {
        const char* elem = dat->data + (size_t)i * dat->size;
        for (int j = 0; j < dat->dim; ++j) {
            int rc;
            if (is_double_name(t)) {
                rc = fprintf(fp, "%lf ", ((const double*)elem)[j]);
            } else if (is_float_name(t)) {
                rc = fprintf(fp, "%f ", ((const float*)elem)[j]);
            } else if (is_int_name(t)) {
                rc = fprintf(fp, "%d ", ((const int*)elem)[j]);
            } else if (is_long_name(t)) {
                // "long" components hold 4 bytes in files of this framework; 8-byte storage is printed as is.
                long v = comp == 8 ? ((const long*)elem)[j] : (long)((const int*)elem)[j];
                rc = fprintf(fp, "%ld ", v);
            } else {
                op_printf("Unknown type %s, cannot be written to file %s\n", t, file_name);
                exit(2);
            }
            if (rc < 0) {
                op_printf("error writing to %s\n", file_name);
                exit(2);
            }
        }
        fprintf(fp, "\n");
    }
    fclose(fp);
}

void op_diagnostic_output()
{
    if (OP_diags < 2) return;
    printf("\n  OP diagnostic output\n");
    printf("  --------------------\n");
    printf("\n       set       size\n");
    printf("  -------------------\n");
    for (int n = 0; n < OP_set_index; ++n) printf("%10s %10d\n", OP_set_list[n]->name, OP_set_list[n]->size);
    printf("\n       map        dim       from         to\n");
    printf("  -----------------------------------------\n");
    for (int n = 0; n < OP_map_index; ++n) {
        op_map m = OP_map_list[n];
        printf("%10s %10d %10s %10s\n", m->name, m->dim, m->from->name, m->to->name);
    }
    printf("\n       dat        dim        set\n");
    printf("  ------------------------------\n");
    for (op_dat_entry* e = OP_dat_list; e != nullptr; e = e->next)
        printf("%10s %10d %10s\n", e->dat->name, e->dat->dim, e->dat->set->name);
    printf("\n");
}

// ---- timing ----
void op_timing_realloc(int k)
{
    if (k >= OP_kern_max) {
        const int grown_max = k + 10;
        op_kernel* grown = (op_kernel*)op_realloc(OP_kernels, grown_max * sizeof(op_kernel));
        if (grown == nullptr) {
            op_printf(" op_timing_realloc error \n");
            exit(-1);
        }
        OP_kernels = grown;
        for (int n = OP_kern_max; n < grown_max; ++n) {
            op_kernel& r = OP_kernels[n];
            r.name = "unused";
            r.count = 0;
            r.time = 0.0;
            r.times = (double*)op_calloc(1, sizeof(double));
            r.ntimes = 1;
            r.plan_time = 0.0f;
            r.transfer = 0.0f;
            r.transfer2 = 0.0f;
            r.mpi_time = 0.0f;
        }
        OP_kern_max = grown_max;
    }
    OP_kern_curr = k;
}

void op_timers_core(double* cpu, double* wall)
{
    (void)cpu;
    struct timeval t;
    gettimeofday(&t, nullptr);
    *wall = t.tv_sec + t.tv_usec * 1.0e-6;
}

void op_compute_moment(double t, double* first, double* second)
{
    *first = t;
    *second = t * t;
}

void op_compute_moment_across_times(double* times, int ntimes, bool ignore_zero_times, double* first, double* second)
{
    *first = 0.0;
    *second = 0.0;
    int n = 0;
    for (int i = 0; i < ntimes; ++i) {
        if (ignore_zero_times && times[i] == 0.0) continue;
        *first += times[i];
        *second += times[i] * times[i];
        ++n;
    }
    if (n > 0) {
        *first /= n;
        *second /= n;
    }
}

namespace {
// Entry 0 takes the accumulated time when the per-thread times were never filled; returns the largest entry.
double kernel_time(op_kernel& r)
{
    if (r.ntimes == 1 && r.times[0] == 0.0 && r.time != 0.0) r.times[0] = r.time;
    double t = 0.0;
    for (int i = 0; i < r.ntimes; ++i) t = r.times[i] > t ? r.times[i] : t;
    return t;
}

double deviation(double mean, double sq)
{
    double v = sq - mean * mean;
    return v > 0.0 ? sqrt(v) : 0.0;
}

double positive(double v) { return v > 0.0 ? v : 0.0; }
}  // namespace

void op_timing_output_core()
{
    if (OP_kern_max == 0) return;
    printf("\n  count   plan time     MPI time(std)        time(std)           GB/s      GB/s   kernel name ");
    printf("\n -------------------------------------------------------------------------------------------\n");
    for (int n = 0; n < OP_kern_max; ++n) {
        op_kernel& r = OP_kernels[n];
        if (r.count <= 0) continue;
        const double kern_time = kernel_time(r);
        double mean_t, sq_t, mean_m, sq_m;
        op_compute_moment_across_times(r.times, r.ntimes, true, &mean_t, &sq_t);
        op_compute_moment(r.mpi_time, &mean_m, &sq_m);
        if (r.transfer2 < 1e-8f) {
            const double bw = positive(r.transfer / (1.0e9 * kern_time - r.mpi_time));
            printf(" %6d;  %8.4f;  %8.4f(%8.4f);  %8.4f(%8.4f);  %8.4f;         ;   %s \n", r.count, r.plan_time,
                   mean_m, deviation(mean_m, sq_m), mean_t, deviation(mean_t, sq_t), bw, r.name);
        } else {
            const double divisor = 1.0e9 * kern_time - r.plan_time - r.mpi_time;
            const double used = positive(r.transfer / divisor);
            const double total = positive(r.transfer2 / divisor);
            printf(" %6d;  %8.4f;  %8.4f(%8.4f);  %8.4f(%8.4f); %8.4f; %8.4f;   %s \n", r.count, r.plan_time, mean_m,
                   deviation(mean_m, sq_m), mean_t, deviation(mean_t, sq_t), used, total, r.name);
        }
    }
    // A distributed run: each loop's time on the slowest process and on the average one (every process calls this).
    const int nranks = op_mpi_nranks();
    if (nranks > 1) {
        printf("\n  time over %d processes:   max (s)     mean (s)   kernel name\n", nranks);
        for (int n = 0; n < OP_kern_max; ++n) {
            op_kernel& r = OP_kernels[n];
            if (r.count <= 0) continue;
            double sum = 0.0;
            const double max = op_mpi_max_sum(r.time, &sum);
            printf("                        %10.4f;  %10.4f;   %s \n", max, sum / nranks, r.name);
        }
        double messages = 0.0, bytes = 0.0, allMessages = 0.0, allBytes = 0.0;
        op_mpi_sent(&messages, &bytes);
        const double maxMessages = op_mpi_max_sum(messages, &allMessages);
        const double maxBytes = op_mpi_max_sum(bytes, &allBytes);
        printf("  halo sent: %.0f messages, %.3f MB by the busiest process; %.0f messages, %.3f MB by all\n",
               maxMessages, maxBytes / 1e6, allMessages, allBytes / 1e6);
    }
}

void op_timings_to_csv(const char* outputFileName)
{
    FILE* f = fopen(outputFileName, "w");
    if (f == nullptr) {
        printf("ERROR: Failed to open file for writing: '%s'\n", outputFileName);
        return;
    }
    fprintf(f, "rank,thread,nranks,nthreads,count,total time,plan time,mpi time,GB used,GB total,kernel name\n");
    for (int n = 0; n < OP_kern_max; ++n) {
        op_kernel& r = OP_kernels[n];
        if (r.count <= 0 || r.ntimes < 1) continue;
        kernel_time(r);
        for (int t = 0; t < r.ntimes; ++t) {
            if (t > 0 && r.times[t] == 0.0) continue;
            const bool first = t == 0;
            fprintf(f, "%d,%d,%d,%d,%d,%f,%f,%f,%f,%f,%s\n", op_mpi_rank(), t, op_mpi_nranks(), r.ntimes, r.count,
                    r.times[t], first ? r.plan_time : 0.0, first ? r.mpi_time : 0.0, first ? r.transfer / 1e9 : 0.0,
                    first ? r.transfer2 / 1e9 : 0.0, r.name);
        }
    }
    fclose(f);
}

void op_timing_output_2_file(const char* outputFileName)
{
    FILE* f = fopen(outputFileName, "w+");
    if (f == nullptr) {
        printf("Bad output file\n");
        exit(1);
    }
    double totalKernelTime = 0.0;
    if (OP_kern_max > 0) {
        fprintf(f, "\n  count     time     GB/s     GB/s   kernel name ");
        fprintf(f, "\n ----------------------------------------------- \n");
        for (int n = 0; n < OP_kern_max; ++n) {
            op_kernel& r = OP_kernels[n];
            if (r.count <= 0) continue;
            const double kern_time = kernel_time(r);
            totalKernelTime += kern_time;
            if (r.transfer2 < 1e-8f)
                fprintf(f, " %6d  %8.4f %8.4f            %s \n", r.count, kern_time, r.transfer / (kern_time * 1e9),
                        r.name);
            else
                fprintf(f, " %6d  %8.4f %8.4f %8.4f   %s \n", r.count, kern_time, r.transfer / (kern_time * 1e9),
                        r.transfer2 / (kern_time * 1e9), r.name);
        }
    }
    fprintf(f, "Total kernel time = %f\n", totalKernelTime);
    fclose(f);
}

// ---- shut-down ----
void op_exit_core()
{
    for (int i = 0; i < OP_set_index; ++i) {
        op_free((char*)OP_set_list[i]->name);
        op_free(OP_set_list[i]);
    }
    op_free(OP_set_list);
    OP_set_list = nullptr;
    OP_set_index = OP_set_max = 0;

    for (int i = 0; i < OP_map_index; ++i) {
        op_map m = OP_map_list[i];
        if (!m->user_managed) op_free(m->map);
        op_free((char*)m->name);
        op_free(m);
    }
    op_free(OP_map_list);
    OP_map_list = nullptr;
    OP_map_index = OP_map_max = 0;

    op_dat_entry* e = OP_dat_list;
    while (e != nullptr) {
        op_dat_entry* next = e->next;
        op_dat d = e->dat;
        if (!d->user_managed) op_free(d->data);
        op_free((char*)d->name);
        op_free((char*)d->type);
        op_free(d);
        op_free(e);
        e = next;
    }
    OP_dat_list = OP_dat_tail = nullptr;
    OP_dat_index = 0;

    for (char* t : g_type_names) op_free(t);
    g_type_names.clear();

    for (int n = 0; n < OP_kern_max; ++n) op_free(OP_kernels[n].times);
    op_free(OP_kernels);
    OP_kernels = nullptr;
    OP_kern_max = 0;
    OP_kern_curr = 0;
}
