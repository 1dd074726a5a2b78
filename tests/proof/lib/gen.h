// Generator of compiler-style assembly sources for the rewrite proofs.
//
// A source is drawn from one seed: functions with and without frames,
// locals at W14 offsets, W15 spills in byte and word mode, instruction runs
// that the compiler repeats (with the same or with other registers), loops,
// skips over returns, shared exits reached by branches, retlw-able endings,
// helper, runtime and tail calls, per-function sections in some sources,
// and the debug directives of the build the source is for. The same seed and
// options always give the same text: the generator has its own small PRNG
// and uses no library distribution.
#pragma once

#include <string>

enum class ProofBuild { elf, coff };

struct ProofGenOptions {
    ProofBuild build = ProofBuild::elf;
    // Rough size of the source in lines; the functions stop once it is
    // reached, the data and debug sections come after.
    unsigned lines = 400;
    // Pads one code section beyond 0x7FFF elements, so that calls and jumps
    // to shared sequences in it take their long forms while those of the
    // other sections stay short.
    bool long_section = false;
};

std::string proof_generate(unsigned seed, const ProofGenOptions& options);

// "elf" or "coff"; false for any other text.
bool proof_parse_build(const std::string& text, ProofBuild& build);
