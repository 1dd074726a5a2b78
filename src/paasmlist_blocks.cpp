// The abstraction's debug page: with -d and -l, the blocks before and after
// their preparation, after the search, and the two aggregation lists, each
// on pages of its own. An aggregation's line carries a rough estimate of the
// words it saves (each use beyond the first saves its body, calls cost one
// word each, a closed body its return), totalled under the column.
#include "paasmlist.h"
#include "paasmpa_opt.h"

namespace {

int32_t pa_body_words(const PaBlock* block) {
    int32_t words = 0;
    for (const PaInstruction* record = block->first; record != nullptr; record = record->next) words += record->size;
    return words;
}

int32_t pa_estimated_saving(const PaBlock* block) {
    const int32_t again = block->uses - 1;
    int32_t saved = 0;
    for (const PaInstruction* record = block->first; record != nullptr; record = record->next) {
        saved += again * record->size;
        if (record->encoding.word == PA_CALL_WORD) {
            if (const PaBlock* callee = pa_find_aggregation(record->encoding.operand); callee != nullptr)
                saved += again * pa_body_words(callee);
        }
    }
    saved -= block->uses;
    if ((block->flags & BLOCK_OPENED) == 0) saved -= 1;
    return saved;
}

}  // namespace

void lst_dump_blocks(const PaBlockList& list, const char* title) {
    lst_new_page(title);
    int32_t total = 0;
    for (const PaBlock* block = list.head; block != nullptr; block = block->next) {
        const int id = static_cast<int>(block->id);
        const auto first = static_cast<unsigned>(block->first_line);
        const auto last = static_cast<unsigned>(block->last_line);
        if (block->uses <= 1) {
            lst_printf("[%4d] Lines (%5u ... %5u)\t%5i opcodes\n", id, first, last, block->count);
            continue;
        }
        const int32_t saved = pa_estimated_saving(block);
        total += saved;
        lst_printf("[%4d] Lines (%5u ... %5u)\t%5i opcodes, %5i uses, ~%5i words saved\n", id, first, last,
                   block->count, block->uses, saved);
    }
    if (total != 0) lst_printf("%58c ~%5i words saved\n", ' ', total);
}
