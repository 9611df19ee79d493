// Generic parallel-loop machinery: the direct and the indirect (planned, coloured) loop patterns, written once over
// any per-element kernel and its arguments.
//
// A loop function wraps each op_arg it receives in a descriptor that fixes, at compile time, how the kernel sees it:
//
//   op::direct<T>(arg)    data on the loop set itself (map OP_ID, idx -1)   -> kernel parameter T*
//   op::indirect<T>(arg)  data through one map column (idx >= 0)          -> kernel parameter T*
//   op::row<T, D>(arg)    data through all D map columns (idx == -D)      -> kernel parameter T* const* (D pointers)
//   op::global<T>(arg)    global value: read, or OP_MIN / OP_MAX reduction  -> kernel parameter T*
//
// T is the component type (float, int, ...; may be const-qualified). Pointers of non-const T convert implicitly to
// the kernel's const parameters (float* -> const float*, float** -> const float* const*). An optional argument that
// is switched off (opt = 0) arrives as a null pointer (or an array of null pointers) that the kernel must not
// dereference. A reduction argument points, during the loop, at the executing thread's partial value; partials are
// combined in thread order after the parallel region.
//
// Worked example: a loop over edges that adds a flux to the two cells of each edge (edge->cell map of width 2),
// reads an edge length directly, and finds the minimum of a float over the edges:
//
//   inline void kernel_Accumulate(const float* len, float* const* cellSum, float* dtMin) {
//       *cellSum[0] += *len;  *cellSum[1] -= *len;  *dtMin = std::min(*dtMin, *len);
//   }
//   void op_par_loop_kernel_Accumulate(char const* name, op_set set, op_arg len, op_arg cellSum, op_arg dtMin) {
//       static const int inds[3] = {-1, 0, -1};   // one entry per argument below: indirect dataset number or -1
//       op_par_loop_indirect<kernel_Accumulate>(7, name, set, inds,
//           op::direct<const float>(len), op::row<float, 2>(cellSum), op::global<float>(dtMin));
//   }
//   // caller: op_par_loop_kernel_Accumulate("kernel_Accumulate", edges,
//   //     op_arg_dat(length, -1, OP_ID, 1, "float", OP_READ), op_arg_dat(sum, -2, edgeCells, 1, "float", OP_INC),
//   //     op_arg_gbl(&dt, 1, "float", OP_MIN));
//
// `inds` has one entry per argument as passed to the loop function (a whole-row argument is one entry): for an
// argument through a map, the number of its indirect dataset (arguments that reach the same data through the same map
// share one number, numbered from 0 in order of first appearance), else -1. The machinery expands a row of D columns
// into D arguments with idx 0 .. D-1 (all with that row's dataset number) for the planner and the timing record.
// A direct loop takes no `inds`: op_par_loop_direct<kernel>(k, name, set, op::direct<...>(a0), ...).
// The first parameter is the loop's kernel index (its timing slot). Instead of a function as template argument, any
// callable may be passed after the set: op_par_loop_direct(k, name, set, [](float* x) { ... }, op::direct<float>(a)).
//
// No heap allocation happens inside a call once its plan exists: expanded arguments live in arrays on the stack and
// reduction partials in an alloca'd buffer, thread t's partial 64 elements after thread t-1's.
#pragma once

#include <alloca.h>
#include <omp.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "op/op_openmp_decl.h"

namespace op {

/// Zero entries standing in for the map of a switched-off argument, so that its pointer evaluates to null.
extern const int zero_map[256];

/// Reports an argument whose descriptor does not fit it (wrong access pattern) and ends the process with -1.
[[noreturn]] void bad_argument(char const* loop, int argNo, char const* what);

/// Bytes reserved per thread and reduction argument (64 elements of up to 8 bytes).
constexpr std::size_t reduction_stride_bytes = 64 * 8;

/// Loops over fewer elements than this run on the calling thread alone (boundary edges, node strings, sources): the
/// start and the closing barrier of a parallel region cost more than such a loop, and far more (a scheduler time
/// slice) when the machine has fewer free cores than threads. Results do not depend on it: elements are independent
/// within a colour and reductions are minima and maxima.
constexpr int serial_loop_limit = 4096;

template <typename T>
struct direct_arg {
    static constexpr int width = 1;
    static constexpr bool through_map = false;
    static constexpr bool is_global = false;
    op_arg arg;

