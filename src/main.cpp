#include "paasmdriver.h"

int main(int argc, char** argv) { return asm_main(argc, argv); }
