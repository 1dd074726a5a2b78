// What the rewrite proofs' command-line tools share: the sources they run
// on (assembly files, end-to-end case files, folders of them, generated
// seeds), the scratch folder of every run, the command line, and one line
// of verdict per source and mode with a closing tally.
#pragma once

#include "lib/e2e_case.h"

#include <string>
#include <vector>

struct ProofJob {
    std::string name;
    std::vector<ProofCaseFile> files;
    std::string source;                // the file the program runs on
    std::vector<std::string> options;  // program arguments before the mode
    bool must_assemble = false;        // a failing original run is a failure
    std::string skip;                  // when set, the job is only reported
};

struct ProofSettings {
    std::string program;
    std::string build = "elf";
    std::string keep;
    std::vector<std::vector<std::string>> modes;
    std::vector<std::string> program_args;
};

// One proof of one source in one mode, run in the scratch folder `dir`:
// "held" (perhaps with a remark after it), or what broke. `skipped` is set
// when the program refuses the original and the job allows that; `saved`
// may be given the program words the rewrite saved.
using ProofCheck = std::string (*)(const ProofJob& job, const std::vector<std::string>& mode,
                                   const std::string& dir, const ProofSettings& settings, bool& skipped,
                                   long& saved);

// The whole tool: reads the command line (see sched_proof.cpp and
// pa_proof.cpp), runs `check` on every source and mode, prints the verdicts
// and "<tool>: N held, N failed, N skipped"; returns the exit status.
int proof_cli_main(int argc, char** argv, const char* tool, const std::vector<std::vector<std::string>>& default_modes,
                   ProofCheck check);

// The first step of every proof: writes the job's inputs into `dir` and
// runs P ARGS MODE -o`output` -hproof-orig.hex SOURCE there, then reads the
// source, the output and the image back. Empty when all that worked, else
// what broke (with `skipped` set when the program refuses the original and
// the job allows that).
struct ProofRun {
    std::string original;
    std::string output;
    std::string original_hex;
};
std::string proof_run_original(const ProofJob& job, const std::vector<std::string>& mode, const std::string& dir,
                               const ProofSettings& settings, const std::string& output, bool& skipped,
                               ProofRun& run);

// Writes the job's input files into `dir`.
bool proof_write_inputs(const std::string& dir, const ProofJob& job, std::string& why);

// The first line of a message, or "(no message)".
std::string proof_first_line(const std::string& text);
