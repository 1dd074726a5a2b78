// List scheduling: every block recorded in pass 2 gets a dependence graph
// over its instructions (the closing branch is not part of it) and is
// ordered by the greatest height first, available instructions before
// those still waiting for a latency, and the lowest instruction ordinal
// among equals, so that a block without reasons to move keeps its order.
//
// Two instructions depend on each other when their architectural masks
// overlap in a read after write, a write after read or a write after write;
// the dependence costs a cycle when the first writes a register that the
// second uses as an address pointer. Every earlier dependent instruction
// counts, not only the nearest, so a block of n instructions can have n*n/2
// dependences; the scheduler never lists them. It keeps, per resource, the
// instructions that touch it in program order. The writers of a resource
// follow each other in the schedule as in the program, so an instruction
// waits only for the last writer before it of each resource it touches,
// and, for each resource it writes, for the readers since that writer. Each
// of these conditions is one count; an instruction becomes ready when its
// last condition is met, which happens exactly when its last predecessor is
// scheduled, and the instructions made ready by one choice join the ready
// list in program order, as successors would. Heights come from the
// greatest height so far among the later readers and writers of each
// resource. The explicit edges are built for the debug page, and for the
// heights of a block whose hazard pairs name resources outside the
// architectural pairs.
#include "paasmis_dag.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "paasmdriver.h"
#include "paasmis_fill.h"
#include "paasmpool.h"

namespace {

// The edge, successor and predecessor lists go once their block is done.
void forget_graph_lists(SchedDag* dag) {
    for (SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) {
        node->edges = {};
        node->successors = {};
        node->predecessors = {};
    }
    dag->resources = nullptr;
}

// Links `item` at the end of a chain.
template <class T>
void chain_append(SchedChain<T>& chain, T* item) {
    if (chain.tail == nullptr)
        chain.head = item;
    else
        chain.tail->next = item;
    chain.tail = item;
    chain.count += 1;
}

SchedNode* sched_dag_add_node(SchedChain<SchedNode>& chain, SchedInstruction* instruction) {
    auto* node = static_cast<SchedNode*>(pool_zalloc(sizeof(SchedNode), POOL_RUN));
    node->instruction = instruction;
    chain_append(chain, node);
    return node;
}

void sched_add_edge(SchedChain<SchedEdge>& chain, SchedNode* from, SchedNode* to) {
    auto* edge = static_cast<SchedEdge*>(pool_zalloc(sizeof(SchedEdge), POOL_SCRATCH));
    edge->from = from;
    edge->to = to;
    edge->latency = static_cast<uint32_t>(sched_edge_latency(from->instruction, to->instruction));
    chain_append(chain, edge);
}

}  // namespace

// ---- Dependence tests -------------------------------------------------------------

int sched_depends(const SchedInstruction* a, const SchedInstruction* b) {
    return ((a->arch.defs & b->arch.uses) | (a->arch.uses & b->arch.defs) | (a->arch.defs & b->arch.defs)) != 0;
}

int sched_depends_except_flags(const SchedInstruction* a, const SchedInstruction* b) {
    uint32_t overlap = (a->arch.defs & b->arch.uses) | (a->arch.uses & b->arch.defs) | (a->arch.defs & b->arch.defs);
    return (overlap & ~RES_STATUS) != 0;
}

int sched_edge_latency(const SchedInstruction* a, const SchedInstruction* b) {
    return (a->hazard.defs & b->hazard.uses) != 0;
}

// ---- Pointer lists -----------------------------------------------------------------

void sched_list_append(SchedPtrList& list, SchedNode* pointer, int pool) {
    auto* item = static_cast<SchedPtrItem*>(pool_alloc(sizeof(SchedPtrItem), pool));
    item->next = nullptr;
    item->pointer = pointer;
    chain_append(list, item);
}

// ---- The graph ---------------------------------------------------------------------

struct SchedResourceIndex {
    int32_t count;
    SchedNode** node_of;  // by program position
    // Per resource: the nodes that touch it, in program order, whether each
    // writes it, and at a writer the readers since the writer before it
    // that are not yet scheduled, at a reader the position of the next
    // writer (-1 for none).
    int32_t length[SCHED_RESOURCE_COUNT];
    int32_t* touchers[SCHED_RESOURCE_COUNT];
    uint8_t* writes[SCHED_RESOURCE_COUNT];
    int32_t* remaining[SCHED_RESOURCE_COUNT];
    int32_t* next_writer[SCHED_RESOURCE_COUNT];
    // Per node, its places in those lists: entries entry_start[i] to
    // entry_start[i+1]-1.
    int32_t* entry_start;
    uint8_t* entry_resource;
    int32_t* entry_position;
    bool hazard_within_arch;  // every hazard pair lies within its architectural pair
    bool edges_built;
};

