// Statement matching: the lookups over the target's tables, the hand-over
// of instruction statements, the .section operand, operand fitting,
// typed evaluation and the expected-token checks.
#pragma once

#include <cstdint>

#include "paasmexpr.h"
#include "paasmquodra.h"
#include "paasmsym.h"

// A row of a sorted {text, 16-bit value} table, such as the suffix table.
struct NamedValue {
    const char* name;
    uint16_t value;
};

void match_assemble_instruction(const SymbolKey& label, const MnemonicEntry* row);
const MnemonicEntry* match_find_mnemonic(const char* word);
const NamedValue* match_find_name(const char* text, const NamedValue* table, int count);
const ConditionEntry* match_find_condition(const char* text);
const RegisterEntry* match_find_register(const char* text);
int match_parse_section_operand(Symbol*& result);
int match_fit_operand(ExprValue& value, Symbol*& symbol, int width);
int match_fit_pc_relative(ExprValue& value, Symbol*& symbol, int width, int32_t adjustment);
int match_fit_data_value(ExprValue& value, int width);
int match_eval_absolute_integer(int32_t& result);
int match_eval_float(double& result);
int match_expect_comma();
int match_expect_assign();
int match_expect_plus();
int match_expect_star();
int match_expect_immediate();
int match_expect_left_bracket();
int match_expect_right_bracket();
