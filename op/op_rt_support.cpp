// The planner: plan cache, blocks, local numbering, element and block colouring, transfer estimates, self-check.
#include "op/op_rt_support.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

op_plan* OP_plans = nullptr;
int OP_plan_index = 0, OP_plan_max = 0;
double OP_plan_time = 0.0;

namespace {

template <typename T>
T* alloc_copy(const std::vector<T>& v)
{
    T* p = (T*)op_malloc(v.empty() ? sizeof(T) : v.size() * sizeof(T));
    if (!v.empty()) memcpy(p, v.data(), v.size() * sizeof(T));
    return p;
}

bool modifies(op_access acc) { return acc == OP_RW || acc == OP_INC; }

bool plan_matches(const op_plan& p, const char* name, op_set set, int part_size, int nargs, const op_arg* args,
                  int ninds)
{
    if (strcmp(p.name, name) != 0 || p.set != set || p.nargs != nargs || p.ninds != ninds || p.part_size != part_size)
        return false;
    for (int m = 0; m < nargs; ++m)
        if (p.dats[m] != args[m].dat || p.maps[m] != args[m].map || p.idxs[m] != args[m].idx ||
            p.accs[m] != args[m].acc)
            return false;
    return true;
}

// Element e's target through argument a.
inline int target_of(const op_arg& a, int e) { return a.map_data[(size_t)e * a.map->dim + a.idx]; }

// Lowest bit not set in mask (mask != all ones).
inline int lowest_free_bit(unsigned int mask) { return __builtin_ctz(~mask); }

// Per-element tables of the plans (element colours, target lists, local maps) live in one pool, stored once per
// distinct content: arguments that reach their data through the same map columns have equal lists and local maps,
// and loops over one set with the same block cuts have equal element colours. The pool owns them until op_rt_exit;
// plans only point into it and never write through those pointers after planning.
struct PooledTable {
    void* data;
    size_t bytes;
    uint64_t hash;
};
std::vector<PooledTable> pool;
std::unordered_multimap<uint64_t, size_t> poolIndex;  // content hash -> position in pool (all-zero tables aside)
void* zeroTable = nullptr;                            // the longest all-zero table
size_t zeroTableBytes = 0;

uint64_t content_hash(const void* p, size_t bytes)
{
    const unsigned char* c = static_cast<const unsigned char*>(p);
    uint64_t h = 0x243f6a8885a308d3ull ^ bytes;
    size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t w;
        memcpy(&w, c + i, 8);
        h = (h ^ w) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 29;
    }
    for (; i < bytes; ++i) h = (h ^ c[i]) * 0x100000001b3ull;
    return h;
}

// Registers p (bytes long, all zero, allocated with op_malloc or op_calloc) as the pool's table of zeros, which
// serves every all-zero table up to its length.
void* become_zero_table(void* p, size_t bytes)
{
    pool.push_back({p, bytes, 0});
    zeroTable = p;
    zeroTableBytes = bytes;
    return p;
}

// Registers table p (n elements, allocated with op_malloc) in the pool and returns the pooled table of the same
// content: p itself, or an earlier table, in which case p is freed. An all-zero table may be the prefix of a longer
// all-zero one (loops that modify nothing through a map have all element colours 0).
template <typename T>
T* pool_adopt(T* p, size_t n)
{
    const size_t bytes = n * sizeof(T);
    const char* c = reinterpret_cast<const char*>(p);
    if (bytes > 0 && c[0] == 0 && memcmp(c, c + 1, bytes - 1) == 0) {
        if (zeroTable != nullptr && zeroTableBytes >= bytes) {
            op_free(p);
            return static_cast<T*>(zeroTable);
        }
        return static_cast<T*>(become_zero_table(p, bytes));
    }
    const uint64_t h = content_hash(p, bytes);
    auto range = poolIndex.equal_range(h);
    for (auto it = range.first; it != range.second; ++it) {
        const PooledTable& t = pool[it->second];
        if (t.bytes == bytes && memcmp(t.data, p, bytes) == 0) {
            op_free(p);
            return static_cast<T*>(t.data);
        }
    }
    poolIndex.emplace(h, pool.size());
    pool.push_back({p, bytes, h});
    return p;
}

