// The listing's end pages: the symbol table (-t), the cross-reference
// (-x) and the statistics page, each group on a new page under a column
// heading of its own.
#include <ctime>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmis_fill.h"
#include "paasmlist.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

// The value text of a symbol on the symbol-table page; false when the
// symbol is not listed.
bool lst_symbol_value_text(const Symbol* symbol, std::string& text) {
    text.clear();
    lst_append_hex(text, symbol->value.word, 8);
    switch (symbol->value_class) {
    case CLASS_ABSOLUTE:
        if (symbol->value_type == TYPE_STRING) {
            text = symbol->value.text != nullptr ? symbol->value.text : "";
        } else if (symbol->value_type == TYPE_REGISTER) {
            text = symbol->value.reg != nullptr ? symbol->value.reg->register_name : "";
        } else if (symbol->value_type == TYPE_FLOAT) {
            char number[64];
            std::snprintf(number, sizeof number, "%g", symbol->value.real);
            text = number;
        }
        return true;
    case CLASS_EXTERNAL:
        if (symbol->scope == SCOPE_EXTERNAL) {
            text = "External";
        } else if (symbol->scope == SCOPE_SECTION) {
            text = "Section ";
            return symbol->section != nullptr && (symbol->section->flags & SECT_USED) != 0;
        }
        return true;
    case CLASS_ILLEGAL:
        return false;
    default:
        // An unclassed symbol would show the owner of its .def record, but
        // .def records no owner here: it keeps the hexadecimal text.
        return true;
    }
}

const char* lst_section_name(const Symbol* symbol) {
    if (symbol->section == nullptr || symbol->section->symbol == nullptr) return "";
    return symbol->section->symbol->name;
}

}  // namespace

void lst_write_symbol_table() {
    lst_new_page("Symbol Name                      Value    Section");
    unsigned long listed = 0;
    std::string text;
    std::string line;
    for (uint32_t i = 0; i < sorted_symbol_counts[LIST_BY_NAME]; ++i) {
        const Symbol* symbol = sorted_symbols[LIST_BY_NAME][i];
        if (!lst_symbol_value_text(symbol, text)) continue;
        line.clear();
        lst_append_padded(line, symbol->name, 32);
        line += ' ';
        line += text;
        line += ' ';
        line += lst_section_name(symbol);
        line += '\n';
        lst_put_line(line);
        ++listed;
    }
    lst_printf("\n");
    lst_printf("%5lu Symbols.\n", listed);
}

// Seven entries a line: the definition line with a '*', then every line
// that refers to the symbol, in the order of first reference.
void lst_write_cross_reference() {
    lst_new_page("Symbol Name                      References");
    std::string text;
    std::string line;
    auto put = [&](const char* name) {
        line.clear();
        lst_append_padded(line, name, 32);
        line += ' ';
        line += text;
        line += '\n';
        lst_put_line(line);
    };
    for (uint32_t i = 0; i < sorted_symbol_counts[LIST_BY_NAME]; ++i) {
        const Symbol* symbol = sorted_symbols[LIST_BY_NAME][i];
        if (symbol->def_line == 0) continue;
        const char* name = symbol->name;
        text.clear();
        lst_append_number(text, symbol->def_line, 5);
        text += '*';
        for (const SymbolRefLine* ref = symbol->ref_lines; ref != nullptr; ref = ref->next) {
            lst_append_number(text, ref->line, 5);
            text += ' ';
            if (text.size() > 40) {
                put(name);
                name = "";
                text.clear();
            }
        }
        if (!text.empty()) put(name);
    }
}

void lst_write_summary() {
    lst_flush_messages();
    bool symbols = (option_flags & OPT_SYMBOL_TABLE) != 0;
    bool cross = (report_flags & REPORT_CROSS_REFERENCE) != 0;
    if (symbols || cross) sym_build_sorted_list(LIST_BY_NAME, nullptr);
    if (symbols) lst_write_symbol_table();
    if (cross) lst_write_cross_reference();

    lst_new_page("");
    lst_printf("%6u Warnings\n", static_cast<unsigned>(warning_count));
    lst_printf("%6u Errors\n", static_cast<unsigned>(error_count));
    if ((option_flags & OPT_DELAY_SLOTS) != 0) {
        lst_printf("%6u Instructions with delay slots\n", static_cast<unsigned>(delayed_branch_count));
        lst_printf("%6u Instructions with delay slots probably taken\n", static_cast<unsigned>(delayed_taken_count));
        lst_printf("%6u Instructions with delay slots scheduled\n", static_cast<unsigned>(delayed_filled_count));
    }
    double milliseconds = static_cast<double>(std::clock() - start_clock) * 1000.0 / CLOCKS_PER_SEC;
    lst_printf("%6.3f Elapsed execution time.\n", milliseconds / 1000.0);
}
