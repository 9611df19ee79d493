// Generic parallel-loop machinery: the direct and the indirect (planned, coloured) loop patterns, written once over
// any per-element kernel and its arguments.
//
// A loop function wraps each op_arg it receives in a descriptor that fixes, at compile time, how the kernel sees it
// and how large one element is (Dim components of T, so sizeof(T) * Dim bytes):
//
//   op::direct<T, Dim>(arg)            data on the loop set itself (map OP_ID, idx -1)  -> kernel parameter T*
//   op::indirect<T, Dim, Map, C>(arg)  data through column C of the map Map            -> kernel parameter T*
//   op::row<T, Dim, Map>(arg)          data through all columns of Map (idx == -width)  -> T* const* (width pointers)
//   op::global<const T>(arg)           global value read by every element (OP_READ)     -> kernel parameter const T*
//   op::global<T>(arg)                 global reduction (OP_MIN or OP_MAX)              -> kernel parameter T*
//   op::optional(descriptor)           the same data argument, which the caller may switch off (opt = 0)
//
// T is the component type (float, int, ...; const for data the kernel only reads). Map is an op::map_slot<S, W>: the
// loop's map number S (0 .. 7, the loop function's own numbering) with W columns per row. Arguments declared on one
// slot must be given one and the same op_map, whose width is W; each element then reads its map row once, however
// many arguments go through it. Every descriptor is checked once per call against its op_arg: element size
// (arg.size), map, map width and column, access mode of globals; a mismatch stops the process with the loop and the
// argument named (op::bad_argument). Only descriptors made with op::optional accept a switched-off argument; it
// arrives as a null pointer (or an array of null pointers) that the kernel must not dereference.
//
// Read globals are copied once per call and reduction partials are kept per thread while it runs its elements, so the
// kernel's pointer refers to a thread-local value; partials are combined in thread order after the parallel region,
// and then across the processes of a distributed run (op_mpi_reduce_combined; minima and maxima are exact in any
// order). Data read through a map have their imported elements brought up to date before the loop when they were
// written since (op_mpi_halo_exchanges), and every argument the loop writes is marked so (op_mpi_set_dirtybit).
//
// Worked example: a loop over edges that adds a flux to the two cells of each edge (edge->cell map of width 2),
// reads an edge length directly, and finds the minimum of a float over the edges:
//
//   inline void kernel_Accumulate(const float* len, float* const* cellSum, float* dtMin) {
//       *cellSum[0] += *len;  *cellSum[1] -= *len;  *dtMin = std::min(*dtMin, *len);
//   }
//   void op_par_loop_kernel_Accumulate(char const* name, op_set set, op_arg len, op_arg cellSum, op_arg dtMin) {
//       using EdgeCells = op::map_slot<0, 2>;
//       static const int inds[3] = {-1, 0, -1};   // one entry per argument below: indirect dataset number or -1
//       op_par_loop_indirect<kernel_Accumulate>(7, name, set, inds,
//           op::direct<const float, 1>(len), op::row<float, 1, EdgeCells>(cellSum), op::global<float>(dtMin));
//   }
//   // caller: op_par_loop_kernel_Accumulate("kernel_Accumulate", edges,
//   //     op_arg_dat(length, -1, OP_ID, 1, "float", OP_READ), op_arg_dat(sum, -2, edgeCells, 1, "float", OP_INC),
//   //     op_arg_gbl(&dt, 1, "float", OP_MIN));
//
// `inds` has one entry per argument as passed to the loop function (a whole-row argument is one entry): for an
// argument through a map, the number of its indirect dataset (arguments that reach the same data through the same map
// share one number, numbered from 0 in order of first appearance), else -1. The machinery expands a row of W columns
// into W arguments with idx 0 .. W-1 (all with that row's dataset number) for the planner and the timing record.
// A direct loop takes no `inds`: op_par_loop_direct<kernel>(k, name, set, op::direct<...>(a0), ...).
// The first parameter is the loop's kernel index (its timing slot). Instead of a function as template argument, any
// callable may be passed after the set: op_par_loop_direct(k, name, set, [](float* x) { ... }, op::direct<float,
// 1>(a)).
//
// A kernel may also have a batch form: op::batched<N>(scalar, batch) passed as the kernel hands each run of N
// consecutive elements (first .. first + N - 1 of a block, or of a thread's range in a direct loop) to batch, every
// argument as an array of the N elements' pointers, and the remaining last elements of the block or range to scalar
// one by one; blocks, colours and thread ranges are divided as without it. Whole-row arguments are not taken.
//
// While element n of a block runs, the targets that element n + 32 reads through a map (single-column arguments, in
// the scalar and the batch form) are requested from memory ahead, never beyond the block's last element; a prefetch
// changes no value.
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

