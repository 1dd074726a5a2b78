// The driver: process entry, the sequence of passes and the clean-up.
#include "paasmdriver.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <new>

#include "build_traits.h"
#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmintern.h"
#include "paasmis.h"
#include "paasmis_dag.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmomf.h"
#include "paasmpa_opt.h"
#include "paasmpa.h"
#include "paasmpa_write.h"
#include "paasmpool.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "platform.h"

uint8_t option_flags = OPT_ABSTRACT;
uint8_t report_flags = 0;
int32_t delay_slot_level = 0;
int32_t nesting_limit = 2147483647;
int32_t pass_number = 0;

std::string listing_file_name;
std::string hex_file_name;
std::string output_file_name;
std::string separate_output_name;
std::string token_file_name;
FILE* token_file = nullptr;
clock_t start_clock = 0;

const char* const program_name = "zorvel-pa";
const char* const program_title = "Tavrin Procedure Abstractor";
const char* const version_text = BuildTraits::version_text;

namespace {

bool token_file_created = false;  // created in this run, so ours to delete

void asm_close_token_file() {
    if (token_file != nullptr) {
        std::fclose(token_file);
        token_file = nullptr;
    }
}

void asm_delete_token_file() {
    if (token_file_created) {
        std::remove(token_file_name.c_str());
        token_file_created = false;
    }
}

}  // namespace

void asm_console_printf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

void asm_print_banner() {
    if ((report_flags & REPORT_BANNER) == 0) return;
    asm_console_printf("%s Version %s.\n", program_title, version_text);
    asm_console_printf("Copyright (c) 2017 Tavrin. All rights reserved.\n");
}

void asm_cleanup_files() {
    // A run that stops early keeps what its listing has so far, without
    // the end pages.
    lst_close(1);
    if (main_source.file != nullptr) {
        std::fclose(main_source.file);
        main_source.file = nullptr;
    }
    asm_close_token_file();
    asm_delete_token_file();
}

int asm_strcmp_nocase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
}

bool asm_make_temp_name(std::string& path) {
    bool created = platform_create_temp_file(platform_temp_directory(), path);
    if (created) token_file_created = true;
    return created;
}

std::string asm_default_file_name(const std::string& source, const char* extension) {
    size_t dot = source.rfind('.');
    std::string name = dot == std::string::npos ? source : source.substr(0, dot);
    return name + extension;
}

void asm_output_file_name(std::string& name, const char* extension, int open_fatal) {
    if (name.empty()) name = asm_default_file_name(main_source.name, extension);
    // Opening the source itself for writing would destroy it.
    if (platform_same_file(name, main_source.name)) diag_fatal(open_fatal, name.c_str());
}

void asm_begin_pass() {
    ++pass_number;
    if (pass_number == 2) {
        line_total = lines_read;
        main_source.line_total = lines_read;
        lines_read = 0;
    }
    main_source.line = 0;
    pass_line_count = 0;
    report_flags &= static_cast<uint8_t>(~REPORT_END_SEEN);
    if (pass_number >= 2) {
        if (main_source.file != nullptr) std::rewind(main_source.file);
        if (token_file != nullptr) std::rewind(token_file);
    }
    omf_begin_pass(pass_number);
    sym_begin_pass();
    pa_begin_pass();
    sched_begin_pass();
    dir_begin_pass();
    // The copies of the lines serve only the writers' passes, which run
    // only with an output file: without one nothing would read them.
    if (pass_number == 2 && line_total != 0 && (option_flags & OPT_OUTPUT) != 0)
        saved_lines = static_cast<char**>(
            pool_zalloc(static_cast<size_t>(line_total) * sizeof(char*), POOL_PASS));
}

int asm_run(int argc, char** argv) {
    static bool cleanup_registered = false;
    if (!cleanup_registered) {
        std::atexit(asm_cleanup_files);
        cleanup_registered = true;
    }
    asm_parse_options(argc, argv);
    asm_print_banner();
    // Interning first: the sections intern their default names.
    intern_init();
    omf_init();
    sym_init();

    if (!asm_make_temp_name(token_file_name) ||
        (token_file = platform_open_fresh_for_writing(token_file_name)) == nullptr)
        diag_fatal(3, token_file_name.c_str());

    asm_begin_pass();  // pass 1
    asm_run_pass();

    asm_close_token_file();
    token_file = std::fopen(token_file_name.c_str(), "rb");
    if (token_file == nullptr) diag_fatal(3, token_file_name.c_str());

    if ((option_flags & OPT_LISTING) != 0) lst_open(main_source.name, listing_file_name);

    asm_begin_pass();  // pass 2
    asm_run_pass();

    // Abstraction mode: the search runs only while no error has been
    // reported, and only when its result goes somewhere: the rewritten
    // source (-o) or the debug pages (-d with -l). Otherwise the records
    // stay as pass 2 left them.
    const bool abstraction_used = (option_flags & OPT_OUTPUT) != 0 ||
                                  ((option_flags & OPT_DEBUG_LISTING) != 0 && (option_flags & OPT_LISTING) != 0);
    if ((option_flags & OPT_ABSTRACT) != 0 && error_count == 0 && abstraction_used) pa_optimize();

    // Scheduling mode: the blocks are scheduled and written only while no
    // error has been reported.
    const bool scheduling = (option_flags & OPT_ABSTRACT) == 0 && (option_flags & OPT_SCHEDULE) != 0;
    if (scheduling && error_count == 0) sched_schedule_blocks();
    if (scheduling && (option_flags & OPT_OUTPUT) != 0 && error_count == 0)
        sched_write_output(main_source.name, output_file_name.empty() ? separate_output_name : output_file_name);

    // Abstraction mode: the rewritten source, while no error has been reported.
    if ((option_flags & OPT_ABSTRACT) != 0 && (option_flags & OPT_OUTPUT) != 0 && error_count == 0)
        pa_write_output(main_source.name, output_file_name.empty() ? separate_output_name : output_file_name);

    if ((option_flags & OPT_HEX) != 0 && error_count == 0)
        omf_write_hex_file(main_source.name, hex_file_name);

    if (main_source.file != nullptr) {
        std::fclose(main_source.file);
        main_source.file = nullptr;
    }
    if ((option_flags & OPT_LISTING) != 0) lst_close(0);
    asm_close_token_file();
    asm_delete_token_file();
    return error_count != 0 ? 1 : 0;
}

int asm_main(int argc, char** argv) {
    start_clock = std::clock();
    try {
        try {
            return asm_run(argc, argv);
        } catch (const std::bad_alloc&) {
            diag_fatal(2, "allocate");
        }
    } catch (const AsmTrap& trap) {
        asm_cleanup_files();
        return trap.status;
    }
}
