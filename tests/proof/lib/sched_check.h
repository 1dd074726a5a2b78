// Checks that a scheduled source (-s, -b) is the original program in
// another order. The checks read the two texts only: they cut the lines
// as the program's reader does, read each statement with their own small
// model of the instruction set (resources written and read, delay-slot
// sizes, which instructions skip or repeat the next one), and never call
// the program's tables or encoders, so that agreement with the program
// proves something.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The scheduled text `scheduled` holds every line of `original` exactly
// once, with the annotation the writer puts after it; a branch whose delay
// slots were filled is written in its delayed form; nothing else is added
// but nop lines after a filled two-slot branch. No two instructions whose
// order changed depend on each other (one writes what the other reads or
// writes); the one exception is an instruction moved into the delay slot
// of a branch, which may touch the status register the branch reads. Skip
// and REPEAT instructions keep the instruction they act on right after
// them; the delay slots of a delayed form written in the source keep their
// instructions; no instruction leaves its section or crosses a label of
// it that is jumped to, its data or a loop start.
//
// With `strict_model` an instruction the model does not know fails the
// check ("unmodelled instruction: ..."); without it, pairs that involve
// such an instruction are not judged. On failure `why` says what broke.
bool proof_check_schedule(std::string_view original, std::string_view scheduled, bool strict_model,
                          std::string& why);

// The number of nop lines the scheduler added (lines "\tnop" without an
// annotation) where they go into program memory: in a code section.
size_t proof_count_added_nops(std::string_view scheduled);

// Does a `.section` operand (name and attributes) make a code section,
// when the name is new? Without attributes, or with something that is
// neither an attribute word nor a string, it does; a word list does when an
// entry is exactly "code", "auxflash" or "auxpsv"; a flags string does when
// it starts with 'x'.
bool proof_new_section_is_code(std::string_view operand_text);

// Program memory of the original and of the assembled scheduled source,
// each as its instruction words in address order: the scheduled program
// must hold exactly `added_nops` more words. Without added nops no label
// moves, so the words must be the same multiset, but for the offset of a
// relative transfer (a filled branch is written before its slots and so
// moves against its target); with them, the words that carry no program
// address or branch offset must still be the same.
bool proof_check_program_memory(const std::vector<uint32_t>& original_words,
                                const std::vector<uint32_t>& scheduled_words, size_t added_nops,
                                std::string& why);
