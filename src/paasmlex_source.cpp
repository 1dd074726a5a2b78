// The source file record and the line counters shared by the passes.
#include "paasmlex.h"

SourceFile main_source;
SourceFile* current_source = &main_source;

int32_t pass_line_count = 0;
int32_t lines_read = 0;
int32_t line_total = 0;
char** saved_lines = nullptr;
