// Operand parsers: registers, literals, addresses and branch targets, the
// suffix appliers and the read-after-write hazard check.
#include "paasmquodra.h"

void tgt_apply_size_suffix(uint32_t&) {}
void tgt_apply_negate_suffix(uint32_t&) {}
int tgt_is_runtime_helper(const Symbol*) { return 0; }
int tgt_parse_register(const RegisterEntry*&) { return 29; }
int tgt_parse_w_register(const RegisterEntry*&) { return 29; }
int tgt_parse_wreg(uint32_t&, uint32_t&) { return 29; }
int tgt_parse_accumulator(const RegisterEntry**, uint32_t&, ResourcePair*, uint32_t*) { return 29; }
int tgt_parse_page_register(const RegisterEntry*&) { return 29; }
int tgt_parse_literal(uint32_t&, Symbol**, int, int) { return 14; }
int tgt_parse_byte_literal(uint32_t&, Symbol**, int) { return 14; }
int tgt_insert_literal_field(ExprValue&, uint32_t&, Symbol**, int, int) { return 14; }
int tgt_parse_file_register(uint32_t&, Symbol**, int) { return 14; }
int tgt_insert_file_register_field(ExprValue&, uint32_t&, Symbol**, int) { return 14; }
int tgt_parse_data_address(uint32_t&, Symbol**, int) { return 14; }
int tgt_insert_data_address_field(ExprValue&, uint32_t&, Symbol**, int) { return 14; }
void tgt_check_raw_hazard(uint32_t) {}
int tgt_parse_branch_target(uint32_t&, int32_t, int&, Symbol*&, int, const char*) { return 14; }
int tgt_parse_program_address(uint32_t&, uint32_t&, Symbol**) { return 14; }
int tgt_parse_ws_or_literal(uint32_t&, ResourcePair&, ResourcePair&, int&, int) { return 14; }
int tgt_parse_effective_address(uint32_t&, ResourcePair&, ResourcePair&, int, int&, int) { return 14; }
int tgt_parse_indexed_address(uint32_t&, ResourcePair&, ResourcePair&, int, int, int&, int) { return 14; }
