// The scheduler's debug page: with -d and -l, one group of pages per block
// after it is scheduled and filled, showing the graph's roots, every node
// with its edges, successors and predecessors, the order in which heights
// were computed, and the schedule with the instructions that moved into
// delay slots. The block's branch is not part of the graph and is not shown.
#include <cstdio>

#include "paasmis_dag.h"
#include "paasmlist.h"

namespace {

unsigned long mask(uint32_t value) { return static_cast<unsigned long>(value); }

// "[line] A.Def=..., A.Use=..., H.Def=..., H.Use=..." for the start of a
// line; the listing counts a line per print, so each line is one print.
struct MaskText {
    char text[96];
};

MaskText masks_of(const SchedInstruction* instruction) {
    MaskText masks;
    std::snprintf(masks.text, sizeof masks.text, "[%02d] A.Def=%08lx, A.Use=%08lx, H.Def=%08lx, H.Use=%08lx",
                  static_cast<int>(instruction->line), mask(instruction->arch.defs), mask(instruction->arch.uses),
                  mask(instruction->hazard.defs), mask(instruction->hazard.uses));
    return masks;
}

}  // namespace

void lst_dump_dag(const SchedBlock* block) {
    const SchedDag* dag = block->dag;
    if (dag == nullptr) return;
    lst_new_page("Scheduler DAG");

    lst_printf("\n");
    lst_printf("DAG Roots:\n");
    for (const SchedPtrItem* item = dag->roots.head; item != nullptr; item = item->next) {
        lst_printf("%s\n", masks_of(item->pointer->instruction).text);
    }

    lst_printf("\n");
    lst_printf("DAG Nodes:\n");
    for (const SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) {
        lst_printf("%s, Delay=%d\n", masks_of(node->instruction).text, static_cast<int>(node->height));
        for (const SchedEdge* edge = node->edges.head; edge != nullptr; edge = edge->next)
            lst_printf("\tEdge: [%02d]->[%02d] @ %d\n", edge->from->instruction->line, edge->to->instruction->line,
                       static_cast<int>(edge->latency));
        for (const SchedPtrItem* item = node->successors.head; item != nullptr; item = item->next)
            lst_printf("\tSucc: [%02d]\n", item->pointer->instruction->line);
        for (const SchedPtrItem* item = node->predecessors.head; item != nullptr; item = item->next)
            lst_printf("\tPred: [%02d]\n", item->pointer->instruction->line);
    }

    lst_printf("\n");
    lst_printf("DAG Postorder:\n");
    for (int32_t i = 0; i < dag->nodes.count; ++i) {
        lst_printf("%s\n", masks_of(dag->node_array[i]->instruction).text);
    }

    lst_printf("\n");
    lst_printf("DAG Schedule:\n");
    for (const SchedPtrItem* item = dag->schedule.head; item != nullptr; item = item->next) {
        const SchedInstruction* instruction = item->pointer->instruction;
        const char* slot = instruction == block->first_slot    ? ", Slot=1"
                           : instruction == block->second_slot ? ", Slot=2"
                                                               : "";
        lst_printf("%s%s\n", masks_of(instruction).text, slot);
    }
}