/// Reports an argument whose descriptor does not fit it (wrong access pattern) and ends the process with -1.
[[noreturn]] void bad_argument(char const* loop, int argNo, char const* what);

/// Bytes reserved per thread and reduction argument (64 elements of up to 8 bytes).
constexpr std::size_t reduction_stride_bytes = 64 * 8;

/// Loops over fewer elements than this run on the calling thread alone (boundary edges, node strings, sources): the
/// start and the closing barrier of a parallel region cost more than such a loop, and far more (a scheduler time
/// slice) when the machine has fewer free cores than threads. Results do not depend on it: elements are independent
/// within a colour and reductions are minima and maxima.
constexpr int serial_loop_limit = 4096;

/// Maps one loop may name (slots 0 .. max_map_slots - 1).
constexpr int max_map_slots = 8;

/// A map of the loop, named at compile time: the loop's map number Slot, Width columns (entries) per row.
template <int Slot, int Width>
struct map_slot {
    static_assert(Slot >= 0 && Slot < max_map_slots, "a loop names at most 8 maps");
    static_assert(Width >= 1 && Width <= 256, "a map row holds 1 to 256 entries");
    static constexpr int slot = Slot;
    static constexpr int width = Width;
};

/// The tables of the loop's maps by slot, fixed for one call; element n's row of slot M starts at entry n * width.
struct map_rows {
    const int* table[max_map_slots];
    template <typename M>
    const int* row(int n) const
    {
        return table[M::slot] + static_cast<std::ptrdiff_t>(n) * M::width;
    }
};

/// The op_map given for each slot, collected while the arguments are checked at the start of a call.
struct map_binding {
    op_map map[max_map_slots] = {};
    map_rows rows() const
    {
        map_rows r{};
        for (int s = 0; s < max_map_slots; ++s) r.table[s] = map[s] ? map[s]->map : nullptr;
        return r;
    }
};

namespace detail {

inline void check_element_size(char const* loop, int m, int argSize, int dim, int componentBytes)
{
    if (argSize == dim * componentBytes) return;
    char what[160];
    snprintf(what, sizeof what, "elements of %d bytes, the loop expects %d (%d components of %d bytes)", argSize,
             dim * componentBytes, dim, componentBytes);
    bad_argument(loop, m, what);
}

/// Checks an in-use argument through a map against its slot: a map from the loop set, of the slot's width, the same
/// op_map as every other argument of the slot.
template <typename M>
inline void bind_map(char const* loop, int m, op_set set, const op_arg& arg, map_binding& maps)
{
    if (arg.dat == nullptr || arg.map == nullptr || arg.map->from != set)
        bad_argument(loop, m, "data through a map needs the data and a map from the loop set");
    if (arg.map->dim != M::width) {
        char what[128];
        snprintf(what, sizeof what, "map %s has %d columns, the loop expects %d", arg.map->name, arg.map->dim,
                 M::width);
        bad_argument(loop, m, what);
    }
    op_map& bound = maps.map[M::slot];
    if (bound == nullptr) bound = arg.map;
    if (bound != arg.map) {
        char what[160];
        snprintf(what, sizeof what, "map %s differs from map %s of the loop's map slot %d", arg.map->name, bound->name,
                 M::slot);
        bad_argument(loop, m, what);
    }
}

/// A switched-off argument is accepted only by descriptors made with op::optional.
template <bool Opt>
inline bool in_use(char const* loop, int m, const op_arg& arg)
{
    if (arg.opt) return true;
    if (!Opt) bad_argument(loop, m, "switched off (opt 0) but not declared optional");
    return false;
}

}  // namespace detail

