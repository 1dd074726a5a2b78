// gen_source SEED [--build elf|coff] [--lines N] [--long]: writes the
// generated source of one seed to the standard output.
#include "lib/gen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fputs("usage: gen_source SEED [--build elf|coff] [--lines N] [--long]\n", stderr);
    return 2;
}

bool parse_unsigned(const char* text, unsigned& value)
{
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != '\0' || parsed > 0xFFFFFFFFul)
        return false;
    value = unsigned(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned seed = 0;
    bool have_seed = false;
    ProofGenOptions options;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--build") == 0 && k + 1 < argc) {
            if (!proof_parse_build(argv[++k], options.build))
                return usage();
        } else if (std::strcmp(argv[k], "--lines") == 0 && k + 1 < argc) {
            if (!parse_unsigned(argv[++k], options.lines))
                return usage();
        } else if (std::strcmp(argv[k], "--long") == 0) {
            options.long_section = true;
        } else if (!have_seed && parse_unsigned(argv[k], seed)) {
            have_seed = true;
        } else {
            return usage();
        }
    }
    if (!have_seed)
        return usage();
    std::string text = proof_generate(seed, options);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return 1;
    return 0;
}
