// sched_proof: proves on sources that the program's scheduled output (-s,
// -s -b<level>) is the original program in another order.
//
//   sched_proof --program P [--build elf|coff] [--keep DIR] [--mode "-s -b1"]...
//               [--generate FIRST-LAST [--lines N] [--long] [--long-every K]]
//               [PROGRAM-ARGS...] [SOURCE|CASE|DIR]...
//
// For every source and mode it runs P with the program arguments, the mode,
// -o OUT.is and -h ORIG.hex on the source; then
//   - the scheduled text must pass proof_check_schedule against the source;
//   - OUT.is, assembled alone (P PROGRAM-ARGS -s -h SCHED.hex OUT.is: with
//     no -o nothing is rewritten), must give the program memory of the
//     original, with as many more words as the scheduler added nops
//     (proof_check_program_memory).
// The modes are -s, -s -b0, -s -b1 and -s -b2 unless --mode names others.
//
// A SOURCE is an assembly file. A CASE is an end-to-end case file: its input
// files are written, its arguments kept but for the outputs, the listing
// pages and the mode, and only a case expecting status 0 (and meant for the
// --build given, elf by default) is run. A DIR stands for its *.s and *.case
// files. --generate runs the generated sources of the seeds FIRST to LAST of
// the --build (each --long, or each K-th with --long-every K, padded beyond
// the short branch range).
//
// A source of a case or file on which the program fails is skipped and
// reported; a generated source on which it fails is a failure. One line per
// source and mode says "held", "skipped: ..." or "FAILED: ..."; the exit
// status is 1 when anything failed, 2 on a usage error, else 0. --keep DIR
// keeps the files of every run in DIR/<source>.<mode>/.
#include "lib/proof_cli.h"
#include "lib/run.h"
#include "lib/sched_check.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// "held", or what broke; `skipped` is set when the program fails on the
// original and the job allows that.
std::string prove(const ProofJob& job, const std::vector<std::string>& mode, const std::string& dir,
                  const ProofSettings& s, bool& skipped, long&)
{
    ProofRun first;
    std::string why = proof_run_original(job, mode, dir, s, "proof-out.is", skipped, first);
    if (!why.empty()) return why;
    const std::string& original = first.original;
    const std::string& scheduled = first.output;
    const std::string& original_hex = first.original_hex;
    if (!proof_check_schedule(original, scheduled, false, why)) return "schedule: " + why;

    std::vector<std::string> assemble = {s.program};
    assemble.insert(assemble.end(), job.options.begin(), job.options.end());
    assemble.insert(assemble.end(), {"-s", "-hproof-sched.hex", "proof-out.is"});
    std::string errors;
    const int status = proof_run(assemble, &errors, dir);
    if (status != 0)
        return "the scheduled source does not assemble (status " + std::to_string(status) + "): " + proof_first_line(errors);
    std::string scheduled_hex;
    if (!proof_read_file(dir + "/proof-sched.hex", scheduled_hex)) return "no HEX file of the scheduled source";

    std::vector<uint32_t> before;
    std::vector<uint32_t> after;
    if (!proof_hex_words(original_hex, before, why)) return "HEX of the original: " + why;
    if (!proof_hex_words(scheduled_hex, after, why)) return "HEX of the scheduled source: " + why;
    if (!proof_check_program_memory(before, after, proof_count_added_nops(scheduled), why))
        return "program memory: " + why;
    return "held";
}

}  // namespace

int main(int argc, char** argv)
{
    return proof_cli_main(argc, argv, "sched_proof", {{"-s"}, {"-s", "-b0"}, {"-s", "-b1"}, {"-s", "-b2"}}, prove);
}