namespace {

template <class T>
T* scratch_array(int32_t count) {
    return pool_new_array<T>(static_cast<size_t>(count > 0 ? count : 1), POOL_SCRATCH);
}

uint32_t touched(const SchedInstruction* instruction) { return instruction->arch.defs | instruction->arch.uses; }

// Every condition unmet again: the readers of each interval unscheduled,
// and each node's count of conditions.
void reset_conditions(SchedResourceIndex* index) {
    for (int32_t i = 0; i < index->count; ++i) index->node_of[i]->waiting = 0;
    for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
        int32_t readers = 0;
        bool writer_seen = false;
        for (int32_t k = 0; k < index->length[r]; ++k) {
            SchedNode* node = index->node_of[index->touchers[r][k]];
            if (writer_seen) node->waiting += 1;  // the last writer before it
            if (index->writes[r][k] != 0) {
                index->remaining[r][k] = readers;
                if (readers > 0) node->waiting += 1;  // the readers since that writer
                readers = 0;
                writer_seen = true;
            } else {
                readers += 1;
            }
        }
    }
}

SchedResourceIndex* build_resource_index(SchedDag* dag) {
    auto* index = static_cast<SchedResourceIndex*>(pool_zalloc(sizeof(SchedResourceIndex), POOL_SCRATCH));
    const int32_t count = dag->nodes.count;
    index->count = count;
    index->node_of = scratch_array<SchedNode*>(count);
    index->entry_start = scratch_array<int32_t>(count + 1);
    index->hazard_within_arch = true;
    int32_t entries = 0;
    int32_t position = 0;
    for (SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) {
        const SchedInstruction* instruction = node->instruction;
        node->index = position;
        index->node_of[position] = node;
        index->entry_start[position] = entries;
        position += 1;
        const uint32_t mask = touched(instruction);
        entries += std::popcount(mask);
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r)
            if ((mask >> r) & 1u) index->length[r] += 1;
        if ((instruction->hazard.defs & ~instruction->arch.defs) != 0 ||
            (instruction->hazard.uses & ~instruction->arch.uses) != 0)
            index->hazard_within_arch = false;
    }
    index->entry_start[count] = entries;
    index->entry_resource = scratch_array<uint8_t>(entries);
    index->entry_position = scratch_array<int32_t>(entries);
    for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
        index->touchers[r] = scratch_array<int32_t>(index->length[r]);
        index->writes[r] = scratch_array<uint8_t>(index->length[r]);
        index->remaining[r] = scratch_array<int32_t>(index->length[r]);
        index->next_writer[r] = scratch_array<int32_t>(index->length[r]);
    }
    int32_t filled[SCHED_RESOURCE_COUNT] = {};
    for (int32_t i = 0; i < count; ++i) {
        const SchedInstruction* instruction = index->node_of[i]->instruction;
        const uint32_t mask = touched(instruction);
        int32_t entry = index->entry_start[i];
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
            if (((mask >> r) & 1u) == 0) continue;
            const int32_t k = filled[r]++;
            index->touchers[r][k] = i;
            index->writes[r][k] = static_cast<uint8_t>((instruction->arch.defs >> r) & 1u);
            index->entry_resource[entry] = static_cast<uint8_t>(r);
            index->entry_position[entry] = k;
            entry += 1;
        }
    }
    for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
        int32_t next = -1;
        for (int32_t k = index->length[r] - 1; k >= 0; --k) {
            index->next_writer[r][k] = next;
            if (index->writes[r][k] != 0) next = k;
        }
    }
    reset_conditions(index);
    return index;
}

// One condition of `node` met; a node whose last one it was is collected.
void condition_met(SchedNode* node, std::vector<SchedNode*>& ready_now) {
    node->waiting -= 1;
    if (node->waiting == 0) ready_now.push_back(node);
}

// The conditions that scheduling `node` meets: for each resource it writes,
// the nodes for which it is the last writer before them; for each resource
// it only reads, the next writer once all the readers before it are done.
void release_dependents(const SchedResourceIndex* index, const SchedNode* node, std::vector<SchedNode*>& ready_now) {
    const int32_t i = node->index;
    for (int32_t entry = index->entry_start[i]; entry < index->entry_start[i + 1]; ++entry) {
        const int r = index->entry_resource[entry];
        const int32_t k = index->entry_position[entry];
        if (index->writes[r][k] != 0) {
            for (int32_t j = k + 1; j < index->length[r]; ++j) {
                condition_met(index->node_of[index->touchers[r][j]], ready_now);
                if (index->writes[r][j] != 0) break;
            }
        } else {
            const int32_t writer = index->next_writer[r][k];
            if (writer >= 0 && --index->remaining[r][writer] == 0)
                condition_met(index->node_of[index->touchers[r][writer]], ready_now);
        }
    }
}

