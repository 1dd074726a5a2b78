// The whole program on one source text. The first byte of the input picks
// the command line, the rest is the source file:
//   byte % 3 == 0   t.s -o               (procedural abstraction, rewritten source)
//   byte % 3 == 1   t.s -s -b2 -o        (scheduling with delay slots)
//   byte % 3 == 2   t.s -l -t -x -d -h   (listing pages and the HEX image)
// bit 7 of it adds -w (warnings) and bit 6 -n1 (one nesting level). After
// each run the target checks that no token file is left, that no output
// file exists after an error, and that no internal error was reported.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::make_scratch_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int mode = data[0] % 3;
    const bool warnings = (data[0] & 0x80) != 0;
    static const char* const outputs[] = {"t.pa", "t.is", "t.hex", "t.lst"};
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
    fuzz::Run run = fuzz::run_driver(words);

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
    }
    return 0;
}
