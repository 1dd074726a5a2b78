// Putting the program back into its start state, so that one process can
// run the driver again and again (the fuzz targets and the in-process
// tests do): every run-wide table, pool, counter and file of the program.
#include <cstdio>
#include <ctime>

#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmis.h"
#include "paasmis_dag.h"
#include "paasmis_fill.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmpa_opt.h"
#include "paasmpa_write.h"
#include "paasmpool.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

void asm_close_file(FILE*& file) {
    if (file != nullptr && file != stdout) std::fclose(file);
    file = nullptr;
}

}  // namespace

void asm_reset_run() {
    // Files first: the listing, the source and the token file (which is
    // deleted when this run created it), then the writers' files.
    asm_cleanup_files();
    asm_close_file(hex_file);
    asm_close_file(optimized_output_file);
    asm_close_file(scheduled_output_file);
    dev_close_database();

    // The driver and the command line.
    asm_reset_options();
    pass_number = 0;
    pending_shadow = 0;
    token_file_name.clear();
    start_clock = std::clock();
    device_family_flags = 2;

    // Diagnostics and the source.
    error_count = 0;
    warning_count = 0;
    main_source = SourceFile{};
    current_source = &main_source;
    lines_read = 0;
    line_total = 0;
    pass_line_count = 0;
    saved_lines = nullptr;

    // The scanner and the token stream.
    lex_reset();
    current_token = Token{};
    field_state = FIELD_LABEL;
    scan_pointer = line_buffer;
    scan_flags = 0;
    line_buffer[0] = '\0';
    token_text[0] = '\0';

    // Expressions and directives.
    expression_paren_count = 0;
    address_space_mask = MEMORY_ANY;
    dir_begin_pass();  // frees what is left of the section stack

    // The target's pending instruction state.
    pending_suffix = 0;

    // The recorders and the optimisers.
    basic_block_list = PaBlockList{};
    opened_aggregation_list = PaBlockList{};
    closed_aggregation_list = PaBlockList{};
    recording_block = nullptr;
    abstraction_switch_symbol = nullptr;
    last_class_id = 0;
    pa_forget_move_index();
    pa_clear_line_label_marks();
    sched_reset_run();
    location_counter_uses = 0;
    branch_probability_symbol = nullptr;
    delayed_branch_count = 0;
    delayed_taken_count = 0;
    delayed_filled_count = 0;
    last_printed_line = 0;

    // Every pool back to the system, then the tables that pointed into them.
    pool_reset();
    intern_init();
    sym_init();
    omf_init();
}