// Heights over the resources, from the last node to the first: the
// greatest height among the later nodes that touch, write, or use as a
// pointer each resource.
void heights_by_resource(SchedDag* dag) {
    int32_t touch_max[SCHED_RESOURCE_COUNT] = {};
    int32_t write_max[SCHED_RESOURCE_COUNT] = {};
    int32_t pointer_max[SCHED_RESOURCE_COUNT] = {};
    for (int32_t i = 0; i < dag->nodes.count; ++i) {
        SchedNode* node = dag->node_array[i];
        const SchedInstruction* instruction = node->instruction;
        int32_t below = 0;    // greatest height among the successors
        int32_t latency = 0;  // greatest among those a cycle away
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
            const uint32_t bit = 1u << r;
            if ((instruction->arch.defs & bit) != 0) below = std::max(below, touch_max[r]);
            if ((instruction->arch.uses & bit) != 0) below = std::max(below, write_max[r]);
            if ((instruction->hazard.defs & bit) != 0) latency = std::max(latency, pointer_max[r]);
        }
        int32_t height = std::max(1, below);
        if (latency > 0) height = std::max(height, latency + 1);
        node->height = height;
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
            const uint32_t bit = 1u << r;
            if (((instruction->arch.defs | instruction->arch.uses) & bit) != 0)
                touch_max[r] = std::max(touch_max[r], height);
            if ((instruction->arch.defs & bit) != 0) write_max[r] = std::max(write_max[r], height);
            if ((instruction->hazard.uses & bit) != 0) pointer_max[r] = std::max(pointer_max[r], height);
        }
    }
}

void heights_by_edges(SchedDag* dag) {
    for (int32_t i = 0; i < dag->nodes.count; ++i) {
        SchedNode* node = dag->node_array[i];
        int32_t height = 1;
        bool any = false;
        for (SchedEdge* edge = node->edges.head; edge != nullptr; edge = edge->next) {
            int32_t through = static_cast<int32_t>(edge->latency) + edge->to->height;
            if (!any || through > height) height = through;
            any = true;
        }
        node->height = height;
    }
}

}  // namespace

bool sched_branch_in_shadow(const SchedBlock* block) {
    return block->branch != nullptr && block->branch->shadow != 0 && block->last != nullptr &&
           block->last->merged_line == 0;
}

bool sched_branch_is_delayed_form(const SchedBlock* block) {
    return block->branch != nullptr && block->branch->delayed_form != 0;
}

int32_t sched_source_slot_count(const SchedBlock* block) {
    const SchedInstruction* branch = block->delayed_before;
    if (branch == nullptr || block->first == nullptr) return 0;
    // The slots are the instructions right after the branch.
    if (block->first->ordinal != branch->ordinal + 1) return 0;
    int32_t count = 0;
    int32_t filled = 0;
    for (const SchedInstruction* item = block->first; item != nullptr && filled < branch->slots; item = item->next) {
        filled += item->slots > 1 ? item->slots : 1;
        count += 1;
    }
    return count;
}

SchedDag* sched_build_dag(SchedBlock* block) {
    auto* dag = static_cast<SchedDag*>(pool_zalloc(sizeof(SchedDag), POOL_RUN));
    for (SchedInstruction* instruction = block->first; instruction != nullptr; instruction = instruction->next)
        sched_dag_add_node(dag->nodes, instruction);
    dag->resources = build_resource_index(dag);
    // The nodes that depend on no earlier node, in program order.
    for (SchedNode* node = dag->nodes.head; node != nullptr; node = node->next)
        if (node->waiting == 0) sched_list_append(dag->roots, node, POOL_RUN);

    // Reverse program order: the order in which heights are computed.
    const int32_t count = dag->nodes.count;
    dag->node_array = pool_new_array<SchedNode*>(static_cast<size_t>(count > 0 ? count : 1), POOL_RUN);
    for (int32_t i = 0; i < count; ++i) dag->node_array[i] = dag->resources->node_of[count - 1 - i];

    if (sched_branch_in_shadow(block) && dag->nodes.tail != nullptr && dag->nodes.tail->instruction == block->last)
        dag->held = dag->nodes.tail;
    return dag;
}

