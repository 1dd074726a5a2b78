// The statement loop: one pass over the source, statement by statement,
// with the rule that the instruction in the shadow of a skip or REPEAT
// instruction must be one that may stand there.
#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmquodra.h"
#include "paasmsym.h"

int32_t pending_shadow = 0;

void asm_run_pass() {
    pending_shadow = 0;
    lex_next_line();
    while (current_token.code != TOK_END_OF_SOURCE) {
        main_source.marks[3] = ' ';
        asm_process_statement();
        omf_end_statement();
        if (pass_number == 2 && (option_flags & OPT_LISTING) != 0) lst_end_statement();
        lex_next_line();
    }
    if (pending_shadow != 0) {
        diag_error(26);
        pending_shadow = 0;
    }
}

void asm_process_statement() {
    SymbolKey label{SYMKIND_ORDINARY, nullptr};
    bool statement_done = false;
    while (!statement_done) {
        switch (current_token.code) {
            case TOK_LABEL:
            case TOK_NUMERIC_LABEL:
                if (label.name != nullptr) {
                    // The first label stays pending and is defined below.
                    diag_error(5);
                    statement_done = true;
                    break;
                }
                label.kind = current_token.code == TOK_LABEL ? SYMKIND_ORDINARY : SYMKIND_NUMERIC;
                label.name = lex_token_text();
                lex_next_token();
                break;
            case TOK_MNEMONIC: {
                const MnemonicEntry* row = lex_token_mnemonic();
                if (pending_shadow != 0 && pending_shadow == row->not_repeatable_kind) diag_error(27);
                match_assemble_instruction(label, row);
                pending_shadow = row->shadow_kind;
                return;  // the encoder has discarded a label written before it
            }
            case TOK_DIRECTIVE:
                dir_dispatch(label, lex_token_directive());
                return;
            case TOK_END_OF_STATEMENT:
                statement_done = true;
                break;
            default:
                if (label.name != nullptr) sym_define_label(label);
                diag_error(28);
                return;
        }
    }
    if (label.name == nullptr) return;
    // A label that stands alone on its line.
    if (pending_shadow != 0) diag_error(27);
    Symbol* symbol = sym_define_label(label);
    pa_record_label(symbol);
    sched_record_label(symbol);
}
