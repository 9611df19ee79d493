// Execution plans: the loop set cut into blocks, blocks coloured so that blocks of one colour never modify the same
// element through a map; built on a loop's first call and cached until op_exit.
#pragma once

#include "op/op_lib_core.h"

/// One execution plan (one per distinct loop configuration). Tables are allocated with malloc, freed by op_rt_exit.
struct op_plan {
    char const* name;  ///< loop name (the caller's string, not owned)
    op_set set;        ///< loop set
    int nargs;         ///< expanded argument count
    int ninds;         ///< number of indirect datasets
    int part_size;     ///< requested block size (0 = default)
    int staging;       ///< staging mode the plan was built with

    op_dat* dats;     ///< per argument: data (null for globals)
    op_map* maps;     ///< per argument: map (null when direct)
    int* idxs;        ///< per argument: map column
    op_access* accs;  ///< per argument: access mode
    int* inds;        ///< per argument: indirect dataset number, -1 direct/global
    int* optflags;    ///< per argument: in use

    // The per-element tables (ind_maps[d], loc_maps[m], thrcol) are read-only after planning and may be shared:
    // datasets reached through the same map columns share one list, arguments through the same column one local
    // map, and equal tables of different plans are stored once. They belong to the planner's pool, freed by op_rt_exit.
    int** ind_maps;             ///< per indirect dataset: concatenated per-block lists of distinct target elements
    int* ind_offs;              ///< [block * ninds + dataset]: start of the block's list in ind_maps[dataset]
    int* ind_sizes;             ///< [block * ninds + dataset]: length of that list
    unsigned short** loc_maps;  ///< per argument (null unless indirect): position of each element's target in its list

    int* offset;       ///< first element of each block
    int* nelems;       ///< elements of each block
    int nblocks;       ///< number of blocks
    int* nthrcol;      ///< element colours of each block
    int* thrcol;       ///< colour of each element within its block
    int* blkmap;       ///< block numbers ordered by colour, increasing within a colour
    int* ncolblk;      ///< blocks of each colour (ncolors entries)
    int ncolors;       ///< number of block colours
    int core_colors;   ///< 0 in a single-process run
    int owned_colors;  ///< ncolors when the loop is indirect and reduces a global, else 0
    int exec_length;   ///< elements covered (set size, plus imported executed elements when written through a map)
    int max_block;     ///< largest block length

    float transfer;   ///< estimated bytes per call (used)
    float transfer2;  ///< estimated bytes per call in whole cache lines
    int count;        ///< times handed out (1 when built)
};

/// Staging modes: 1 only incremented indirect data sizes the blocks, 2 and 3 all indirect data, 4 one block.
op_plan* op_plan_core(char const* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds,
                      int staging);
op_plan* op_plan_get(char const* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds);
op_plan* op_plan_get_stage(char const* name, op_set set, int part_size, int nargs, op_arg* args, int ninds, int* inds,
                           int staging);
op_plan* op_plan_get_stage_upload(char const* name, op_set set, int part_size, int nargs, op_arg* args, int ninds,
                                  int* inds, int staging, int upload);
/// Self-check of a plan; prints the finding lines (OK lines only at diagnostics level 7 and above).
void op_plan_check(op_plan const& plan, int ninds, int* inds);
/// Frees every plan and resets the plan registry.
void op_rt_exit();