void sched_build_edges(SchedDag* dag) {
    if (dag->resources != nullptr) {
        if (dag->resources->edges_built) return;
        dag->resources->edges_built = true;
    }
    for (SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) {
        // Each earlier node it depends on, in program order: the edge goes
        // to the earlier node's chain, which so stays in the order of the
        // later ends.
        for (SchedNode* earlier = dag->nodes.head; earlier != node; earlier = earlier->next) {
            if (sched_depends(earlier->instruction, node->instruction) == 0) continue;
            sched_add_edge(earlier->edges, earlier, node);
            sched_list_append(earlier->successors, node, POOL_SCRATCH);
            sched_list_append(node->predecessors, earlier, POOL_SCRATCH);
        }
    }
}

void sched_compute_heights(SchedDag* dag) {
    if (dag->resources != nullptr && dag->resources->hazard_within_arch) {
        heights_by_resource(dag);
        return;
    }
    sched_build_edges(dag);
    heights_by_edges(dag);
}

void sched_list_schedule(SchedDag* dag) {
    SchedResourceIndex* index = dag->resources;
    dag->counter = 0;
    dag->schedule = {};
    sched_compute_heights(dag);
    reset_conditions(index);
    for (SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) node->earliest = 0;

    // The ready list, by height and then by ordinal and the order in which
    // the nodes joined it: the first node of the greatest height whose
    // earliest cycle has come is the choice, else the first of that height.
    // A node waits for its cycle at most one choice long, so the nodes
    // passed over stay few.
    struct ReadyKey {
        int32_t ordinal;
        int32_t joined;
        SchedNode* node;
        bool operator<(const ReadyKey& other) const {
            return ordinal != other.ordinal ? ordinal < other.ordinal : joined < other.joined;
        }
    };
    std::map<int32_t, std::set<ReadyKey>> ready;
    std::vector<int32_t> joined_at(static_cast<size_t>(dag->nodes.count));
    int32_t ready_count = 0;
    int32_t joined = 0;
    auto join = [&](SchedNode* node) {
        joined_at[static_cast<size_t>(node->index)] = joined;
        ready[node->height].insert(ReadyKey{node->instruction->ordinal, joined++, node});
        ready_count += 1;
    };
    for (SchedPtrItem* item = dag->roots.head; item != nullptr; item = item->next) join(item->pointer);

    std::vector<SchedNode*> ready_now;
    while (ready_count > 0) {
        auto highest = std::prev(ready.end());
        std::set<ReadyKey>::iterator chosen;
        if (dag->counter < dag->pinned) {
            // The next pinned node: it can depend only on the pinned nodes
            // before it, which are scheduled, so it is ready.
            SchedNode* next = index->node_of[dag->counter];
            highest = ready.find(next->height);
            chosen = highest->second.find(
                ReadyKey{next->instruction->ordinal, joined_at[static_cast<size_t>(next->index)], next});
        } else {
            std::set<ReadyKey>& candidates = highest->second;
            chosen = candidates.end();
            auto first = candidates.end();
            for (auto it = candidates.begin(); it != candidates.end(); ++it) {
                // A held skip counts only when nothing else is ready.
                if (it->node == dag->held && ready_count > 1) continue;
                if (first == candidates.end()) first = it;
                if (it->node->earliest <= dag->counter) {
                    chosen = it;
                    break;
                }
            }
            if (chosen == candidates.end()) chosen = first;
        }
        std::set<ReadyKey>& candidates = highest->second;
        SchedNode* node = chosen->node;
        candidates.erase(chosen);
        if (candidates.empty()) ready.erase(highest);
        ready_count -= 1;

        sched_list_append(dag->schedule, node, POOL_RUN);
        dag->counter += 1;
        // The nodes whose last predecessor this was join the ready list in
        // program order, each available a cycle later when it uses as a
        // pointer what the chosen node writes.
        ready_now.clear();
        release_dependents(index, node, ready_now);
        std::sort(ready_now.begin(), ready_now.end(),
                  [](const SchedNode* a, const SchedNode* b) { return a->index < b->index; });
        for (SchedNode* successor : ready_now) {
            int32_t earliest = dag->counter + sched_edge_latency(node->instruction, successor->instruction);
            successor->earliest = node->earliest > earliest ? node->earliest : earliest;
            join(successor);
        }
    }
}

void sched_schedule_blocks() {
    const bool dump = (option_flags & OPT_DEBUG_LISTING) != 0 && (option_flags & OPT_LISTING) != 0;
    for (SchedBlock* block = schedule_block_list; block != nullptr; block = block->next) {
        SchedDag* dag = sched_build_dag(block);
        block->dag = dag;
        dag->pinned = sched_source_slot_count(block);
        sched_list_schedule(dag);
        sched_fill_delay_slots(block);
        if (dump) {
            sched_build_edges(dag);
            lst_dump_dag(block);
        }
        forget_graph_lists(dag);
        pool_release(POOL_SCRATCH);
    }
}