    struct accessor {
        char* base;
        std::size_t size;
        void bind(int) {}
        T* operator()(int n) const { return reinterpret_cast<T*>(base + static_cast<std::size_t>(n) * size); }
    };
    accessor access(char*, int) const
    {
        return arg.opt ? accessor{arg.data, static_cast<std::size_t>(arg.size)} : accessor{nullptr, 0};
    }
    void check(char const* loop, int m, op_set set) const
    {
        if (arg.opt && (arg.dat == nullptr || arg.map != nullptr || arg.dat->set != set))
            bad_argument(loop, m, "direct data must live on the loop set (map OP_ID)");
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        out[0] = arg;
        inds[0] = ind;
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

template <typename T>
struct indirect_arg {
    static constexpr int width = 1;
    static constexpr bool through_map = true;
    static constexpr bool is_global = false;
    op_arg arg;

    struct accessor {
        char* base;
        std::size_t size;
        const int* map;
        int mapdim;
        int idx;
        void bind(int) {}
        T* operator()(int n) const
        {
            return reinterpret_cast<T*>(base + static_cast<std::size_t>(map[n * mapdim + idx]) * size);
        }
    };
    accessor access(char*, int) const
    {
        if (!arg.opt) return accessor{nullptr, 0, zero_map, 0, 0};
        return accessor{arg.data, static_cast<std::size_t>(arg.size), arg.map_data, arg.map->dim, arg.idx};
    }
    void check(char const* loop, int m, op_set set) const
    {
        if (arg.opt && (arg.dat == nullptr || arg.map == nullptr || arg.map->from != set || arg.idx < 0 ||
                        arg.idx >= arg.map->dim))
            bad_argument(loop, m, "indirect data needs a map from the loop set and a column 0 <= idx < map dim");
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        out[0] = arg;
        inds[0] = ind;
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

template <typename T, int D>
struct row_arg {
    static_assert(D >= 1 && D <= 256, "a whole-row argument spans 1 to 256 map columns");
    static constexpr int width = D;
    static constexpr bool through_map = true;
    static constexpr bool is_global = false;
    op_arg arg;

    struct accessor {
        char* base;
        std::size_t size;
        const int* map;
        int mapdim;
        T* ptrs[D];
        void bind(int) {}
        T* const* operator()(int n)
        {
            const int* row = map + n * mapdim;
            for (int d = 0; d < D; ++d) ptrs[d] = reinterpret_cast<T*>(base + static_cast<std::size_t>(row[d]) * size);
            return ptrs;
        }
    };
    accessor access(char*, int) const
    {
        if (!arg.opt) return accessor{nullptr, 0, zero_map, 0, {}};
        return accessor{arg.data, static_cast<std::size_t>(arg.size), arg.map->map, arg.map->dim, {}};
    }
    void check(char const* loop, int m, op_set set) const
    {
        if (arg.opt &&
            (arg.dat == nullptr || arg.map == nullptr || arg.map->from != set || arg.idx != -D || arg.map->dim < D))
            bad_argument(loop, m, "a whole-row argument needs a map from the loop set and idx == -(row width)");
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        for (int d = 0; d < D; ++d) {
            out[d] = arg;  // as op_arg_dat would build it for column d, without copying the type name
            out[d].idx = d;
            out[d].map_data = (arg.dat != nullptr && arg.map != nullptr) ? arg.map->map : nullptr;
            inds[d] = ind;
        }
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

template <typename T>
struct global_arg {
    static_assert(sizeof(T) <= 8, "global arguments hold components of at most 8 bytes");
    using value_type = typename std::remove_const<T>::type;
    static constexpr int width = 1;
    static constexpr bool through_map = false;
    static constexpr bool is_global = true;
    op_arg arg;

    bool reduces() const { return arg.opt && (arg.acc == OP_MIN || arg.acc == OP_MAX); }

    struct accessor {
        T* data;
        value_type* partials;  ///< thread t's partial at partials[64 * t]; null when the argument does not reduce
        T* p;
        void bind(int tid) { p = partials ? partials + 64 * tid : data; }
        T* operator()(int) const { return p; }
    };
    accessor access(char* buffer, int) const
    {
        T* data = reinterpret_cast<T*>(arg.data);
        return accessor{data, reduces() ? reinterpret_cast<value_type*>(buffer) : nullptr, data};
    }
    void check(char const* loop, int m, op_set) const
    {
        if (arg.dat != nullptr || arg.argtype != OP_ARG_GBL) bad_argument(loop, m, "a global argument carries no data");
        if (reduces() && arg.dim > 64) bad_argument(loop, m, "a reduction holds at most 64 components");
    }
    void expand(op_arg* out, int* inds, int) const
    {
        out[0] = arg;
        inds[0] = -1;
    }
    /// Every thread's partial starts at the argument's current value.
    void init(accessor& a, int nthreads) const
    {
        if (!a.partials) return;
        for (int t = 0; t < nthreads; ++t)
            for (int d = 0; d < arg.dim; ++d) a.partials[64 * t + d] = a.data[d];
    }
    /// Partials combined in thread order into the caller's variable.
    void combine(accessor& a, int nthreads) const
    {
        if (!a.partials) return;
        value_type* out = const_cast<value_type*>(a.data);
        for (int d = 0; d < arg.dim; ++d) {
            value_type v = out[d];
            for (int t = 0; t < nthreads; ++t) {
                const value_type part = a.partials[64 * t + d];
                v = arg.acc == OP_MIN ? std::min(v, part) : std::max(v, part);
            }
            out[d] = v;
        }
    }
};

template <typename T>
direct_arg<T> direct(op_arg a)
{
    return direct_arg<T>{a};
}
template <typename T>
indirect_arg<T> indirect(op_arg a)
{
    return indirect_arg<T>{a};
}
template <typename T, int D>
row_arg<T, D> row(op_arg a)
{
    return row_arg<T, D>{a};
}
template <typename T>
global_arg<T> global(op_arg a)
{
    return global_arg<T>{a};
}

namespace detail {

/// Position of each global argument among the globals (its reduction buffer slice), -1 for data arguments.
template <typename... A>
constexpr std::array<int, sizeof...(A)> global_slots()
{
    int c = 0;
    return {{(A::is_global ? c++ : -1)...}};
}

/// Consistency findings of the loop's arguments are printed (op_arg_check); they do not stop the loop.
template <typename... Args>
inline void check_arguments(char const* name, op_set set, const Args&... args)
{
    int ninds = 0, m = 0;
    (op_arg_check(set, m++, args, &ninds, name), ...);
}

template <typename F, typename Tuple, std::size_t... I>
inline void call_kernel(F& f, Tuple& acc, int n, std::index_sequence<I...>)
{
    f(std::get<I>(acc)(n)...);
}

template <typename Tuple, std::size_t... I>
inline void bind_all(Tuple& acc, int tid, std::index_sequence<I...>)
{
    (std::get<I>(acc).bind(tid), ...);
}

/// Bytes moved by the data arguments of a direct loop: set size x element bytes, doubled unless read only.
inline void add_direct_transfer(op_kernel& rec, int setSize, int nargs, const op_arg* args)
{
    for (int i = 0; i < nargs; ++i) {
        if (!args[i].opt || args[i].argtype != OP_ARG_DAT) continue;
        float bytes = static_cast<float>(setSize) * static_cast<float>(args[i].size);
        rec.transfer += args[i].acc == OP_READ ? bytes : 2.0f * bytes;
    }
}

template <typename F, std::size_t... I, typename... A>
void run_direct(int k, char const* name, op_set set, F& kernel, std::index_sequence<I...> seq, A... a)
{
    static_assert(((!A::through_map) && ...), "a direct loop takes direct data and global arguments only");
    constexpr int nargs = sizeof...(A);
    constexpr int nglobal = (0 + ... + (A::is_global ? 1 : 0));
    constexpr std::array<int, nargs> slots = global_slots<A...>();

    op_timing_realloc(k);
    double cpu_t1, cpu_t2, wall_t1, wall_t2;
    op_timers_core(&cpu_t1, &wall_t1);
    if (OP_diags > 2) printf(" kernel routine w/o indirection:  %s", name);

    check_arguments(name, set, a.arg...);
    (a.check(name, static_cast<int>(I), set), ...);
    op_arg args[nargs] = {a.arg...};
    op_mpi_halo_exchanges(set, nargs, args);

    const int nthreads = omp_get_max_threads();
    const std::size_t slice = static_cast<std::size_t>(nthreads) * reduction_stride_bytes;
    char* buffer = nglobal > 0 ? static_cast<char*>(alloca(nglobal * slice)) : nullptr;
    auto accs = std::make_tuple(a.access(slots[I] >= 0 ? buffer + slots[I] * slice : nullptr, nthreads)...);
    (a.init(std::get<I>(accs), nthreads), ...);

    const int size = set->size;
    if (size > 0 && size < serial_loop_limit) {
        // Too little work to pay for waking the team: the calling thread runs every element as thread 0.
        bind_all(accs, 0, seq);
        for (int n = 0; n < size; ++n) call_kernel(kernel, accs, n, seq);
    } else if (size > 0) {
#pragma omp parallel
        {
            auto local = accs;
            bind_all(local, omp_get_thread_num(), seq);
#pragma omp for schedule(static) nowait
            for (int thr = 0; thr < nthreads; ++thr) {
                const int start = static_cast<int>(static_cast<long long>(size) * thr / nthreads);
                const int finish = static_cast<int>(static_cast<long long>(size) * (thr + 1) / nthreads);
                for (int n = start; n < finish; ++n) call_kernel(kernel, local, n, seq);
            }
        }
    }
    (a.combine(std::get<I>(accs), nthreads), ...);

    op_mpi_set_dirtybit(nargs, args);
    op_timers_core(&cpu_t2, &wall_t2);
    op_kernel& rec = OP_kernels[k];
    rec.name = name;
    rec.count += 1;
    rec.time += wall_t2 - wall_t1;
    add_direct_transfer(rec, size, nargs, args);
}

template <typename F, int NI, std::size_t... I, typename... A>
void run_indirect(int k, char const* name, op_set set, const int (&declInds)[NI], F& kernel,
                  std::index_sequence<I...> seq, A... a)
{
    static_assert(NI == sizeof...(A), "inds needs one entry per argument of the loop");
    constexpr int ndecl = sizeof...(A);
    constexpr int nargs = (0 + ... + A::width);
    constexpr int nglobal = (0 + ... + (A::is_global ? 1 : 0));
    constexpr std::array<int, ndecl> slots = global_slots<A...>();
    constexpr std::array<int, ndecl> firsts = [] {
        std::array<int, ndecl> f{};
        int pos = 0, i = 0;
        ((f[i++] = pos, pos += A::width), ...);
        return f;
    }();

    op_timing_realloc(k);
    double cpu_t1, cpu_t2, wall_t1, wall_t2;
    op_timers_core(&cpu_t1, &wall_t1);

    int ninds = 0;
    for (int i = 0; i < ndecl; ++i) ninds = std::max(ninds, declInds[i] + 1);
    if (OP_diags > 2) printf(" kernel routine with indirection: %s\n", name);

    check_arguments(name, set, a.arg...);
    (a.check(name, static_cast<int>(I), set), ...);
    op_arg args[nargs];
    int inds[nargs];
    (a.expand(args + firsts[I], inds + firsts[I], declInds[I]), ...);

    const int part_size = OP_part_size;
    op_mpi_halo_exchanges(set, nargs, args);

    const int nthreads = omp_get_max_threads();
    const std::size_t slice = static_cast<std::size_t>(nthreads) * reduction_stride_bytes;
    char* buffer = nglobal > 0 ? static_cast<char*>(alloca(nglobal * slice)) : nullptr;
    auto accs = std::make_tuple(a.access(slots[I] >= 0 ? buffer + slots[I] * slice : nullptr, nthreads)...);
    (a.init(std::get<I>(accs), nthreads), ...);

    if (set->size > 0) {
        op_plan* plan = op_plan_get_stage_upload(name, set, part_size, nargs, args, ninds, inds, 2, 0);
        const int* blkmap = plan->blkmap;
        const int* offset = plan->offset;
        const int* nelems = plan->nelems;
        int block_offset = 0;
        // Too little work to pay for waking the team once per colour: the calling thread runs it as thread 0.
        const bool serial = plan->exec_length < serial_loop_limit;
        for (int col = 0; col < plan->ncolors; ++col) {
            if (col == plan->core_colors) op_mpi_wait_all(nargs, args);
            const int nblocks = plan->ncolblk[col];
            if (serial) {
                bind_all(accs, 0, seq);
                for (int blockIdx = 0; blockIdx < nblocks; ++blockIdx) {
                    const int blockId = blkmap[blockIdx + block_offset];
                    const int first = offset[blockId];
                    const int last = first + nelems[blockId];
                    for (int n = first; n < last; ++n) call_kernel(kernel, accs, n, seq);
                }
            } else {
#pragma omp parallel
                {
                    auto local = accs;
                    bind_all(local, omp_get_thread_num(), seq);
                    // Each thread takes one contiguous range of the colour's blocks, in thread order. Blocks differ in
                    // cost (a dry block costs a fraction of a wet one), so a thread may wait at the end; handing out
                    // chunks on demand balanced the 1M dam break (barrier wait 11 % -> 3.4 %) but is not the
                    // division this framework promises.
#pragma omp for schedule(static) nowait
                    for (int blockIdx = 0; blockIdx < nblocks; ++blockIdx) {
                        const int blockId = blkmap[blockIdx + block_offset];
                        const int first = offset[blockId];
                        const int last = first + nelems[blockId];
                        for (int n = first; n < last; ++n) call_kernel(kernel, local, n, seq);
                    }
                }
            }
            if (col == plan->owned_colors - 1) (a.combine(std::get<I>(accs), nthreads), ...);
            block_offset += nblocks;
        }
        OP_kernels[k].transfer += plan->transfer;
        OP_kernels[k].transfer2 += plan->transfer2;
    }

    op_mpi_wait_all(nargs, args);
    op_mpi_set_dirtybit(nargs, args);
    op_timers_core(&cpu_t2, &wall_t2);
    op_kernel& rec = OP_kernels[k];
    rec.name = name;
    rec.count += 1;
    rec.time += wall_t2 - wall_t1;
}

}  // namespace detail
}  // namespace op

/// Direct loop: every data argument lives on `set`; element n's kernel call gets element n of each argument.
template <typename F, typename... A>
void op_par_loop_direct(int kernelIndex, char const* name, op_set set, F&& kernel, A... args)
{
    op::detail::run_direct(kernelIndex, name, set, kernel, std::index_sequence_for<A...>{}, args...);
}

template <auto Kernel, typename... A>
void op_par_loop_direct(int kernelIndex, char const* name, op_set set, A... args)
{
    auto call = [](auto... p) { Kernel(p...); };
    op::detail::run_direct(kernelIndex, name, set, call, std::index_sequence_for<A...>{}, args...);
}

/// Indirect loop: planned and run colour by colour, blocks of one colour in parallel.
template <typename F, int NI, typename... A>
void op_par_loop_indirect(int kernelIndex, char const* name, op_set set, const int (&inds)[NI], F&& kernel, A... args)
{
    op::detail::run_indirect(kernelIndex, name, set, inds, kernel, std::index_sequence_for<A...>{}, args...);
}

template <auto Kernel, int NI, typename... A>
void op_par_loop_indirect(int kernelIndex, char const* name, op_set set, const int (&inds)[NI], A... args)
{
    auto call = [](auto... p) { Kernel(p...); };
    op::detail::run_indirect(kernelIndex, name, set, inds, call, std::index_sequence_for<A...>{}, args...);
}
