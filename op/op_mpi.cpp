// Distributed runs of the mesh framework on MPI.
//
// Start and end: a program started by mpirun (Open MPI sets OMPI_COMM_WORLD_SIZE) starts MPI before main, so that
// every message of the program, from its first line on, is printed once: processes other than rank 0 write their
// standard output into a scratch file. At exit, status 0 ends MPI normally; any other status ends every process of
// the run with status 1 (MPI_Abort), after a process other than rank 0 has copied the last lines of its standard
// output to standard error, so that no process waits for a partner that has gone and the failing process's message
// is seen. A program started without mpirun never touches MPI and runs exactly as the single-process build.
//
// Partitioning (op_partition, once, after the sets and maps are declared): maps declared from a file in a run of
// several processes are not read at declaration. Rank 0 reads the whole tables of the maps the division needs (the
// prime map, the maps other sets follow and those named by op_partition_pull), divides the prime set (the cells)
// with METIS over the graph of elements joined by the prime map into 8 parts a process (OP_PARTS_PER_PROCESS),
// dealt out to the processes in turn, places the other sets, releases those tables and sends every element's owner
// to all. Each process then reads from the file the map rows of its owned elements alone. Sets without
// maps of their own (series, records, regions: small) and sets named by op_partition_whole stay whole on rank 0.
// Every other set follows a map into an already placed set: element e goes where the column-0 target of its row
// goes (op_partition_follow names the map, else the first declared one whose target is placed). The targets of a
// map named by op_partition_pull go where the map's row elements are (a loop that writes them through the map then
// finds them owned), and the sets following them are placed anew. Each process then keeps, per set, its owned
// elements in their original order (a subsequence of the set-up's locality-preserving order keeps its locality),
// followed by the elements that the map rows of its owned elements reach on other processes (one layer of imported
// elements, sorted by owning process, then by original number). Map tables keep the rows of the owned elements,
// translated to local numbers; data arrays keep owned plus imported elements: data declared before the division
// are cut down to them, data declared after it are read (op_decl_dat_hdf5, in slices of the file) or copied
// (op_decl_dat) for them alone.
//
// Loops run over owned elements only, so no element is computed twice and nothing is ever sent back: every loop
// that writes through a map must write only owned targets (checked once per map and column; a loop that would
// write an imported element ends the run). A datum written by a loop is marked dirty; a loop that reads it through a
// map first receives its imported elements from their owners (one message per neighbouring process and datum).
// Minimum and maximum reductions are combined across processes after the threads' partials: the result is the same
// bits on any number of processes. Output data are gathered on rank 0 in the original element order, a slice of
// consecutive elements at a time.
#include <fcntl.h>
#include <malloc.h>
#include <metis.h>
#include <mpi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "op/op_hdf5.h"
#include "op/op_openmp_decl.h"

namespace {

int g_rank = 0;
int g_nranks = 1;
bool g_mpi = false;          // MPI was started (the program runs under mpirun)
bool g_partitioned = false;  // op_partition has distributed the declared objects
int g_scratch = -1;          // rank > 0: the scratch file holding its standard output
off_t g_outputMark = -1;     // rank > 0: the scratch file's length when the framework started

/// One set's distribution on this process.
struct Layout {
    int global = 0;  ///< elements of the whole set
    /// The owned elements' original numbers, as runs of consecutive ones: run r starts at local number runLocal[r]
    /// with original number runFirst[r]. The parts are patches of consecutive cells (and what follows them), so a
    /// run holds dozens to thousands of elements: a number an element would cost as much as a data column.
    std::vector<int> runLocal, runFirst;
    std::vector<int> imported;            ///< original number of each imported element
    std::vector<int> recvCount;           ///< per process: imported elements it owns
    std::vector<int> recvStart;           ///< per process: their first position among the imported elements
    std::vector<std::vector<int>> sends;  ///< per process: local numbers of owned elements it imports