// The pooled all-zero table of at least n elements (a new one, longer than any before, when there is none).
template <typename T>
T* pooled_zeros(size_t n)
{
    const size_t bytes = n * sizeof(T);
    if (zeroTable != nullptr && zeroTableBytes >= bytes) return static_cast<T*>(zeroTable);
    return static_cast<T*>(become_zero_table(op_calloc(n, sizeof(T)), bytes));
}

void free_pool()
{
    for (const PooledTable& t : pool) op_free(t.data);
    pool.clear();
    poolIndex.clear();
    zeroTable = nullptr;
    zeroTableBytes = 0;
}

}  // namespace

op_plan* op_plan_core(const char* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds,
                      int staging)
{
    for (int ip = 0; ip < OP_plan_index; ++ip) {
        if (plan_matches(OP_plans[ip], name, set, part_size, nargs, args, ninds)) {
            OP_plans[ip].count += 1;
            if (OP_diags > 3) printf(" old execution plan #%d\n", ip);
            return &OP_plans[ip];
        }
    }

    if (OP_diags > 1) printf(" new execution plan #%d for kernel %s\n", OP_plan_index, name);
    double cpu_t1, cpu_t2, wall_t1, wall_t2;
    op_timers_core(&cpu_t1, &wall_t1);

    // Arguments that the planner looks at: in use and reached through a map.
    std::vector<int> indArgs;
    for (int m = 0; m < nargs; ++m)
        if (args[m].opt && inds[m] >= 0 && args[m].map != nullptr && args[m].map_data != nullptr) indArgs.push_back(m);

    int exec_length = set->size;
    for (int m : indArgs)
        if (args[m].acc != OP_READ) {
            exec_length += set->exec_size;
            break;
        }

    // Block size.
    int bsize;
    if (staging == 4) {
        bsize = exec_length;
    } else {
        int bytes = 0;
        for (int m : indArgs)
            if (staging != 1 || args[m].acc == OP_INC) bytes += args[m].size;
        if (bytes >= 1 && part_size == 0)
            bsize = std::max(256, (24576 / (64 * bytes)) * 64);
        else
            bsize = part_size != 0 ? part_size : 256;
    }
    if (bsize < 1) bsize = 1;

    // Blocks: contiguous, cut where they would cross the core size.
    std::vector<int> offset, nelems;
    if (staging == 4) {
        offset.push_back(0);
        nelems.push_back(exec_length);
    } else {
        const int core = set->core_size;
        for (int start = 0; start < exec_length;) {
            int len = std::min(bsize, exec_length - start);
            if (start < core && start + len > core) len = core - start;
            offset.push_back(start);
            nelems.push_back(len);
            start += len;
        }
    }
    const int nblocks = (int)offset.size();

    // Record the plan.
    if (OP_plan_index == OP_plan_max) {
        op_plan* grown = (op_plan*)op_realloc(OP_plans, (OP_plan_max + 10) * sizeof(op_plan));
        if (grown == nullptr) {
            printf(" op_plan error -- error reallocating memory for OP_plans\n");
            exit(-1);
        }
        OP_plans = grown;
        OP_plan_max += 10;
    }
    const int planNo = OP_plan_index++;
    op_plan& plan = OP_plans[planNo];
    memset(&plan, 0, sizeof(op_plan));
    plan.name = name;
    plan.set = set;
    plan.nargs = nargs;
    plan.ninds = ninds;
    plan.part_size = part_size;
    plan.staging = staging;
    plan.count = 1;
    plan.exec_length = exec_length;
    plan.nblocks = nblocks;
    const size_t nargsAlloc = nargs > 0 ? nargs : 1;
    plan.dats = (op_dat*)op_malloc(nargsAlloc * sizeof(op_dat));
    plan.maps = (op_map*)op_malloc(nargsAlloc * sizeof(op_map));
    plan.idxs = (int*)op_malloc(nargsAlloc * sizeof(int));
    plan.accs = (op_access*)op_malloc(nargsAlloc * sizeof(op_access));
    plan.inds = (int*)op_malloc(nargsAlloc * sizeof(int));
    plan.optflags = (int*)op_malloc(nargsAlloc * sizeof(int));
    plan.loc_maps = (unsigned short**)op_calloc(nargsAlloc, sizeof(unsigned short*));
    for (int m = 0; m < nargs; ++m) {
        plan.dats[m] = args[m].dat;
        plan.maps[m] = args[m].map;
        plan.idxs[m] = args[m].idx;
        plan.accs[m] = args[m].acc;
        plan.inds[m] = inds[m];
        plan.optflags[m] = args[m].opt;
    }
    plan.offset = alloc_copy(offset);
    plan.nelems = alloc_copy(nelems);
    plan.max_block = nblocks > 0 ? *std::max_element(nelems.begin(), nelems.end()) : 0;

    // Local numbering: per block and indirect dataset, the sorted distinct targets and each element's position.
    // A dataset's lists depend only on the map columns its arguments use, and an argument's local map only on its
    // column and those lists: datasets with the same columns, and arguments with the same column in them, share one
    // table, which is built once.
    std::vector<int> indOffs((size_t)nblocks * ninds), indSizes((size_t)nblocks * ninds);
    plan.ind_maps = (int**)op_calloc(ninds > 0 ? ninds : 1, sizeof(int*));
    std::vector<std::vector<std::pair<op_map, int>>> columns(ninds);  // per dataset: distinct (map, column) in use
    for (int m : indArgs) {
        auto& c = columns[inds[m]];
        const std::pair<op_map, int> col(args[m].map, args[m].idx);
        if (std::find(c.begin(), c.end(), col) == c.end()) c.push_back(col);
    }
    for (auto& c : columns) std::sort(c.begin(), c.end());
    std::vector<int> canon(ninds);  // first dataset with the same columns
    for (int d = 0; d < ninds; ++d) {
        canon[d] = d;
        for (int e = 0; e < d; ++e)
            if (canon[e] == e && columns[e] == columns[d]) {
                canon[d] = e;
                break;
            }
    }
    std::vector<int> list;
    std::vector<uint64_t> listed;       // one bit per target: listed by the current block
    std::vector<int> words;             // the words of listed that the current block has set bits in
    std::vector<unsigned short> pos;    // a target's position in the current block's list (local maps are 16-bit)
    std::vector<unsigned short*> locs;  // per column of the dataset: each element's local position
    const size_t nloc = exec_length > 0 ? exec_length : 1;
    for (int d = 0; d < ninds; ++d) {
        if (canon[d] != d) {
            const int c = canon[d];
            plan.ind_maps[d] = plan.ind_maps[c];
            for (int b = 0; b < nblocks; ++b) {
                indOffs[(size_t)b * ninds + d] = indOffs[(size_t)b * ninds + c];
                indSizes[(size_t)b * ninds + d] = indSizes[(size_t)b * ninds + c];
            }
            continue;
        }
        const auto& cols = columns[d];
        int targetSize = 0;
        for (int m : indArgs)
            if (canon[inds[m]] == d) targetSize = std::max(targetSize, op_local_extent(args[m].dat->set));
        listed.assign(((size_t)targetSize + 63) / 64, 0);
        pos.resize(targetSize);
        // The tables are built in place in their final storage, so that no copy of them is ever held twice.
        locs.resize(cols.size());
        for (auto& l : locs) l = (unsigned short*)op_malloc(nloc * sizeof(unsigned short));
        size_t allSize = 0, allCap = nloc;
        int* all = (int*)op_malloc(allCap * sizeof(int));
        if (words.size() < cols.size() * (size_t)plan.max_block) words.resize(cols.size() * (size_t)plan.max_block);
        for (int b = 0; b < nblocks; ++b) {
            const int first = offset[b], last = offset[b] + nelems[b];
            // The block's targets as bits, and the words holding them. Sorting the words and reading off their bits
            // gives the sorted distinct list; the words are far fewer than the targets when the targets lie in a
            // few clusters (a locality-ordered mesh, whose blocks may still reach two distant ranges), and as many
            // at worst. The bits are cleared as they are read. Whether a target's word is new to the block follows
            // no pattern a branch predictor could learn: the word is written to the end of the list every time and
            // kept by advancing the end only when it is new.
            size_t nwords = 0;
            for (const auto& col : cols) {
                const int* row = col.first->map;
                const int dim = col.first->dim;
                for (int e = first; e < last; ++e) {
                    const int t = row[(size_t)e * dim + col.second];
                    uint64_t& word = listed[t >> 6];
                    words[nwords] = t >> 6;
                    nwords += word == 0;
                    word |= 1ull << (t & 63);
                }
            }
            std::sort(words.begin(), words.begin() + nwords);
            list.clear();
            for (size_t i = 0; i < nwords; ++i) {
                const int w = words[i];
                for (uint64_t word = listed[w]; word != 0; word &= word - 1)
                    list.push_back(w * 64 + __builtin_ctzll(word));
                listed[w] = 0;
            }
            const size_t n = list.size();
            for (int i = 0; i < (int)n; ++i) pos[list[i]] = (unsigned short)i;
            for (size_t j = 0; j < cols.size(); ++j) {
                const int* row = cols[j].first->map;
                const int dim = cols[j].first->dim;
                unsigned short* l = locs[j];
                for (int e = first; e < last; ++e) l[e] = pos[row[(size_t)e * dim + cols[j].second]];
            }
            indOffs[(size_t)b * ninds + d] = (int)allSize;
            indSizes[(size_t)b * ninds + d] = (int)n;
            if (allSize + n > allCap) {
                allCap = std::max(allSize + n, allCap + allCap / 2);
                all = (int*)op_realloc(all, allCap * sizeof(int));
            }
            std::copy(list.begin(), list.end(), all + allSize);
            allSize += n;
        }
        if (allSize < allCap) all = (int*)op_realloc(all, (allSize > 0 ? allSize : 1) * sizeof(int));
        plan.ind_maps[d] = pool_adopt(all, allSize);
        // Every argument of this dataset, and of the datasets sharing its lists, takes its column's local map.
        for (size_t j = 0; j < cols.size(); ++j) {
            unsigned short* shared = pool_adopt(locs[j], (size_t)exec_length);
            for (int m : indArgs)
                if (canon[inds[m]] == d && args[m].map == cols[j].first && args[m].idx == cols[j].second)
                    plan.loc_maps[m] = shared;
        }
    }
    plan.ind_offs = alloc_copy(indOffs);
    plan.ind_sizes = alloc_copy(indSizes);

    // Work words for colouring: one per element of each modified dataset's data. Datasets that reach the same data
    // through different maps share one word array, so conflicts across maps are seen as well.
    std::vector<int> colArgs;  // in-use indirect arguments with read-write or increment access
    for (int m : indArgs)
        if (modifies(args[m].acc)) colArgs.push_back(m);
    std::vector<op_dat> workDats;
    std::vector<int> workOf(nargs, -1);
    for (int m : colArgs) {
        auto it = std::find(workDats.begin(), workDats.end(), args[m].dat);
        workOf[m] = (int)(it - workDats.begin());
        if (it == workDats.end()) workDats.push_back(args[m].dat);
    }
    std::vector<std::vector<unsigned int>> work(workDats.size());
    for (size_t w = 0; w < workDats.size(); ++w) work[w].assign(op_local_extent(workDats[w]->set), 0u);

    // Element colours within each block, in passes of 32 colours. A loop that modifies nothing through a map
    // colours every element 0: the pool's table of zeros serves it without a new table.
    const size_t nthr = exec_length > 0 ? exec_length : 1;
    std::vector<int> nthrcol(nblocks > 0 ? nblocks : 1, 0);
    long totalThreadColors = 0;
    int* thrcol;
    if (colArgs.empty()) {
        thrcol = pooled_zeros<int>(nthr);
        for (int b = 0; b < nblocks; ++b) {
            nthrcol[b] = nelems[b] > 0 ? 1 : 0;
            totalThreadColors += nthrcol[b];
        }
    } else {
        thrcol = (int*)op_malloc(nthr * sizeof(int));
        std::fill(thrcol, thrcol + nthr, -1);
        for (int b = 0; b < nblocks; ++b) {
            const int first = offset[b], last = offset[b] + nelems[b];
            int remaining = nelems[b], base = 0, maxColor = -1;
            while (remaining > 0) {
                for (int m : colArgs)
                    for (int e = first; e < last; ++e) work[workOf[m]][target_of(args[m], e)] = 0u;
                for (int e = first; e < last; ++e) {
                    if (thrcol[e] >= 0) continue;
                    unsigned int mask = 0u;
                    for (int m : colArgs) mask |= work[workOf[m]][target_of(args[m], e)];
                    if (mask == ~0u) continue;
                    const int bit = lowest_free_bit(mask);
                    thrcol[e] = base + bit;
                    maxColor = std::max(maxColor, thrcol[e]);
                    for (int m : colArgs) work[workOf[m]][target_of(args[m], e)] |= 1u << bit;
                    --remaining;
                }
                base += 32;
            }
            nthrcol[b] = maxColor + 1;
            totalThreadColors += nthrcol[b];
        }
        thrcol = pool_adopt(thrcol, nthr);
    }
    plan.thrcol = thrcol;
    plan.nthrcol = alloc_copy(nthrcol);

    // Block colours, by the same passes at block level.
    std::vector<int> blkcol(nblocks > 0 ? nblocks : 1, -1);
    {
        int remaining = nblocks, base = 0;
        while (remaining > 0) {
            for (auto& w : work) std::fill(w.begin(), w.end(), 0u);
            for (int b = 0; b < nblocks; ++b) {
                if (blkcol[b] >= 0) continue;
                const int first = offset[b], last = offset[b] + nelems[b];
                unsigned int mask = 0u;
                for (int m : colArgs)
                    for (int e = first; e < last; ++e) mask |= work[workOf[m]][target_of(args[m], e)];
                if (mask == ~0u) continue;
                const int bit = lowest_free_bit(mask);
                blkcol[b] = base + bit;
                for (int m : colArgs)
                    for (int e = first; e < last; ++e) work[workOf[m]][target_of(args[m], e)] |= 1u << bit;
                --remaining;
            }
            base += 32;
        }
    }
    int ncolors = 0;
    for (int b = 0; b < nblocks; ++b) ncolors = std::max(ncolors, blkcol[b] + 1);
    plan.ncolors = ncolors;
    plan.core_colors = 0;
    bool reduces = false;
    for (int m = 0; m < nargs; ++m)
        if (args[m].argtype == OP_ARG_GBL && args[m].acc != OP_READ) reduces = true;
    plan.owned_colors = (ninds > 0 && reduces) ? ncolors : 0;

    // Blocks ordered by colour, increasing block number within a colour.
    std::vector<int> ncolblk(ncolors > 0 ? ncolors : 1, 0), blkmap;
    for (int b = 0; b < nblocks; ++b) ncolblk[blkcol[b]] += 1;
    for (int c = 0; c < ncolors; ++c)
        for (int b = 0; b < nblocks; ++b)
            if (blkcol[b] == c) blkmap.push_back(b);
    plan.ncolblk = alloc_copy(ncolblk);
    plan.blkmap = alloc_copy(blkmap);

    // Transfer estimates: direct data once per element; per block, each indirect dataset's distinct targets (and
    // their local-map words), counted in bytes used and in whole cache lines; modified data counts twice.
    const double line = OP_cache_line_size > 0 ? OP_cache_line_size : 128;
    const long lineBytes = (long)line;
    const int lineShift = (lineBytes & (lineBytes - 1)) == 0 ? __builtin_ctzl(lineBytes) : -1;  // power of two
    // The cache line of a byte offset: a shift for the usual power-of-two line size, a division otherwise.
    const auto lineOf = [lineBytes, lineShift](long byte) {
        return lineShift >= 0 ? byte >> lineShift : byte / lineBytes;
    };
    double transfer = 0.0, transfer2 = 0.0, transferSoA = 0.0;
    for (int m = 0; m < nargs; ++m) {
        if (!args[m].opt || args[m].argtype != OP_ARG_DAT || args[m].map != nullptr) continue;
        const double bytes = (double)set->size * args[m].size * (args[m].acc == OP_READ ? 1 : 2);
        transfer += bytes;
        transfer2 += bytes;
        transferSoA += bytes;
    }
    std::vector<int> dsRep(ninds, -1);
    std::vector<bool> dsMod(ninds, false), dsRW(ninds, false);
    for (int m : indArgs) {
        if (dsRep[inds[m]] < 0) dsRep[inds[m]] = m;
        if (modifies(args[m].acc)) dsMod[inds[m]] = true;
        if (args[m].acc == OP_RW) dsRW[inds[m]] = true;
    }
    std::vector<double> sharedPerColor(ncolors > 0 ? ncolors : 1, 0.0);
    long references = 0, distinct = 0;
    references = (long)indArgs.size() * exec_length;
    // Datasets sharing a target list and element size have equal line counts: counted once per block.
    std::vector<long> linesOf(ninds), soaLinesOf(ninds);
    std::vector<int> sameLines(ninds, -1);
    for (int d = 0; d < ninds; ++d)
        for (int e = 0; e < d && dsRep[d] >= 0; ++e)
            if (dsRep[e] >= 0 && canon[e] == canon[d] && args[dsRep[e]].size == args[dsRep[d]].size &&
                args[dsRep[e]].dim == args[dsRep[d]].dim) {
                sameLines[d] = e;
                break;
            }
    const bool statistics = OP_diags > 1;  // the SoA estimate is only printed
    for (int b = 0; b < nblocks; ++b) {
        double shared = 0.0;
        for (int d = 0; d < ninds; ++d) {
            if (dsRep[d] < 0) continue;
            const op_arg& rep = args[dsRep[d]];
            const int n = indSizes[(size_t)b * ninds + d];
            const int* tl = plan.ind_maps[d] + indOffs[(size_t)b * ninds + d];
            const double factor = dsMod[d] ? 2.0 : 1.0;
            distinct += n;
            shared += (double)n * rep.size;
            transfer += factor * n * rep.size + (dsRW[d] ? 2.0 : 1.0) * 4.0 * n;
            if (sameLines[d] >= 0) {
                linesOf[d] = linesOf[sameLines[d]];
                soaLinesOf[d] = soaLinesOf[sameLines[d]];
            } else {
                // The list is sorted, so an element's last line is never before the previous element's: each
                // element adds the lines from its first one not yet counted to its last one.
                long lines = 0, prevLine = -1;
                const long sz = rep.size;
                if (lineBytes % sz == 0) {  // no element straddles two lines: count the distinct lines
                    for (int i = 0; i < n; ++i) {
                        const long l = lineOf(tl[i] * sz);
                        lines += l != prevLine;
                        prevLine = l;
                    }
                } else {
                    for (int i = 0; i < n; ++i) {
                        const long first = lineOf(tl[i] * sz);
                        const long lastL = lineOf((tl[i] + 1) * sz - 1);
                        lines += lastL - std::max(first, prevLine + 1) + 1;
                        prevLine = lastL;
                    }
                }
                linesOf[d] = lines;
                long soaLines = 0;
                if (statistics) {
                    const int comp = rep.dim > 0 ? rep.size / rep.dim : rep.size;
                    prevLine = -1;
                    for (int i = 0; i < n; ++i) {
                        const long l = (long)((double)tl[i] * comp / line);
                        if (l != prevLine) ++soaLines;
                        prevLine = l;
                    }
                }
                soaLinesOf[d] = soaLines;
            }
            transfer2 += factor * linesOf[d] * line + (dsRW[d] ? 2.0 : 1.0) * 4.0 * n;
            transferSoA += factor * soaLinesOf[d] * rep.dim * line + (dsRW[d] ? 2.0 : 1.0) * 4.0 * n;
        }
        sharedPerColor[blkcol[b]] = std::max(sharedPerColor[blkcol[b]], shared);
    }
    plan.transfer = (float)transfer;
    plan.transfer2 = (float)transfer2;

    if (OP_diags > 1) {
        printf(" number of blocks       = %d \n", nblocks);
        printf(" number of block colors = %d \n", ncolors);
        printf(" maximum block size     = %d \n", plan.max_block);
        printf(" average thread colors  = %.2f \n", nblocks > 0 ? (double)totalThreadColors / nblocks : 0.0);
        printf(" shared memory required = ");
        for (int c = 0; c < ncolors - 1; ++c) printf(" %.2f KB,", sharedPerColor[c] / 1024.0);
        printf(" %.2f KB\n", ncolors > 0 ? sharedPerColor[ncolors - 1] / 1024.0 : 0.0);
        printf(" average data reuse     = %.2f \n", distinct > 0 ? (double)references / distinct : 0.0);
        printf(" data transfer (used)   = %.2f MB \n", transfer * 9.536743e-7);
        printf(" data transfer (total)  = %.2f MB \n", transfer2 * 9.536743e-7);
        printf(" SoA/AoS transfer ratio = %.2f \n\n", transfer2 > 0.0 ? transferSoA / transfer2 : 1.0);
    }

    // The self-check walks every table again (about a tenth of the plan time); it runs at diagnostics level 2 and up.
    if (OP_diags > 1) op_plan_check(plan, ninds, inds);

    op_timers_core(&cpu_t2, &wall_t2);
    const double elapsed = wall_t2 - wall_t1;
    OP_plan_time += elapsed;
    for (int k = 0; k < OP_kern_max; ++k) {
        if (OP_kernels[k].name != nullptr && strcmp(OP_kernels[k].name, name) == 0) {
            OP_kernels[k].plan_time += (float)elapsed;
            break;
        }
    }
    return &plan;
}