template <typename T, int Dim, bool Opt = false>
struct direct_arg {
    static_assert(Dim >= 1, "an element has at least one component");
    static constexpr int width = 1;
    static constexpr bool through_map = false;
    static constexpr bool is_global = false;
    static constexpr std::size_t bytes = sizeof(T) * Dim;
    op_arg arg;

    struct accessor {
        static constexpr bool batchable = true;
        char* base;
        bool on;
        void bind(int) {}
        void flush() {}
        T* operator()(int n, const map_rows&) const
        {
            if constexpr (Opt)
                if (!on) return nullptr;
            return reinterpret_cast<T*>(base + static_cast<std::size_t>(n) * bytes);
        }
    };
    accessor access(char*) const { return arg.opt ? accessor{arg.data, true} : accessor{nullptr, false}; }
    void check(char const* loop, int m, op_set set, map_binding&) const
    {
        if (!detail::in_use<Opt>(loop, m, arg)) return;
        if (arg.dat == nullptr || arg.map != nullptr || arg.dat->set != set)
            bad_argument(loop, m, "direct data must live on the loop set (map OP_ID)");
        detail::check_element_size(loop, m, arg.size, Dim, sizeof(T));
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        out[0] = arg;
        inds[0] = ind;
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

template <typename T, int Dim, typename Map, int Col, bool Opt = false>
struct indirect_arg {
    static_assert(Dim >= 1, "an element has at least one component");
    static_assert(Col >= 0 && Col < Map::width, "the column lies within the map row");
    static constexpr int width = 1;
    static constexpr bool through_map = true;
    static constexpr bool is_global = false;
    static constexpr std::size_t bytes = sizeof(T) * Dim;
    op_arg arg;

    struct accessor {
        static constexpr bool batchable = true;
        char* base;
        bool on;
        void bind(int) {}
        void flush() {}
        T* operator()(int n, const map_rows& maps) const
        {
            if constexpr (Opt)
                if (!on) return nullptr;
            return reinterpret_cast<T*>(base + static_cast<std::size_t>(maps.row<Map>(n)[Col]) * bytes);
        }
        void prefetch(int n, const map_rows& maps) const
        {
            if constexpr (Opt)
                if (!on) return;
            __builtin_prefetch(base + static_cast<std::size_t>(maps.row<Map>(n)[Col]) * bytes);
        }
    };
    accessor access(char*) const { return arg.opt ? accessor{arg.data, true} : accessor{nullptr, false}; }
    void check(char const* loop, int m, op_set set, map_binding& maps) const
    {
        if (!detail::in_use<Opt>(loop, m, arg)) return;
        detail::bind_map<Map>(loop, m, set, arg, maps);
        if (arg.idx != Col) {
            char what[96];
            snprintf(what, sizeof what, "map column %d given, the loop reads column %d", arg.idx, Col);
            bad_argument(loop, m, what);
        }
        detail::check_element_size(loop, m, arg.size, Dim, sizeof(T));
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        out[0] = arg;
        inds[0] = ind;
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

template <typename T, int Dim, typename Map, bool Opt = false>
struct row_arg {
    static_assert(Dim >= 1, "an element has at least one component");
    static constexpr int width = Map::width;
    static constexpr bool through_map = true;
    static constexpr bool is_global = false;
    static constexpr std::size_t bytes = sizeof(T) * Dim;
    op_arg arg;

    struct accessor {
        static constexpr bool batchable = false;
        char* base;
        bool on;
        T* ptrs[width];  ///< all null for a switched-off argument
        void bind(int) {}
        void flush() {}
        T* const* operator()(int n, const map_rows& maps)
        {
            if constexpr (Opt)
                if (!on) return ptrs;
            const int* row = maps.row<Map>(n);
            for (int d = 0; d < width; ++d)
                ptrs[d] = reinterpret_cast<T*>(base + static_cast<std::size_t>(row[d]) * bytes);
            return ptrs;
        }
    };
    accessor access(char*) const { return arg.opt ? accessor{arg.data, true, {}} : accessor{nullptr, false, {}}; }
    void check(char const* loop, int m, op_set set, map_binding& maps) const
    {
        if (!detail::in_use<Opt>(loop, m, arg)) return;
        detail::bind_map<Map>(loop, m, set, arg, maps);
        if (arg.idx != -width) bad_argument(loop, m, "a whole-row argument needs idx == -(row width)");
        detail::check_element_size(loop, m, arg.size, Dim, sizeof(T));
    }
    void expand(op_arg* out, int* inds, int ind) const
    {
        for (int d = 0; d < width; ++d) {
            out[d] = arg;  // as op_arg_dat would build it for column d, without copying the type name
            out[d].idx = d;
            out[d].map_data = (arg.dat != nullptr && arg.map != nullptr) ? arg.map->map : nullptr;
            inds[d] = ind;
        }
    }
    void init(accessor&, int) const {}
    void combine(accessor&, int) const {}
};

/// Global argument of Dim components: read by every element when T is const, else a minimum or maximum reduction.
template <typename T, int Dim = 1>
struct global_arg {
    static_assert(sizeof(T) <= 8, "global arguments hold components of at most 8 bytes");
    static_assert(Dim >= 1 && Dim <= 64, "a global holds 1 to 64 components");
    using value_type = typename std::remove_const<T>::type;
    static constexpr bool reduction = !std::is_const<T>::value;
    static constexpr int width = 1;
    static constexpr bool through_map = false;
    static constexpr bool is_global = true;
    op_arg arg;

    struct accessor {
        static constexpr bool batchable = true;
        value_type* partials;   ///< reductions: thread t's partial at partials[64 * t]
        value_type* mine;       ///< reductions: the executing thread's partial
        value_type value[Dim];  ///< read: the caller's value; reductions: the executing thread's running partial
        void bind(int tid)
        {
            if constexpr (reduction) {
                mine = partials + 64 * tid;
                for (int d = 0; d < Dim; ++d) value[d] = mine[d];
            }
        }
        void flush()
        {
            if constexpr (reduction)
                for (int d = 0; d < Dim; ++d) mine[d] = value[d];
        }
        T* operator()(int, const map_rows&) { return value; }
    };
    accessor access(char* buffer) const
    {
        accessor a{reinterpret_cast<value_type*>(buffer), nullptr, {}};
        const value_type* data = reinterpret_cast<const value_type*>(arg.data);
        for (int d = 0; d < Dim; ++d) a.value[d] = data[d];
        return a;
    }
    void check(char const* loop, int m, op_set, map_binding&) const
    {
        if (arg.dat != nullptr || arg.argtype != OP_ARG_GBL) bad_argument(loop, m, "a global argument carries no data");
        if (arg.data == nullptr || !arg.opt) bad_argument(loop, m, "a global argument needs the caller's variable");
        if (reduction && arg.acc != OP_MIN && arg.acc != OP_MAX)
            bad_argument(loop, m, "a writable global is a reduction (OP_MIN or OP_MAX)");
        if (!reduction && arg.acc != OP_READ) bad_argument(loop, m, "a const global is read (OP_READ)");
        detail::check_element_size(loop, m, arg.size, Dim, sizeof(T));
    }
    void expand(op_arg* out, int* inds, int) const
    {
        out[0] = arg;
        inds[0] = -1;
    }
    /// Every thread's partial starts at the argument's current value.
    void init(accessor& a, int nthreads) const
    {
        if constexpr (reduction)
            for (int t = 0; t < nthreads; ++t)
                for (int d = 0; d < Dim; ++d) a.partials[64 * t + d] = a.value[d];
    }
    /// Partials combined in thread order into the caller's variable.
    void combine(accessor& a, int nthreads) const
    {
        if constexpr (reduction) {
            value_type* out = reinterpret_cast<value_type*>(arg.data);
            for (int d = 0; d < Dim; ++d) {
                value_type v = out[d];
                for (int t = 0; t < nthreads; ++t) {
                    const value_type part = a.partials[64 * t + d];
                    v = arg.acc == OP_MIN ? std::min(v, part) : std::max(v, part);
                }
                out[d] = v;
            }
        }
    }
};

template <typename T, int Dim>
direct_arg<T, Dim> direct(op_arg a)
{
    return direct_arg<T, Dim>{a};
}
template <typename T, int Dim, typename Map, int Col>
indirect_arg<T, Dim, Map, Col> indirect(op_arg a)
{
    return indirect_arg<T, Dim, Map, Col>{a};
}
template <typename T, int Dim, typename Map>
row_arg<T, Dim, Map> row(op_arg a)
{
    return row_arg<T, Dim, Map>{a};
}
template <typename T, int Dim = 1>
global_arg<T, Dim> global(op_arg a)
{
    return global_arg<T, Dim>{a};
}

template <typename T, int Dim>
direct_arg<T, Dim, true> optional(direct_arg<T, Dim> a)
{
    return {a.arg};
}
template <typename T, int Dim, typename Map, int Col>
indirect_arg<T, Dim, Map, Col, true> optional(indirect_arg<T, Dim, Map, Col> a)
{
    return {a.arg};
}
template <typename T, int Dim, typename Map>
row_arg<T, Dim, Map, true> optional(row_arg<T, Dim, Map> a)
{
    return {a.arg};
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

/// Elements ahead of the current one whose indirect targets a loop asks the memory system for (prefetch): a thread's
/// loads through a map go wherever the mesh leads, so the hardware's stream prefetchers miss them, and the kernel
/// would wait for each one. 32 elements (a few hundred nanoseconds of work) cover the memory latency; 24 to 96 ran
/// alike on the 1M dam break, 8 gained little.
constexpr int prefetch_distance = 32;

/// Whether an accessor can announce element n's target (only single-target arguments through a map do).
template <typename A, typename = void>
struct has_prefetch : std::false_type {
};
template <typename A>
struct has_prefetch<A, std::void_t<decltype(std::declval<const A&>().prefetch(0, std::declval<const map_rows&>()))>>
    : std::true_type {
};

template <typename A>
inline void prefetch_of(const A& a, int n, const map_rows& maps)
{
    if constexpr (has_prefetch<A>::value) a.prefetch(n, maps);
}

/// Runs the kernel on elements first .. last - 1 in increasing order with one thread's accessors, the indirect
/// targets of element n + prefetch_distance requested while element n runs (within the range only: the elements
/// past it belong to another block, or past the end of the set).
template <typename F, typename Tuple, std::size_t... I>
inline void run_range(F& f, Tuple& acc, const map_rows& maps, int first, int last, std::index_sequence<I...>)
{
    constexpr bool announces = (has_prefetch<std::tuple_element_t<I, Tuple>>::value || ...);
    int n = first;
    if constexpr (announces)
        for (; n + prefetch_distance < last; ++n) {
            (prefetch_of(std::get<I>(acc), n + prefetch_distance, maps), ...);
            f(std::get<I>(acc)(n, maps)...);
        }
    for (; n < last; ++n) f(std::get<I>(acc)(n, maps)...);
}

/// A kernel with a batch form: `batch` takes N consecutive elements at once, each argument as an array of the N
/// elements' pointers (element first + j at position j); `scalar` takes one element as an ordinary kernel.
template <int N, typename K, typename B>
struct batch_kernel {
    static_assert(N >= 2, "a batch holds at least two elements");
    K scalar;
    B batch;
};

/// Runs elements first .. last - 1 of a batch kernel: runs of N elements, in increasing order, to the batch form and
/// the remaining last elements one by one to the scalar form. Whole-row arguments are not taken (their pointer array
/// is reused from element to element).
template <int N, typename K, typename B, typename Tuple, std::size_t... I>
inline void run_range(batch_kernel<N, K, B>& f, Tuple& acc, const map_rows& maps, int first, int last,
                      std::index_sequence<I...>)
{
    static_assert(((std::tuple_element_t<I, Tuple>::batchable) && ...),
                  "a batch kernel takes direct, indirect and global arguments only");
    constexpr bool announces = (has_prefetch<std::tuple_element_t<I, Tuple>>::value || ...);
    int n = first;
    for (; n + N <= last; n += N) {
        if constexpr (announces)
            for (int j = n + prefetch_distance; j < std::min(n + N + prefetch_distance, last); ++j)
                (prefetch_of(std::get<I>(acc), j, maps), ...);
        std::tuple<std::array<decltype(std::get<I>(acc)(n, maps)), N>...> ptrs;
        for (int j = 0; j < N; ++j) ((std::get<I>(ptrs)[j] = std::get<I>(acc)(n + j, maps)), ...);
        f.batch(std::get<I>(ptrs).data()...);
    }
    for (; n < last; ++n) f.scalar(std::get<I>(acc)(n, maps)...);
}

template <typename Tuple, std::size_t... I>
inline void bind_all(Tuple& acc, int tid, std::index_sequence<I...>)
{
    (std::get<I>(acc).bind(tid), ...);
}

template <typename Tuple, std::size_t... I>
inline void flush_all(Tuple& acc, std::index_sequence<I...>)
{
    (std::get<I>(acc).flush(), ...);
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
    map_binding binding;
    (a.check(name, static_cast<int>(I), set, binding), ...);
    const map_rows maps = binding.rows();
    op_arg args[nargs] = {a.arg...};
    op_mpi_halo_exchanges(set, nargs, args);

    const int nthreads = omp_get_max_threads();
    const std::size_t slice = static_cast<std::size_t>(nthreads) * reduction_stride_bytes;
    char* buffer = nglobal > 0 ? static_cast<char*>(alloca(nglobal * slice)) : nullptr;
    auto accs = std::make_tuple(a.access(slots[I] >= 0 ? buffer + slots[I] * slice : nullptr)...);
    (a.init(std::get<I>(accs), nthreads), ...);

    const int size = set->size;
    if (size > 0 && size < serial_loop_limit) {
        // Too little work to pay for waking the team: the calling thread runs every element as thread 0.
        auto local = accs;
        bind_all(local, 0, seq);
        run_range(kernel, local, maps, 0, size, seq);
        flush_all(local, seq);
    } else if (size > 0) {
#pragma omp parallel
        {
            auto local = accs;
            const map_rows localMaps = maps;
            bind_all(local, omp_get_thread_num(), seq);
#pragma omp for schedule(static) nowait
            for (int thr = 0; thr < nthreads; ++thr) {
                const int start = static_cast<int>(static_cast<long long>(size) * thr / nthreads);
                const int finish = static_cast<int>(static_cast<long long>(size) * (thr + 1) / nthreads);
                run_range(kernel, local, localMaps, start, finish, seq);
            }
            flush_all(local, seq);
        }
    }
    (a.combine(std::get<I>(accs), nthreads), ...);

    op_mpi_reduce_combined(args, nargs);
    op_mpi_set_dirtybit(nargs, args);
    op_timers_core(&cpu_t2, &wall_t2);
    op_kernel& rec = OP_kernels[k];
    rec.name = name;
    rec.count += 1;
    rec.time += wall_t2 - wall_t1;
    add_direct_transfer(rec, size, nargs, args);
}

/// Runs blocks blkmap[first .. last - 1] of a plan, each block's elements in increasing order.
template <typename F, typename Tuple, std::size_t... I>
inline void run_blocks(F& f, Tuple& acc, const map_rows& maps, const op_plan* plan, int first, int last,
                       std::index_sequence<I...> seq)
{
    const int* blkmap = plan->blkmap;
    const int* offset = plan->offset;
    const int* nelems = plan->nelems;
    for (int blockIdx = first; blockIdx < last; ++blockIdx) {
        const int blockId = blkmap[blockIdx];
        run_range(f, acc, maps, offset[blockId], offset[blockId] + nelems[blockId], seq);
    }
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
    map_binding binding;
    (a.check(name, static_cast<int>(I), set, binding), ...);
    const map_rows maps = binding.rows();
    op_arg args[nargs];
    int inds[nargs];
    (a.expand(args + firsts[I], inds + firsts[I], declInds[I]), ...);

    const int part_size = OP_part_size;
    op_mpi_halo_exchanges(set, nargs, args);

    const int nthreads = omp_get_max_threads();
    const std::size_t slice = static_cast<std::size_t>(nthreads) * reduction_stride_bytes;
    char* buffer = nglobal > 0 ? static_cast<char*>(alloca(nglobal * slice)) : nullptr;
    auto accs = std::make_tuple(a.access(slots[I] >= 0 ? buffer + slots[I] * slice : nullptr)...);
    (a.init(std::get<I>(accs), nthreads), ...);

    if (set->size > 0) {
        op_plan* plan = op_plan_get_stage_upload(name, set, part_size, nargs, args, ninds, inds, 2, 0);
        int block_offset = 0;
        // Too little work to pay for waking the team once per colour: the calling thread runs it as thread 0.
        const bool serial = plan->exec_length < serial_loop_limit;
        for (int col = 0; col < plan->ncolors; ++col) {
            if (col == plan->core_colors) op_mpi_wait_all(nargs, args);
            const int nblocks = plan->ncolblk[col];
            if (serial) {
                auto local = accs;
                bind_all(local, 0, seq);
                run_blocks(kernel, local, maps, plan, block_offset, block_offset + nblocks, seq);
                flush_all(local, seq);
            } else {
#pragma omp parallel
                {
                    auto local = accs;
                    const map_rows localMaps = maps;
                    bind_all(local, omp_get_thread_num(), seq);
                    // Each thread takes one contiguous range of the colour's blocks, in thread order. Blocks differ in
                    // cost (a dry block costs a fraction of a wet one), so a thread may wait at the end; handing out
                    // chunks on demand balanced the 1M dam break (barrier wait 11 % -> 3.4 %) but is not the
                    // division this framework promises.
#pragma omp for schedule(static) nowait
                    for (int blockIdx = 0; blockIdx < nblocks; ++blockIdx)
                        run_blocks(kernel, local, localMaps, plan, block_offset + blockIdx, block_offset + blockIdx + 1,
                                   seq);
                    flush_all(local, seq);
                }
            }
            if (col == plan->owned_colors - 1) (a.combine(std::get<I>(accs), nthreads), ...);
            block_offset += nblocks;
        }
        OP_kernels[k].transfer += plan->transfer;
        OP_kernels[k].transfer2 += plan->transfer2;
    }

    op_mpi_wait_all(nargs, args);
    op_mpi_reduce_combined(args, nargs);
    op_mpi_set_dirtybit(nargs, args);
    op_timers_core(&cpu_t2, &wall_t2);
    op_kernel& rec = OP_kernels[k];
    rec.name = name;
    rec.count += 1;
    rec.time += wall_t2 - wall_t1;
}

}  // namespace detail

/// A kernel for op_par_loop_indirect and op_par_loop_direct that also has a batch form over N consecutive elements
/// (see detail::batch_kernel); blocks, colours and thread ranges are divided as for the scalar kernel alone.
template <int N, typename K, typename B>
detail::batch_kernel<N, std::decay_t<K>, std::decay_t<B>> batched(K&& scalar, B&& batch)
{
    return {std::forward<K>(scalar), std::forward<B>(batch)};
}

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