    /// Keeps the owned elements' original numbers (ascending) as runs.
    void own(const std::vector<int>& ids)
    {
        runLocal.clear();
        runFirst.clear();
        for (size_t l = 0; l < ids.size(); ++l)
            if (l == 0 || ids[l] != ids[l - 1] + 1) {
                runLocal.push_back((int)l);
                runFirst.push_back(ids[l]);
            }
        runLocal.shrink_to_fit();
        runFirst.shrink_to_fit();
    }
    /// The original number of local element l of a set with `owned` owned elements.
    int id(int l, int owned) const
    {
        if (l >= owned) return imported[(size_t)(l - owned)];
        const size_t r = (size_t)(std::upper_bound(runLocal.begin(), runLocal.end(), l) - runLocal.begin()) - 1;
        return runFirst[r] + (l - runLocal[r]);
    }
    /// The local number of the owned element numbered g originally, or -1.
    int owned_local(int g, int owned) const
    {
        const auto at = std::upper_bound(runFirst.begin(), runFirst.end(), g);
        if (at == runFirst.begin()) return -1;
        const size_t r = (size_t)(at - runFirst.begin()) - 1;
        const int end = r + 1 < runLocal.size() ? runLocal[r + 1] : owned;
        const int l = runLocal[r] + (g - runFirst[r]);
        return l < end ? l : -1;
    }
};
std::vector<Layout> g_layout;  // by set index
std::vector<op_map> g_follow;  // maps named by op_partition_follow
std::vector<op_set> g_whole;   // sets named by op_partition_whole
std::vector<op_map> g_pull;    // maps named by op_partition_pull
/// Maps declared from a file before the division, by map index: file and dataset, read when the sets are divided.
std::map<int, std::pair<std::string, std::string>> g_deferred;
std::set<std::pair<op_map, int>> g_checkedWrites;
std::vector<char> g_sendBuffer;
double g_sentMessages = 0.0;  // halo messages this process sent
double g_sentBytes = 0.0;     // and their bytes

constexpr int kHaloTag = 71;
constexpr int kPartsPerProcess = 8;
constexpr long kVerticesPerPart = 2000;

/// Copies what this process wrote to its standard output since the framework started (its last 2 KiB) to standard
/// error: a failing process other than rank 0. The program's own error messages go to standard error anyway.
void report_tail()
{
    if (g_scratch < 0 || g_outputMark < 0) return;
    fflush(stdout);
    const off_t end = lseek(g_scratch, 0, SEEK_END);
    const off_t from = std::max<off_t>(g_outputMark, end - 2048);
    if (end <= from) return;
    std::string tail((size_t)(end - from), '\0');
    const ssize_t got = pread(g_scratch, &tail[0], tail.size(), from);
    if (got <= 0) return;
    tail.resize((size_t)got);
    if (from > g_outputMark) tail.erase(0, tail.find('\n') + 1);
    fprintf(stderr, " -> process %d of %d:\n%s", g_rank, g_nranks, tail.c_str());
    fflush(stderr);
}

void finish(int status, void*)
{
    int finalized = 0;
    MPI_Finalized(&finalized);
    if (finalized) return;
    fflush(stdout);
    fflush(stderr);
    if (status == 0) {
        MPI_Finalize();
        return;
    }
    if (g_rank > 0) report_tail();
    // The others often fail alike at the same moment (the same input): half a second lets them report before the
    // abort ends them.
    usleep(500000);
    MPI_Abort(MPI_COMM_WORLD, 1);
}

struct Startup {
    Startup()
    {
        if (getenv("OMPI_COMM_WORLD_SIZE") == nullptr) return;
        int provided = 0;
        if (MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
            fprintf(stderr, "MPI could not be started\n");
            exit(1);
        }
        MPI_Comm_rank(MPI_COMM_WORLD, &g_rank);
        MPI_Comm_size(MPI_COMM_WORLD, &g_nranks);
        g_mpi = true;
        // The division's large temporaries would, once freed, raise the C library's mmap threshold to their size;
        // the data arrays allocated after them would then come from the heap, zeroed and so resident from the
        // start, instead of mapped pages that stay unresident until used. A fixed threshold keeps them mapped.
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        on_exit(finish, nullptr);
        if (g_rank > 0) {
            char name[] = "/tmp/hydrova-rank-XXXXXX";
            g_scratch = mkstemp(name);
            if (g_scratch >= 0) {
                unlink(name);
                fflush(stdout);
                dup2(g_scratch, STDOUT_FILENO);
            }
        }
    }
};
Startup g_startup;

/// Ends this process with status 1 after the framework's message (every process reports the same finding).
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fail(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
    printf("\n");
    exit(1);
}

bool valid(int t, int n) { return t >= 0 && t < n; }

/// Rank 0 during the division: the whole tables of the maps the division reads (the prime map, the maps other sets
/// follow, the maps named by op_partition_pull), read from the file on first use and released at the end. A map
/// declared from memory has its table already. `failed` names the first map that could not be read.
class WholeTables {
public:
    WholeTables() = default;
    WholeTables(const WholeTables&) = delete;
    WholeTables& operator=(const WholeTables&) = delete;
    ~WholeTables()
    {
        for (auto& entry : read_) free(entry.second);
    }
    /// The table of `m` ([from->size][dim], original numbers); null when it could not be read.
    const int* operator()(op_map m)
    {
        if (m->map != nullptr) return m->map;
        auto found = read_.find(m->index);
        if (found != read_.end()) return found->second;
        const auto& where = g_deferred.at(m->index);
        int* table = op_read_map_rows_hdf5(where.first.c_str(), where.second.c_str(), m->dim, nullptr, m->from->size);
        if (table == nullptr && failed == nullptr) failed = m;
        read_[m->index] = table;
        return table;
    }
    op_map failed = nullptr;

private:
    std::map<int, int*> read_;
};

/// The graph METIS divides, in compressed rows (xadj, adjncy, adjwgt), from a map of the prime set to itself or into
/// it: every pair of distinct elements in one row is joined. Elements are taken in groups of `group` consecutive
/// ones (vertex e / group): the set-up numbers cells along a Hilbert curve, so a group is a compact patch, and METIS
/// divides a graph `group` times smaller (an edge's weight counts the element pairs it stands for).
void build_graph(op_set prime, op_map map, const int* table, int group, std::vector<idx_t>& xadj,
                 std::vector<idx_t>& adjncy, std::vector<idx_t>& adjwgt)
{
    const int n = prime->size;
    const int nv = (n + group - 1) / group;
    const int dim = map->dim;
    const bool self = map->from == prime;
    if (map->to != prime)
        fail("op_partition error -- map %s neither joins set %s to itself nor leads into it", map->name, prime->name);
    const int rows = map->from->size;
    // Calls add(u, v) for the vertices of every joined pair of a row (a self-map's row element with its entries).
    auto pairs = [&](auto&& add) {
        for (int r = 0; r < rows; ++r) {
            const int* row = table + (size_t)r * dim;
            for (int a = self ? -1 : 0; a < dim; ++a)
                for (int b = a + 1; b < dim; ++b) {
                    const int s = a < 0 ? r : row[a], t = row[b];
                    if (valid(s, n) && valid(t, n) && s / group != t / group) add(s / group, t / group);
                }
        }
    };
    std::vector<idx_t> fill((size_t)nv + 1, 0);
    pairs([&](int u, int v) {
        ++fill[(size_t)u + 1];
        ++fill[(size_t)v + 1];
    });
    for (int u = 0; u < nv; ++u) fill[(size_t)u + 1] += fill[(size_t)u];
    adjncy.assign((size_t)fill[(size_t)nv], 0);
    xadj = fill;
    pairs([&](int u, int v) {
        adjncy[(size_t)fill[(size_t)u]++] = v;
        adjncy[(size_t)fill[(size_t)v]++] = u;
    });
    // Each vertex's neighbours sorted, each once, weighted by how often it was listed.
    adjwgt.assign(adjncy.size(), 0);
    idx_t out = 0;
    for (int u = 0; u < nv; ++u) {
        const idx_t begin = xadj[(size_t)u], end = xadj[(size_t)u + 1];
        std::sort(adjncy.begin() + begin, adjncy.begin() + end);
        xadj[(size_t)u] = out;
        for (idx_t k = begin; k < end; ++k) {
            if (k == begin || adjncy[(size_t)k] != adjncy[(size_t)k - 1]) {
                adjncy[(size_t)out] = adjncy[(size_t)k];
                adjwgt[(size_t)out++] = 0;
            }
            ++adjwgt[(size_t)out - 1];
        }
    }
    xadj[(size_t)nv] = out;
    adjncy.resize((size_t)out);
    adjwgt.resize((size_t)out);
}

/// Parts of the prime set per process: the environment's OP_PARTS_PER_PROCESS (1 to 256), else kPartsPerProcess.
int parts_per_process()
{
    const char* text = getenv("OP_PARTS_PER_PROCESS");
    if (text == nullptr) return kPartsPerProcess;
    const int n = atoi(text);
    return n >= 1 && n <= 256 ? n : kPartsPerProcess;
}

/// Rank 0: divides the prime set over the processes (`part`, the owner of each element). Returns 0, or 3 when the
/// partitioner failed, 4 when the prime map could not be read.
int divide(const char* routine, op_set prime, op_map map, WholeTables& table, std::vector<int>& part)
{
    const int n = prime->size;
    part.assign((size_t)n, 0);
    if (n == 0) return 0;
    const int* rows = table(map);
    if (rows == nullptr) return 4;
    // Several parts a process, dealt out in turn: METIS numbers neighbouring parts alike, so each process gets
    // pieces from all over the domain, as each thread does from the set-up's tiles, and a dam break's wet half
    // is no longer one process's work. Each piece adds its boundary to the imported elements.
    const int spread = parts_per_process();
    const long parts = (long)g_nranks * spread;
    // About kVerticesPerPart vertices a part are plenty for METIS; larger sets are divided in groups.
    // OP_PARTITION_GROUP sets the group size instead.
    const long most = parts * kVerticesPerPart;
    const char* forced = getenv("OP_PARTITION_GROUP");
    const int group = forced != nullptr && atoi(forced) >= 1 ? std::min(atoi(forced), std::max(n, 1))
                      : n > most                             ? (int)((n + most - 1) / most)
                                                             : 1;
    std::vector<idx_t> xadj, adjncy, adjwgt;
    build_graph(prime, map, rows, group, xadj, adjncy, adjwgt);
    const int nv = (n + group - 1) / group;
    std::vector<idx_t> vwgt((size_t)nv, group);
    vwgt[(size_t)nv - 1] = n - (idx_t)(nv - 1) * group;
    idx_t nvtxs = nv, ncon = 1, nparts = (idx_t)parts, objval = 0;
    std::vector<idx_t> where((size_t)nv, 0);
    idx_t options[METIS_NOPTIONS];
    METIS_SetDefaultOptions(options);
    options[METIS_OPTION_NUMBERING] = 0;
    const bool recursive = routine != nullptr && strcmp(routine, "RECURSIVE") == 0;
    const int rc = recursive ? METIS_PartGraphRecursive(&nvtxs, &ncon, xadj.data(), adjncy.data(), vwgt.data(),
                                                        nullptr, adjwgt.data(), &nparts, nullptr, nullptr, options,
                                                        &objval, where.data())
                             : METIS_PartGraphKway(&nvtxs, &ncon, xadj.data(), adjncy.data(), vwgt.data(), nullptr,
                                                   adjwgt.data(), &nparts, nullptr, nullptr, options, &objval,
                                                   where.data());
    if (rc != METIS_OK) return 3;
    for (int e = 0; e < n; ++e) part[(size_t)e] = (int)(where[(size_t)(e / group)] % g_nranks);
    return 0;
}

/// Every set's owners: the prime set's division; sets without maps and sets named by op_partition_whole on rank 0;
/// then sets following a map into a placed set (a set that never finds one stays on rank 0). The targets of maps
/// named by op_partition_pull then go to their row element's owner, and the sets that follow are placed again.
std::vector<std::vector<int>> place(op_set prime, std::vector<int> part, WholeTables& table)
{
    const int nsets = OP_set_index;
    std::vector<std::vector<int>> owner((size_t)nsets);
    std::vector<char> fixed((size_t)nsets, 0);  // placed before any set follows another; kept when placing again
    owner[(size_t)prime->index] = std::move(part);
    fixed[(size_t)prime->index] = 1;
    std::vector<char> hasMap((size_t)nsets, 0);
    for (int i = 0; i < OP_map_index; ++i) hasMap[(size_t)OP_map_list[i]->from->index] = 1;
    for (op_set w : g_whole) hasMap[(size_t)w->index] = 0;
    for (int s = 0; s < nsets; ++s)
        if (!fixed[(size_t)s] && !hasMap[(size_t)s]) {
            owner[(size_t)s].assign((size_t)OP_set_list[s]->size, 0);
            fixed[(size_t)s] = 1;
        }
    auto follow = [&]() {
        std::vector<char> placed = fixed;
        for (bool progress = true; progress;) {
            progress = false;
            for (int s = 0; s < nsets; ++s) {
                if (placed[(size_t)s]) continue;
                op_map chosen = nullptr;
                for (op_map m : g_follow)
                    if (m->from->index == s) chosen = m;
                if (chosen == nullptr) {
                    for (int i = 0; i < OP_map_index && chosen == nullptr; ++i) {
                        op_map m = OP_map_list[i];
                        if (m->from->index == s && placed[(size_t)m->to->index]) chosen = m;
                    }
                } else if (!placed[(size_t)chosen->to->index]) {
                    continue;
                }
                if (chosen == nullptr) continue;
                const int* rows = table(chosen);
                if (rows == nullptr) return;
                const op_set from = chosen->from;
                const std::vector<int>& target = owner[(size_t)chosen->to->index];
                std::vector<int>& own = owner[(size_t)s];
                own.assign((size_t)from->size, 0);
                for (int e = 0; e < from->size; ++e) {
                    const int t = rows[(size_t)e * chosen->dim];
                    own[(size_t)e] = valid(t, chosen->to->size) ? target[(size_t)t] : 0;
                }
                placed[(size_t)s] = 1;
                progress = true;
            }
        }
        for (int s = 0; s < nsets; ++s)
            if (!placed[(size_t)s]) owner[(size_t)s].assign((size_t)OP_set_list[s]->size, 0);
    };
    follow();
    if (!g_pull.empty()) {
        for (op_map m : g_pull) fixed[(size_t)m->from->index] = 1;
        for (op_map m : g_pull) {
            const int* rows = table(m);
            if (rows == nullptr) break;
            const std::vector<int>& from = owner[(size_t)m->from->index];
            std::vector<int>& target = owner[(size_t)m->to->index];
            for (int e = 0; e < m->from->size; ++e)
                for (int k = 0; k < m->dim; ++k) {
                    const int t = rows[(size_t)e * m->dim + k];
                    if (valid(t, m->to->size)) target[(size_t)t] = from[(size_t)e];
                }
            fixed[(size_t)m->to->index] = 1;
        }
        follow();
    }
    return owner;
}

/// Exchanges lists: every process tells each owner which of its elements it imports.
void exchange_lists(op_set set, const std::vector<int>& halo, const std::vector<int>& haloOwner,
                    const std::vector<int>& local, Layout& L)
{
    const int P = g_nranks;
    L.recvCount.assign((size_t)P, 0);
    L.recvStart.assign((size_t)P, 0);
    for (int o : haloOwner) ++L.recvCount[(size_t)o];
    for (int q = 1; q < P; ++q) L.recvStart[(size_t)q] = L.recvStart[(size_t)q - 1] + L.recvCount[(size_t)q - 1];
    std::vector<int> sendCount((size_t)P, 0), sendStart((size_t)P, 0);
    MPI_Alltoall(L.recvCount.data(), 1, MPI_INT, sendCount.data(), 1, MPI_INT, MPI_COMM_WORLD);
    int total = 0;
    for (int q = 0; q < P; ++q) {
        sendStart[(size_t)q] = total;
        total += sendCount[(size_t)q];
    }
    std::vector<int> wanted((size_t)std::max(total, 1));
    MPI_Alltoallv(halo.data(), L.recvCount.data(), L.recvStart.data(), MPI_INT, wanted.data(), sendCount.data(),
                  sendStart.data(), MPI_INT, MPI_COMM_WORLD);
    L.sends.assign((size_t)P, std::vector<int>());
    for (int q = 0; q < P; ++q)
        for (int i = 0; i < sendCount[(size_t)q]; ++i) {
            const int g = wanted[(size_t)(sendStart[(size_t)q] + i)];
            const int l = local[(size_t)g];
            if (l < 0 || l >= set->size) fail("op_partition error -- element %d of set %s is not owned here", g, set->name);
            L.sends[(size_t)q].push_back(l);
        }
}

void exchange(op_dat dat)
{
    const Layout& L = g_layout[(size_t)dat->set->index];
    const size_t bytes = (size_t)dat->size;
    std::vector<MPI_Request> requests;
    char* imported = dat->data + (size_t)dat->set->size * bytes;
    for (int q = 0; q < g_nranks; ++q)
        if (L.recvCount[(size_t)q] > 0) {
            requests.emplace_back();
            MPI_Irecv(imported + (size_t)L.recvStart[(size_t)q] * bytes, (int)(L.recvCount[(size_t)q] * bytes),
                      MPI_BYTE, q, kHaloTag, MPI_COMM_WORLD, &requests.back());
        }
    size_t total = 0;
    for (const auto& s : L.sends) total += s.size();
    if (g_sendBuffer.size() < total * bytes) g_sendBuffer.resize(total * bytes);
    char* out = g_sendBuffer.data();
    for (int q = 0; q < g_nranks; ++q) {
        const std::vector<int>& list = L.sends[(size_t)q];
        if (list.empty()) continue;
        char* start = out;
        for (int l : list) {
            memcpy(out, dat->data + (size_t)l * bytes, bytes);
            out += bytes;
        }
        requests.emplace_back();
        MPI_Isend(start, (int)(list.size() * bytes), MPI_BYTE, q, kHaloTag, MPI_COMM_WORLD, &requests.back());
        g_sentMessages += 1.0;
        g_sentBytes += (double)(list.size() * bytes);
    }
    MPI_Waitall((int)requests.size(), requests.data(), MPI_STATUSES_IGNORE);
    dat->dirtybit = 0;
}

/// A loop may write through a map only into owned elements (nothing is sent back); checked once per map column.
void check_owned_writes(op_set set, const op_arg& arg)
{
    if (!g_checkedWrites.insert({arg.map, arg.idx}).second) return;
    const op_map m = arg.map;
    const int cols = arg.idx >= 0 ? 1 : m->dim;
    for (int e = 0; e < set->size; ++e)
        for (int c = 0; c < cols; ++c) {
            const int k = arg.idx >= 0 ? arg.idx : c;
            const int t = m->map[(size_t)e * m->dim + k];
            if (t >= m->to->size && t < op_local_extent(m->to))
                fail("op_par_loop error -- a loop over set %s writes %s through map %s into elements of set %s that "
                     "another process owns: not possible in a distributed run",
                     set->name, arg.dat->name, m->name, m->to->name);
        }
}

MPI_Datatype mpi_type(const op_arg& arg)
{
    if (strcmp(arg.type, "float") == 0) return MPI_FLOAT;
    if (strcmp(arg.type, "double") == 0) return MPI_DOUBLE;
    if (strcmp(arg.type, "int") == 0) return MPI_INT;
    if (strcmp(arg.type, "bool") == 0 && sizeof(bool) == 1) return MPI_UNSIGNED_CHAR;
    fail("op_par_loop error -- reduction over %s values across processes is not supported", arg.type);
}

}  // namespace

