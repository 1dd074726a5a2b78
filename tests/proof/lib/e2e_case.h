// Reads an end-to-end case file (tests/e2e/README.md) for the proof tools:
// the header, and the input files it writes before the run. The expected
// outputs are not read; a proof tool runs its own checks on the input.
#pragma once

#include <string>
#include <vector>

struct ProofCaseFile {
    std::string path;     // relative to the scratch dir
    std::string content;  // the body, or the bytes of a hexfile section
};

struct ProofCase {
    std::vector<std::string> args;  // as split, before substitutions
    int status = -1;
    std::string only;               // "elf", "coff" or empty
    bool has_env = false;           // env: lines (not applied by the proof tools)
    bool has_program_at = false;
    std::vector<ProofCaseFile> files;
};

// False with `why` on a case file the e2e runner would refuse too (no
// args: or status: line, a bad hexfile byte, an unknown header line).
bool proof_read_case(const std::string& text, ProofCase& c, std::string& why);

// The case's arguments with the substitutions made for a run in `scratch`
// by the given build ("elf" or "coff").
std::vector<std::string> proof_case_args(const ProofCase& c, const std::string& scratch, const std::string& build);

// The arguments a rewrite proof keeps from a case: the options that change
// what is assembled (--mcpu, -n, -w, -W, ...), without the outputs (-o, -h,
// -l with their names), the listing-only pages (-d, -t, -x), the rewrite
// mode (-s, -b) and the source names, which go to `sources`.
std::vector<std::string> proof_case_program_options(const std::vector<std::string>& args,
                                                    std::vector<std::string>& sources);
