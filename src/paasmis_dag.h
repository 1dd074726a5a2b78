// Instruction scheduling after pass 2: the dependence graph of each
// scheduling block, the list scheduler that orders it, and the writer of
// the scheduled source. The delay-slot filler is in paasmis_fill.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "paasmis.h"

struct SchedNode;

// The bits of a resource mask: one per resource.
constexpr int SCHED_RESOURCE_COUNT = 32;

// A chain of records appended at the tail (nodes, edges, pointer items).
template <class T>
struct SchedChain {
    T* head = nullptr;
    T* tail = nullptr;
    int32_t count = 0;
};

// A list of node pointers.
struct SchedPtrItem {
    SchedPtrItem* next;
    SchedNode* pointer;
};
using SchedPtrList = SchedChain<SchedPtrItem>;

// A dependence of `to` on the earlier `from`, which owns the edge.
struct SchedEdge {
    SchedEdge* next;
    SchedNode* from;
    SchedNode* to;
    uint32_t latency;  // 0, or 1 when `from` writes an address pointer of `to`
};

struct SchedNode {
    SchedNode* next;  // program order
    SchedInstruction* instruction;
    int32_t earliest;  // the cycle from which it is available
    int32_t height;    // priority: the latency-weighted chain below it, plus one
    SchedChain<SchedEdge> edges;
    SchedPtrList successors;
    SchedPtrList predecessors;
    int32_t index;    // program position in the block
    int32_t waiting;  // dependences on instructions not yet scheduled
};

struct SchedResourceIndex;

struct SchedDag {
    int32_t counter;  // instructions scheduled so far
    SchedChain<SchedNode> nodes;
    SchedPtrList roots;
    SchedPtrList schedule;
    SchedNode** node_array;  // reverse program order
    // A skip whose shadow holds the block's branch: it stays last.
    SchedNode* held;
    // How many of the first nodes stay first, in program order, and never
    // move into delay slots: the slot instructions of a branch that the
    // source wrote in its delayed form just before the block.
    int32_t pinned;
    // Per resource, the nodes that touch it: what makes a node ready
    // (scratch, for the time the block is scheduled).
    SchedResourceIndex* resources;
};

// ---- Graph and list scheduling ----------------------------------------------

void sched_schedule_blocks();
SchedDag* sched_build_dag(SchedBlock* block);
// The edges and the successor and predecessor lists of every node. The
// scheduler itself needs them only where a hazard pair names resources
// the architectural pair does not; the debug page always shows them.
void sched_build_edges(SchedDag* dag);
void sched_list_schedule(SchedDag* dag);
void sched_compute_heights(SchedDag* dag);

int sched_depends(const SchedInstruction* a, const SchedInstruction* b);
int sched_depends_except_flags(const SchedInstruction* a, const SchedInstruction* b);
int sched_edge_latency(const SchedInstruction* a, const SchedInstruction* b);

// Appends `pointer`, which the caller knows the list does not hold.
void sched_list_append(SchedPtrList& list, SchedNode* pointer, int pool);

// Whether the block's branch stands in the shadow of its last instruction
// (a skip), and whether the source wrote it in its delayed form already.
bool sched_branch_in_shadow(const SchedBlock* block);
bool sched_branch_is_delayed_form(const SchedBlock* block);
// How many of the block's first instructions fill the delay slots of the
// delayed-form branch that the source wrote right before it (0 when there
// is none, or when an instruction of another section came between).
int32_t sched_source_slot_count(const SchedBlock* block);

// ---- Scheduled-source writer -------------------------------------------------

extern FILE* scheduled_output_file;
extern int32_t last_printed_line;

void sched_write_output(const std::string& source_name, std::string& output_name);
void sched_open_output(const std::string& source_name, std::string& output_name);
void sched_close_output();
void sched_write_blocks();
int32_t sched_write_instruction(int32_t cursor, char prefix, const SchedBlock* block, const SchedInstruction* instruction);
int32_t sched_write_lines_through(int32_t cursor, char prefix, const SchedBlock* block, int32_t line);
int sched_is_scheduled_line(int32_t line, const SchedBlock* block);
void sched_write_source_line(int32_t line, char prefix);
void sched_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where the mnemonic of a source line starts: past the blanks and any
// labels before it. The line's length when it has none.
size_t sched_mnemonic_offset(const char* line);
// Whether the line's mnemonic is already a delayed branch form.
bool sched_line_has_delayed_form(const char* line);

// ---- Debug page ------------------------------------------------------------------

// The block's graph and schedule in the listing (with -d and -l).
void lst_dump_dag(const SchedBlock* block);