void op_mpi_mark_output()
{
    if (g_scratch < 0) return;
    fflush(stdout);
    g_outputMark = lseek(g_scratch, 0, SEEK_END);
}

int op_mpi_rank() { return g_rank; }
int op_mpi_nranks() { return g_nranks; }
int op_is_root() { return g_rank == 0 ? 1 : 0; }

void op_mpi_barrier()
{
    if (g_mpi) MPI_Barrier(MPI_COMM_WORLD);
}

void op_partition_follow(op_map map)
{
    if (map != nullptr) g_follow.push_back(map);
}

void op_partition_whole(op_set set)
{
    if (set != nullptr) g_whole.push_back(set);
}

void op_partition_pull(op_map map)
{
    if (map != nullptr) g_pull.push_back(map);
}

int op_mpi_defers_maps() { return g_mpi && g_nranks > 1 && !g_partitioned ? 1 : 0; }

void op_mpi_defer_map(op_map map, const char* file, const char* name)
{
    if (map != nullptr) g_deferred[map->index] = {file, name};
}

void op_partition(char const* lib_name, char const* lib_routine, op_set prime_set, op_map prime_map, op_dat coords)
{
    (void)coords;
    if (!g_mpi || g_nranks == 1) return;
    if (g_partitioned) fail("op_partition error -- the declared objects are distributed already");
    const double started = MPI_Wtime();
    if (prime_set == nullptr || prime_map == nullptr) fail("op_partition error -- no prime set or map given");
    const int P = g_nranks, me = g_rank;
    const int nsets = OP_set_index;

    // Rank 0 divides the prime set and places every other set, reading the whole tables of the maps it needs for
    // that; the others receive the owner of every element. 0 ok, 1 unknown partitioner, 2 unknown routine,
    // 3 partitioner failed, 4 a map could not be read (its index follows).
    int status[2] = {0, -1};
    if (strcmp(lib_name, "METIS") != 0)
        status[0] = 1;
    else if (lib_routine != nullptr && lib_routine[0] != '\0' && strcmp(lib_routine, "KWAY") != 0 &&
             strcmp(lib_routine, "RECURSIVE") != 0)
        status[0] = 2;
    std::vector<std::vector<int>> owner((size_t)nsets);
    if (status[0] == 0 && me == 0) {
        WholeTables tables;
        std::vector<int> part;
        status[0] = divide(lib_routine, prime_set, prime_map, tables, part);
        if (status[0] == 0) owner = place(prime_set, std::move(part), tables);
        if (tables.failed != nullptr) status[0] = 4;
        if (status[0] == 4) status[1] = tables.failed != nullptr ? tables.failed->index : prime_map->index;
    }
    MPI_Bcast(status, 2, MPI_INT, 0, MPI_COMM_WORLD);
    if (status[0] == 1) fail("op_partition error -- partitioner %s is not available (METIS is)", lib_name);
    if (status[0] == 2) fail("op_partition error -- METIS has no routine %s (KWAY, RECURSIVE)", lib_routine);
    if (status[0] == 3)
        fail("op_partition error -- METIS failed to divide set %s (%d elements) into %d parts", prime_set->name,
             prime_set->size, P);
    if (status[0] == 4) {
        const op_map m = OP_map_list[status[1]];
        const auto where = g_deferred.find(m->index);
        fail("op_partition error -- map %s could not be read from file %s", m->name,
             where != g_deferred.end() ? where->second.first.c_str() : "(memory)");
    }
    for (int s = 0; s < nsets; ++s) {
        std::vector<int>& own = owner[(size_t)s];
        own.resize((size_t)OP_set_list[s]->size, 0);
        if (!own.empty()) MPI_Bcast(own.data(), (int)own.size(), MPI_INT, 0, MPI_COMM_WORLD);
    }

    // Owned elements in original order; the rows of their maps, read from the file for this process's elements
    // alone; the elements that these rows reach elsewhere.
    std::vector<std::vector<int>> ids((size_t)nsets), haloOwner((size_t)nsets);
    std::vector<std::vector<char>> reached((size_t)nsets);
    for (int s = 0; s < nsets; ++s) {
        const std::vector<int>& own = owner[(size_t)s];
        for (int e = 0; e < (int)own.size(); ++e)
            if (own[(size_t)e] == me) ids[(size_t)s].push_back(e);
    }
    std::vector<int*> tables((size_t)OP_map_index, nullptr);
    for (int i = 0; i < OP_map_index; ++i) {
        const op_map m = OP_map_list[i];
        const std::vector<int>& rows = ids[(size_t)m->from->index];
        int*& table = tables[(size_t)i];
        const auto where = g_deferred.find(m->index);
        if (where != g_deferred.end()) {
            table = op_read_map_rows_hdf5(where->second.first.c_str(), where->second.second.c_str(), m->dim,
                                          rows.data(), (int)rows.size());
            if (table == nullptr)
                fail("op_partition error -- process %d could not read its rows of map %s from file %s", me, m->name,
                     where->second.first.c_str());
        } else {
            table = (int*)op_malloc(std::max<size_t>(rows.size() * m->dim, 1) * sizeof(int));
            for (size_t r = 0; r < rows.size(); ++r)
                memcpy(table + r * m->dim, m->map + (size_t)rows[r] * m->dim, sizeof(int) * m->dim);
        }
        const std::vector<int>& toOwner = owner[(size_t)m->to->index];
        std::vector<char>& mark = reached[(size_t)m->to->index];
        if (mark.empty()) mark.assign((size_t)m->to->size, 0);
        for (size_t k = 0; k < rows.size() * m->dim; ++k) {
            const int t = table[k];
            if (valid(t, m->to->size) && toOwner[(size_t)t] != me) mark[(size_t)t] = 1;
        }
    }
    std::vector<std::vector<int>> local((size_t)nsets);
    g_layout.assign((size_t)nsets, Layout());
    std::vector<std::vector<int>> haloIds((size_t)nsets);
    for (int s = 0; s < nsets; ++s) {
        const op_set set = OP_set_list[s];
        const std::vector<int>& own = owner[(size_t)s];
        std::vector<int>& halo = haloIds[(size_t)s];
        const std::vector<char>& mark = reached[(size_t)s];
        for (int e = 0; e < (int)mark.size(); ++e)
            if (mark[(size_t)e]) halo.push_back(e);
        std::stable_sort(halo.begin(), halo.end(),
                         [&own](int a, int b) { return own[(size_t)a] < own[(size_t)b]; });
        for (int e : halo) haloOwner[(size_t)s].push_back(own[(size_t)e]);
        std::vector<int>& loc = local[(size_t)s];
        loc.assign((size_t)set->size, -1);
        int n = 0;
        for (int e : ids[(size_t)s]) loc[(size_t)e] = n++;
        for (int e : halo) loc[(size_t)e] = n++;
        Layout& L = g_layout[(size_t)s];
        L.global = set->size;
        L.own(ids[(size_t)s]);
        L.imported = halo;
    }

    // Maps: the rows of owned elements, targets in local numbers.
    for (int i = 0; i < OP_map_index; ++i) {
        const op_map m = OP_map_list[i];
        const std::vector<int>& rows = ids[(size_t)m->from->index];
        const std::vector<int>& loc = local[(size_t)m->to->index];
        int* table = tables[(size_t)i];
        for (size_t r = 0; r < rows.size(); ++r)
            for (int k = 0; k < m->dim; ++k) {
                const int t = table[r * m->dim + k];
                table[r * m->dim + k] = valid(t, m->to->size) ? loc[(size_t)t] : t;
            }
        if (!m->user_managed) op_free(m->map);
        m->map = table;
        m->user_managed = 0;
    }

    // Data: owned, then imported elements.
    for (op_dat_entry* item = OP_dat_list; item != nullptr; item = item->next) {
        const op_dat d = item->dat;
        if (strstr(d->type, ":soa") != nullptr)
            fail("op_partition error -- data %s is stored component by component (soa): not distributed", d->name);
        const int s = d->set->index;
        const size_t bytes = (size_t)d->size;
        const size_t n = ids[(size_t)s].size() + haloIds[(size_t)s].size();
        char* fresh = (char*)op_calloc(std::max<size_t>(n * bytes, 1), 1);
        size_t l = 0;
        if (d->data != nullptr) {
            for (int e : ids[(size_t)s]) memcpy(fresh + bytes * l++, d->data + bytes * (size_t)e, bytes);
            for (int e : haloIds[(size_t)s]) memcpy(fresh + bytes * l++, d->data + bytes * (size_t)e, bytes);
        }
        if (!d->user_managed) op_free(d->data);
        d->data = fresh;
        d->user_managed = 0;
        d->dirtybit = 0;
    }

    // Sets, and who sends what to whom.
    for (int s = 0; s < nsets; ++s) {
        const op_set set = OP_set_list[s];
        set->size = (int)ids[(size_t)s].size();
        set->core_size = set->size;
        set->exec_size = 0;
        set->nonexec_size = (int)haloIds[(size_t)s].size();
        exchange_lists(set, haloIds[(size_t)s], haloOwner[(size_t)s], local[(size_t)s], g_layout[(size_t)s]);
    }
    g_partitioned = true;
    // Owned and imported cells on the process with the most imported ones: the halo that every step exchanges.
    int mine[2] = {prime_set->size, prime_set->nonexec_size}, most[2] = {0, 0};
    MPI_Allreduce(mine, most, 2, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    printf(" -> set %s distributed over %d processes in %.2f s (at most %d owned, %d imported elements a process)\n",
           prime_set->name, P, MPI_Wtime() - started, most[0], most[1]);
    if (OP_diags > 1) {
        for (int s = 0; s < nsets; ++s)
            printf(" set %s: %d owned, %d imported on process 0\n", OP_set_list[s]->name, OP_set_list[s]->size,
                   OP_set_list[s]->nonexec_size);
    }
}

int op_mpi_halo_exchanges(op_set set, int nargs, op_arg* args)
{
    if (!g_partitioned) return set->size;
    const double started = MPI_Wtime();
    for (int n = 0; n < nargs; ++n) {
        const op_arg& a = args[n];
        if (!a.opt || a.argtype != OP_ARG_DAT || a.map == nullptr) continue;
        if (a.acc == OP_READ || a.acc == OP_RW) {
            if (a.dat->dirtybit) exchange(a.dat);
        }
        if (a.acc != OP_READ) check_owned_writes(set, a);
    }
    if (OP_kern_curr < OP_kern_max) OP_kernels[OP_kern_curr].mpi_time += (float)(MPI_Wtime() - started);
    return set->size;
}

void op_mpi_set_dirtybit(int nargs, op_arg* args)
{
    if (!g_partitioned) return;
    for (int n = 0; n < nargs; ++n)
        if (args[n].opt && args[n].argtype == OP_ARG_DAT && args[n].acc != OP_READ) args[n].dat->dirtybit = 1;
}

void op_mpi_reduce_combined(op_arg* args, int nargs)
{
    if (!g_partitioned) return;
    const double started = MPI_Wtime();
    for (int n = 0; n < nargs; ++n) {
        const op_arg& a = args[n];
        if (a.argtype != OP_ARG_GBL || (a.acc != OP_MIN && a.acc != OP_MAX)) continue;
        MPI_Allreduce(MPI_IN_PLACE, a.data, a.dim, mpi_type(a), a.acc == OP_MIN ? MPI_MIN : MPI_MAX, MPI_COMM_WORLD);
    }
    if (OP_kern_curr < OP_kern_max) OP_kernels[OP_kern_curr].mpi_time += (float)(MPI_Wtime() - started);
}

void op_mpi_reduce_float(op_arg* args, float*) { op_mpi_reduce_combined(args, 1); }
void op_mpi_reduce_double(op_arg* args, double*) { op_mpi_reduce_combined(args, 1); }
void op_mpi_reduce_int(op_arg* args, int*) { op_mpi_reduce_combined(args, 1); }
void op_mpi_reduce_bool(op_arg* args, bool*) { op_mpi_reduce_combined(args, 1); }

int op_mpi_gather_slices(op_dat dat, void (*write)(const char* rows, int first, int count, void* context),
                         void* context)
{
    if (!g_partitioned) return -1;
    const Layout& L = g_layout[(size_t)dat->set->index];
    const int bytes = dat->size;
    const int owned = dat->set->size;
    const bool root = g_rank == 0;
    // Slices of consecutive original numbers: every process sends its owned elements in the slice (its owned
    // elements are in original order, so these are consecutive local ones) with their numbers; rank 0 places them
    // and writes the slice. Rank 0 holds a few slices, never the whole array. OP_GATHER_SLICE sets the slice's
    // element count instead.
    const char* forced = getenv("OP_GATHER_SLICE");
    const int slice = forced != nullptr && atoi(forced) >= 1 ? atoi(forced) : 1 << 16;
    std::vector<int> counts(root ? (size_t)g_nranks : 0), starts(counts.size()), byteCounts(counts.size()),
        byteStarts(counts.size()), ids, mineIds;
    std::vector<char> received, rows;
    int next = 0;
    for (int first = 0; first < L.global; first += slice) {
        const int end = std::min(L.global, first + slice);
        const int begin = next;
        mineIds.clear();
        for (int id; next < owned && (id = L.id(next, owned)) < end; ++next) mineIds.push_back(id);
        int mine = next - begin;
        MPI_Gather(&mine, 1, MPI_INT, counts.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
        int total = 0;
        if (root) {
            for (int q = 0; q < g_nranks; ++q) {
                starts[(size_t)q] = total;
                byteStarts[(size_t)q] = total * bytes;
                byteCounts[(size_t)q] = counts[(size_t)q] * bytes;
                total += counts[(size_t)q];
            }
            ids.resize((size_t)std::max(total, 1));
            received.resize((size_t)std::max(total, 1) * bytes);
        }
        MPI_Gatherv(mineIds.data(), mine, MPI_INT, ids.data(), counts.data(), starts.data(), MPI_INT, 0,
                    MPI_COMM_WORLD);
        MPI_Gatherv(dat->data + (size_t)begin * bytes, mine * bytes, MPI_BYTE, received.data(), byteCounts.data(),
                    byteStarts.data(), MPI_BYTE, 0, MPI_COMM_WORLD);
        if (!root) continue;
        if (total != end - first)
            fail("op_mpi_gather error -- %d of the %d elements %d to %d of set %s are owned by a process", total,
                 end - first, first, end - 1, dat->set->name);
        rows.resize((size_t)(end - first) * bytes);
        for (int i = 0; i < total; ++i)
            memcpy(rows.data() + (size_t)(ids[(size_t)i] - first) * bytes, received.data() + (size_t)i * bytes,
                   (size_t)bytes);
        write(rows.data(), first, end - first, context);
    }
    return root ? 1 : 0;
}

void op_mpi_gather_places(int count, const double* placedRows, int width, int total, double* all)
{
    const int row = width + 1;
    const double* rows = placedRows;  // the rows rank 0 places: its own outside mpirun, everyone's gathered under it
    size_t doubles = (size_t)count * row;
    std::vector<double> received;
    if (g_mpi) {
        const bool root = g_rank == 0;
        const int mine = count * row;
        std::vector<int> counts(root ? (size_t)g_nranks : 0), starts(counts.size());
        MPI_Gather(&mine, 1, MPI_INT, counts.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
        doubles = 0;
        for (size_t q = 0; q < counts.size(); ++q) {
            starts[q] = (int)doubles;
            doubles += (size_t)counts[q];
        }
        if (root) received.resize(std::max<size_t>(doubles, 1));
        MPI_Gatherv(placedRows, mine, MPI_DOUBLE, received.data(), counts.data(), starts.data(), MPI_DOUBLE, 0,
                    MPI_COMM_WORLD);
        if (!root) return;
        rows = received.data();
    }
    if (doubles != (size_t)total * row)
        fail("op_mpi_gather_places error -- %d rows for %d places", (int)(doubles / row), total);
    for (const double* r = rows; r < rows + doubles; r += row) {
        const double place = r[0];
        if (!(place >= 0.0 && place < total)) fail("op_mpi_gather_places error -- place %g of %d", place, total);
        std::copy(r + 1, r + row, all + (size_t)place * width);
    }
}

double op_mpi_max_sum(double value, double* sum)
{
    if (!g_mpi) {
        *sum = value;
        return value;
    }
    double max = 0.0;
    MPI_Allreduce(&value, &max, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
    MPI_Allreduce(&value, sum, 1, MPI_DOUBLE, MPI_SUM, MPI_COMM_WORLD);
    return max;
}

void op_mpi_sent(double* messages, double* bytes)
{
    *messages = g_sentMessages;
    *bytes = g_sentBytes;
}

int op_mpi_global_size(op_set set)
{
    if (!g_partitioned) return -1;
    return g_layout[(size_t)set->index].global;
}

int op_mpi_global_id(op_set set, int local)
{
    if (!g_partitioned || local < 0 || local >= set->size + set->nonexec_size) return local;
    return g_layout[(size_t)set->index].id(local, set->size);
}

int op_mpi_owned_local(op_set set, int global)
{
    if (!g_partitioned) return global >= 0 && global < set->size ? global : -1;
    return g_layout[(size_t)set->index].owned_local(global, set->size);
}

int* op_mpi_global_ids(op_set set, int* local)
{
    if (!g_partitioned) return nullptr;
    const Layout& L = g_layout[(size_t)set->index];
    *local = set->size + set->nonexec_size;
    int* ids = (int*)op_malloc(std::max<size_t>((size_t)*local, 1) * sizeof(int));
    for (size_t r = 0; r < L.runLocal.size(); ++r) {
        const int end = r + 1 < L.runLocal.size() ? L.runLocal[r + 1] : set->size;
        for (int l = L.runLocal[r]; l < end; ++l) ids[l] = L.runFirst[r] + (l - L.runLocal[r]);
    }
    std::copy(L.imported.begin(), L.imported.end(), ids + set->size);
    return ids;
}

char* op_mpi_local_rows(op_set set, size_t bytes, const char* global)
{
    if (!g_partitioned || global == nullptr) return nullptr;
    int local = 0;
    int* ids = op_mpi_global_ids(set, &local);
    char* rows = (char*)op_calloc(std::max<size_t>((size_t)local * bytes, 1), 1);
    for (int l = 0; l < local; ++l) memcpy(rows + (size_t)l * bytes, global + (size_t)ids[l] * bytes, bytes);
    op_free(ids);
    return rows;
}
