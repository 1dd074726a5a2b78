// The whole program on one source text. The first byte of the input picks
// the command line, the rest is the source file:
//   byte % 3 == 0   t.s -o               (procedural abstraction, rewritten source)
//   byte % 3 == 1   t.s -s -b2 -o        (scheduling with delay slots)
//   byte % 3 == 2   t.s -l -t -x -d -h   (listing pages and the HEX image)
// bit 7 of it adds -w (warnings) and bit 6 -n1 (one nesting level). After
// each run the target checks that no token file is left, that no output
// file exists after an error, and that no internal error was reported.
//
// After a clean run of the first two, the rewrite is proved with the checks
// of tests/proof, which share no code with the program: the rewritten
// source, expanded back, must assemble to the original HEX image (both
// assembled with -h in runs of their own); the
// scheduled source must hold the original's statements in an order that
// keeps every dependence, and assemble to the same program words, grown by
// the nops it added.
#include "fuzz_support.h"
#include "lib/expand.h"
#include "lib/run.h"
#include "lib/sched_check.h"

namespace {

// A source that uses the writer's own label names could be read as the
// writer's lines; its rewrite is not proved.
bool uses_writer_names(const std::string& source) { return source.find(".LPA") != std::string::npos; }

// Assembles `name` alone with -h and returns its image.
std::string assemble(const char* name, const char* hex, const char* mode_word) {
    std::remove(fuzz::in_scratch(hex).c_str());
    std::vector<std::string> words = {"zorvel-pa", fuzz::in_scratch(name), "-h" + fuzz::in_scratch(hex)};
    if (mode_word != nullptr) words.push_back(mode_word);
    fuzz::Run run = fuzz::run_driver(words, {fuzz::in_scratch(hex)});
    if (run.status != 0) fuzz::finding("the proof's source does not assemble", name + ("\n" + run.errors));
    return fuzz::read_file(fuzz::in_scratch(hex));
}

// The proofs compare whole images; one that a .space or .skip blew up to
// megabytes of erased words says nothing more than a small one, and only
// slows the fuzzing down.
constexpr size_t PROOF_HEX_BYTES = size_t{4} << 20;

void prove_abstraction(const std::string& source) {
    const std::string original_hex = assemble("t.s", "t.hex", nullptr);
    if (original_hex.size() > PROOF_HEX_BYTES) return;
    const std::string rewritten = fuzz::read_file(fuzz::in_scratch("t.pa"));
    std::string expanded;
    std::string why;
    if (!proof_expand_abstraction(source, rewritten, expanded, why))
        fuzz::finding("the rewritten source cannot be expanded", why);
    fuzz::write_file(fuzz::in_scratch("e.s"), reinterpret_cast<const uint8_t*>(expanded.data()), expanded.size());
    if (assemble("e.s", "e.hex", nullptr) != original_hex)
        fuzz::finding("the expanded rewrite is another program", "e.s and t.s give different HEX images");
}

void prove_schedule(const std::string& source) {
    const std::string original_hex = assemble("t.s", "t.hex", nullptr);
    if (original_hex.size() > PROOF_HEX_BYTES) return;
    const std::string scheduled = fuzz::read_file(fuzz::in_scratch("t.is"));
    std::string why;
    if (!proof_check_schedule(source, scheduled, false, why)) fuzz::finding("the schedule breaks the program", why);
    std::vector<uint32_t> before;
    std::vector<uint32_t> after;
    if (!proof_hex_words(original_hex, before, why))
        fuzz::finding("the original HEX image cannot be read", why);
    if (!proof_hex_words(assemble("t.is", "s.hex", "-s"), after, why))
        fuzz::finding("the scheduled HEX image cannot be read", why);
    if (!proof_check_program_memory(before, after, proof_count_added_nops(scheduled), why))
        fuzz::finding("the scheduled program memory is another program's", why);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::make_scratch_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int mode = data[0] % 3;
    const bool warnings = (data[0] & 0x80) != 0;
    static const char* const outputs[] = {"t.pa", "t.is", "t.hex", "t.lst", "e.s", "e.hex", "s.hex"};
    for (const char* name : outputs) std::remove(fuzz::in_scratch(name).c_str());
    fuzz::write_file(fuzz::in_scratch("t.s"), data + 1, size - 1);

    std::vector<std::string> words = {"zorvel-pa", fuzz::in_scratch("t.s")};
    if (warnings) words.push_back("-w");
    if ((data[0] & 0x40) != 0) words.push_back("-n1");
    if (mode == 0) {
        words.push_back("-o");
    } else if (mode == 1) {
        words.insert(words.end(), {"-s", "-b2", "-o"});
    } else {
        words.insert(words.end(), {"-l", "-t", "-x", "-d", "-h"});
    }
    std::vector<std::string> written;
    for (const char* name : outputs) written.push_back(fuzz::in_scratch(name));
    fuzz::Run run = fuzz::run_driver(words, written);

    if (run.status != 0 && run.status != 1 && run.status != 15)
        fuzz::finding("unexpected exit status", std::to_string(run.status) + "\n" + run.errors);
    fuzz::check_no_internal_error(run);
    std::vector<std::string> left = fuzz::entries_of(fuzz::scratch_dir() + "/tmp");
    if (!left.empty()) fuzz::finding("token file left behind", left.front());
    if (run.status != 0) {
        for (const char* name : {"t.pa", "t.is", "t.hex"})
            if (fuzz::exists(fuzz::in_scratch(name))) fuzz::finding("output file written after an error", name);
    } else {
        const char* expected = mode == 0 ? "t.pa" : mode == 1 ? "t.is" : "t.hex";
        if (!fuzz::exists(fuzz::in_scratch(expected))) fuzz::finding("no output file after a clean run", expected);
        const std::string source(reinterpret_cast<const char*>(data + 1), size - 1);
        if (mode == 0 && !uses_writer_names(source)) prove_abstraction(source);
        if (mode == 1) prove_schedule(source);
    }
    return 0;
}