op_plan* op_plan_get(const char* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds)
{
    return op_plan_core(name, set, part_size, nargs, args, ninds, inds, 2);
}

op_plan* op_plan_get_stage(const char* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds,
                           int staging)
{
    return op_plan_core(name, set, part_size, nargs, args, ninds, inds, staging);
}

op_plan* op_plan_get_stage_upload(const char* name, op_set set, int part_size, int nargs, op_arg* args, int ninds,
                                  int* inds, int staging, int upload)
{
    (void)upload;
    return op_plan_core(name, set, part_size, nargs, args, ninds, inds, staging);
}

void op_plan_check(op_plan const& plan, int ninds, int* inds)
{
    const bool verbose = OP_diags >= 7;
    const int nblocks = plan.nblocks;

    long total = 0;
    for (int b = 0; b < nblocks; ++b) total += plan.nelems[b];
    if (total != plan.exec_length)
        printf(" *** OP_plan_check: nelems error \n");
    else if (verbose)
        printf(" *** OP_plan_check: nelems   OK \n");

    bool ok = true;
    long running = 0;
    for (int b = 0; b < nblocks; ++b) {
        if (plan.offset[b] != running) ok = false;
        running += plan.nelems[b];
    }
    if (!ok)
        printf(" *** OP_plan_check: offset error \n");
    else if (verbose)
        printf(" *** OP_plan_check: offset   OK \n");

    std::vector<int> seen(nblocks > 0 ? nblocks : 1, 0);
    ok = true;
    long listed = 0;
    for (int c = 0; c < plan.ncolors; ++c) listed += plan.ncolblk[c];
    if (listed != nblocks) ok = false;
    for (long i = 0; ok && i < listed; ++i) {
        const int b = plan.blkmap[i];
        if (b < 0 || b >= nblocks || seen[b]++) ok = false;
    }
    if (!ok)
        printf(" *** OP_plan_check: blkmap error \n");
    else if (verbose)
        printf(" *** OP_plan_check: blkmap   OK \n");

    ok = true;
    for (int d = 0; d < ninds; ++d) {
        long run = 0;
        for (int b = 0; b < nblocks; ++b) {
            if (plan.ind_offs[(size_t)b * ninds + d] != run) ok = false;
            run += plan.ind_sizes[(size_t)b * ninds + d];
        }
    }
    if (!ok)
        printf(" *** OP_plan_check: ind_offs error \n");
    else if (verbose)
        printf(" *** OP_plan_check: ind_offs OK \n");

    // Each block's list strictly increasing and inside the target set.
    ok = true;
    for (int d = 0; d < ninds; ++d) {
        int rep = -1;
        for (int m = 0; m < plan.nargs; ++m)
            if (inds[m] == d && plan.loc_maps[m] != nullptr) rep = m;
        const int limit = rep >= 0 ? op_local_extent(plan.dats[rep]->set) : 0;
        for (int b = 0; b < nblocks; ++b) {
            const int* tl = plan.ind_maps[d] + plan.ind_offs[(size_t)b * ninds + d];
            const int n = plan.ind_sizes[(size_t)b * ninds + d];
            for (int i = 0; i < n; ++i)
                if (tl[i] < 0 || tl[i] >= limit || (i > 0 && tl[i] <= tl[i - 1])) ok = false;
        }
    }
    if (!ok)
        printf(" *** OP_plan_check: ind_maps error \n");
    else if (verbose)
        printf(" *** OP_plan_check: ind_maps OK \n");

    // Every local map entry leads back to the element's true target.
    int errors = 0;
    for (int m = 0; m < plan.nargs; ++m) {
        if (plan.loc_maps[m] == nullptr) continue;
        const int d = inds[m];
        const op_map map = plan.maps[m];
        for (int b = 0; b < nblocks; ++b) {
            const int* tl = plan.ind_maps[d] + plan.ind_offs[(size_t)b * ninds + d];
            const int n = plan.ind_sizes[(size_t)b * ninds + d];
            for (int e = plan.offset[b]; e < plan.offset[b] + plan.nelems[b]; ++e) {
                const int loc = plan.loc_maps[m][e];
                if (loc >= n || tl[loc] != map->map[(size_t)e * map->dim + plan.idxs[m]]) ++errors;
            }
        }
    }
    if (errors != 0)
        printf(" *** OP_plan_check: %d maps error(s) \n", errors);
    else if (verbose)
        printf(" *** OP_plan_check: maps     OK \n");
}

void op_rt_exit()
{
    for (int ip = 0; ip < OP_plan_index; ++ip) {
        op_plan& p = OP_plans[ip];
        op_free(p.ind_maps);  // the lists, local maps and element colours belong to the pool
        op_free(p.loc_maps);
        op_free(p.dats);
        op_free(p.maps);
        op_free(p.idxs);
        op_free(p.accs);
        op_free(p.inds);
        op_free(p.optflags);
        op_free(p.ind_offs);
        op_free(p.ind_sizes);
        op_free(p.offset);
        op_free(p.nelems);
        op_free(p.nthrcol);
        op_free(p.blkmap);
        op_free(p.ncolblk);
    }
    op_free(OP_plans);
    free_pool();
    OP_plans = nullptr;
    OP_plan_index = 0;
    OP_plan_max = 0;
}
