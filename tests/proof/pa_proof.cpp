// pa_proof: proves on sources that the program's rewritten output (the
// default mode, procedural abstraction) is the original program.
//
//   pa_proof --program P [--build elf|coff] [--keep DIR] [--mode "-n1"]...
//            [--generate FIRST-LAST [--lines N] [--long] [--long-every K]]
//            [PROGRAM-ARGS...] [SOURCE|CASE|DIR]...
//
// For every source and mode it runs P with the program arguments, the mode,
// -o OUT.pa and -h ORIG.hex on the source; then
//   - OUT.pa is expanded back into plain code (proof_expand_abstraction:
//     every call of a shared body replaced by the body's instructions, one
//     call level deeper, every jump into an opened body by the instructions
//     written in place under it);
//   - the expansion, assembled alone (P PROGRAM-ARGS -h EXP.hex EXP.s),
//     must give exactly the original's HEX image;
//   - OUT.pa itself must assemble too; the difference of the two program
//     sizes is the words the rewrite saved.
// The expansion reads the two texts only and shares no code with the
// program, so that an image that comes back unchanged proves the rewrite.
// A source that holds the writer's .LPA names is skipped. The modes are the default (no -n), -n1 and -n2 unless --mode names
// others. Sources, cases, folders, --generate and --keep are as for
// sched_proof. One line per source and mode says "held, N words saved",
// "skipped: ..." or "FAILED: ..."; the exit status is 1 when anything
// failed, 2 on a usage error, else 0.
#include "lib/expand.h"
#include "lib/proof_cli.h"
#include "lib/run.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The line number of the first line in which two texts differ.
size_t first_difference(const std::string& a, const std::string& b)
{
    size_t line = 1;
    for (size_t k = 0; k < a.size() && k < b.size() && a[k] == b[k]; ++k)
        if (a[k] == '\n') ++line;
    return line;
}

// Assembles `source` in `dir` with -h`hex`; empty when it worked, else why.
std::string assemble(const ProofJob& job, const std::string& dir, const ProofSettings& s, const std::string& source,
                     const std::string& hex, std::string& image)
{
    std::vector<std::string> run = {s.program};
    run.insert(run.end(), job.options.begin(), job.options.end());
    run.insert(run.end(), {"-h" + hex, source});
    std::string errors;
    const int status = proof_run(run, &errors, dir);
    if (status != 0) return "status " + std::to_string(status) + ": " + proof_first_line(errors);
    if (!proof_read_file(dir + "/" + hex, image)) return "no HEX file was written";
    return {};
}

std::string prove(const ProofJob& job, const std::vector<std::string>& mode, const std::string& dir,
                  const ProofSettings& s, bool& skipped, long& saved)
{
    ProofRun first;
    std::string why = proof_run_original(job, mode, dir, s, "proof-out.pa", skipped, first);
    if (!why.empty()) return why;
    const std::string& original = first.original;
    const std::string& rewritten = first.output;
    const std::string& original_hex = first.original_hex;
    // A source that is itself a rewrite holds lines of the writer's shapes,
    // which the expansion would take for the new rewrite's.
    if (original.find(".LPA") != std::string::npos) {
        skipped = true;
        return "the source uses the writer's own .LPA names";
    }

    std::string expanded;
    if (!proof_expand_abstraction(original, rewritten, expanded, why)) return "expansion: " + why;
    if (!proof_write_file(dir + "/proof-expanded.s", expanded)) return "cannot write the expansion";
    std::string expanded_hex;
    why = assemble(job, dir, s, "proof-expanded.s", "proof-expanded.hex", expanded_hex);
    if (!why.empty()) return "the expansion does not assemble (" + why + ")";
    if (expanded_hex != original_hex)
        return "the expansion is another program: its HEX image differs from the original's from line " +
               std::to_string(first_difference(expanded_hex, original_hex)) + " on";

    std::string rewritten_hex;
    why = assemble(job, dir, s, "proof-out.pa", "proof-rewritten.hex", rewritten_hex);
    if (!why.empty()) return "the rewritten source does not assemble (" + why + ")";
    std::vector<uint32_t> before;
    std::vector<uint32_t> after;
    if (!proof_hex_words(original_hex, before, why)) return "HEX of the original: " + why;
    if (!proof_hex_words(rewritten_hex, after, why)) return "HEX of the rewritten source: " + why;
    saved = static_cast<long>(before.size()) - static_cast<long>(after.size());
    if (saved < 0) return "the rewrite grew the program by " + std::to_string(-saved) + " words";
    return "held, " + std::to_string(saved) + " words saved";
}

}  // namespace

int main(int argc, char** argv)
{
    return proof_cli_main(argc, argv, "pa_proof", {{}, {"-n1"}, {"-n2"}}, prove);
}
