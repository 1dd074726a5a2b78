#include "lib/proof_cli.h"

#include "lib/gen.h"
#include "lib/run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Job = ProofJob;
using Settings = ProofSettings;

struct Tally {
    unsigned held = 0;
    unsigned failed = 0;
    unsigned skipped = 0;
    long saved = 0;
};

const char* tool_name = "proof";

int usage()
{
    std::fprintf(stderr,
                 "usage: %s --program P [--build elf|coff] [--keep DIR] [--mode \"-s -b1\"]...\n"
                 "       [--generate FIRST-LAST [--lines N] [--long] [--long-every K]]\n"
                 "       [PROGRAM-ARGS...] [SOURCE|CASE|DIR]...\n",
                 tool_name);
    return 2;
}

bool parse_unsigned(const std::string& text, unsigned& value)
{
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || parsed > 0xFFFFFFFFul) return false;
    value = unsigned(parsed);
    return true;
}

std::vector<std::string> split_blanks(const std::string& text)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        size_t end = text.find_first_of(" \t", start);
        if (end == std::string::npos) end = text.size();
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

// A name usable as one folder name.
std::string folder_name(const std::string& text)
{
    std::string name;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '-' || c == '_';
        name += plain ? c : '_';
    }
    return name;
}

Job file_job(const std::string& path, const Settings& s)
{
    Job job;
    job.name = path;
    std::string text;
    if (!proof_read_file(path, text)) {
        job.skip = "cannot read the file";
        return job;
    }
    job.source = fs::path(path).filename().string();
    job.files.push_back({job.source, text});
    job.options = s.program_args;
    return job;
}

// Empty name: the case is not one to run (another build's, or one that
// expects a failure) and is left out without a word.
Job case_job(const std::string& path, const Settings& s)
{
    Job job;
    job.name = path;
    std::string text;
    ProofCase c;
    std::string why;
    if (!proof_read_file(path, text)) {
        job.skip = "cannot read the file";
        return job;
    }
    if (!proof_read_case(text, c, why)) {
        job.skip = "not a case file: " + why;
        return job;
    }
    if (c.status != 0 || (!c.only.empty() && c.only != s.build)) {
        job.name.clear();
        return job;
    }
    if (c.has_program_at) {
        job.skip = "the case runs a copy of the program";
        return job;
    }
    // @SCRATCH@ is only known per run; a case that names it is skipped.
    std::vector<std::string> args = proof_case_args(c, "@SCRATCH@", s.build);
    for (const std::string& a : args)
        if (a.find("@SCRATCH@") != std::string::npos) {
            job.skip = "the case names its scratch folder";
            return job;
        }
    std::vector<std::string> sources;
    std::vector<std::string> kept = proof_case_program_options(args, sources);
    if (sources.size() != 1) {
        job.skip = "the case names " + std::to_string(sources.size()) + " sources";
        return job;
    }
    job.source = sources[0];
    job.files = c.files;
    job.options = s.program_args;
    job.options.insert(job.options.end(), kept.begin(), kept.end());
    return job;
}

void add_path_jobs(const std::string& path, const Settings& s, std::vector<Job>& jobs)
{
    std::error_code error;
    if (fs::is_directory(path, error)) {
        std::vector<std::string> inside;
        for (const fs::directory_entry& e : fs::directory_iterator(path, error)) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".s" || ext == ".case")) inside.push_back(e.path().string());
        }
        std::sort(inside.begin(), inside.end());
        for (const std::string& p : inside) add_path_jobs(p, s, jobs);
        return;
    }
    Job job = fs::path(path).extension() == ".case" ? case_job(path, s) : file_job(path, s);
    if (!job.name.empty()) jobs.push_back(job);
}

void run_job(const Job& job, const Settings& s, ProofCheck check, Tally& tally)
{
    if (!job.skip.empty()) {
        std::printf("%s: skipped: %s\n", job.name.c_str(), job.skip.c_str());
        ++tally.skipped;
        return;
    }
    for (const std::vector<std::string>& mode : s.modes) {
        const std::string label = job.name + " [" + joined(mode) + "]";
        std::string dir;
        std::unique_ptr<ProofTempDir> temp;
        if (!s.keep.empty()) {
            dir = s.keep + "/" + folder_name(job.name + "." + joined(mode));
            std::error_code error;
            fs::remove_all(dir, error);
            fs::create_directories(dir, error);
        } else {
            temp = std::make_unique<ProofTempDir>();
            dir = temp->path();
        }
        bool skipped = false;
        long saved = 0;
        std::string verdict =
            dir.empty() ? "cannot make a scratch folder" : check(job, mode, dir, s, skipped, saved);
        if (verdict.compare(0, 4, "held") == 0) {
            ++tally.held;
            tally.saved += saved;
            std::printf("%s: %s\n", label.c_str(), verdict.c_str());
        } else if (skipped) {
            ++tally.skipped;
            std::printf("%s: skipped: %s\n", label.c_str(), verdict.c_str());
        } else {
            ++tally.failed;
            std::printf("%s: FAILED: %s\n", label.c_str(), verdict.c_str());
        }
        std::fflush(stdout);
    }
}

}  // namespace

int proof_cli_main(int argc, char** argv, const char* tool, const std::vector<std::vector<std::string>>& default_modes,
                   ProofCheck check)
{
    tool_name = tool;
    Settings s;
    std::vector<std::string> paths;
    bool generate = false;
    unsigned first = 0;
    unsigned last = 0;
    unsigned long_every = 0;
    ProofGenOptions gen;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const bool more = k + 1 < argc;
        if (a == "--program" && more) {
            s.program = argv[++k];
        } else if (a == "--build" && more) {
            s.build = argv[++k];
            if (!proof_parse_build(s.build, gen.build)) return usage();
        } else if (a == "--keep" && more) {
            s.keep = argv[++k];
        } else if (a == "--mode" && more) {
            s.modes.push_back(split_blanks(argv[++k]));
        } else if (a == "--generate" && more) {
            const std::string range = argv[++k];
            const size_t dash = range.find('-');
            if (dash == std::string::npos || !parse_unsigned(range.substr(0, dash), first) ||
                !parse_unsigned(range.substr(dash + 1), last) || last < first)
                return usage();
            generate = true;
        } else if (a == "--lines" && more) {
            if (!parse_unsigned(argv[++k], gen.lines)) return usage();
        } else if (a == "--long") {
            gen.long_section = true;
        } else if (a == "--long-every" && more) {
            if (!parse_unsigned(argv[++k], long_every) || long_every == 0) return usage();
        } else if (a.size() > 1 && a[0] == '-') {
            s.program_args.push_back(a);
        } else {
            paths.push_back(a);
        }
    }
    if (s.program.empty() || (paths.empty() && !generate)) return usage();
    // The program runs in the scratch folder of each source.
    s.program = fs::absolute(s.program).string();
    if (s.modes.empty()) s.modes = default_modes;
    if (!s.keep.empty()) {
        std::error_code error;
        fs::create_directories(s.keep, error);
    }

    std::vector<Job> jobs;
    for (const std::string& p : paths) add_path_jobs(p, s, jobs);
    Tally tally;
    for (const Job& job : jobs) run_job(job, s, check, tally);
    if (generate) {
        for (unsigned seed = first;; ++seed) {
            ProofGenOptions options = gen;
            if (long_every != 0 && seed % long_every == 0) options.long_section = true;
            Job job;
            job.name = "seed " + std::to_string(seed) + " (" + s.build + ", " + std::to_string(options.lines) +
                       " lines" + (options.long_section ? ", long" : "") + ")";
            job.source = "gen.s";
            job.files.push_back({job.source, proof_generate(seed, options)});
            job.options = s.program_args;
            job.must_assemble = true;
            run_job(job, s, check, tally);
            if (seed == last) break;
        }
    }
    std::printf("%s: %u held, %u failed, %u skipped", tool, tally.held, tally.failed, tally.skipped);
    if (tally.saved != 0) std::printf(", %ld words saved in all", tally.saved);
    std::printf("\n");
    return tally.failed != 0 ? 1 : 0;
}

bool proof_write_inputs(const std::string& dir, const ProofJob& job, std::string& why)
{
    for (const ProofCaseFile& f : job.files) {
        const fs::path target = fs::path(dir) / f.path;
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        if (!proof_write_file(target.string(), f.content)) {
            why = "cannot write " + target.string();
            return false;
        }
    }
    return true;
}

std::string proof_first_line(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "(no message)" : line;
}

std::string proof_run_original(const ProofJob& job, const std::vector<std::string>& mode, const std::string& dir,
                               const ProofSettings& settings, const std::string& output, bool& skipped,
                               ProofRun& result)
{
    skipped = false;
    std::string why;
    if (!proof_write_inputs(dir, job, why)) return why;
    std::vector<std::string> run = {settings.program};
    run.insert(run.end(), job.options.begin(), job.options.end());
    run.insert(run.end(), mode.begin(), mode.end());
    run.insert(run.end(), {"-o" + output, "-hproof-orig.hex", job.source});
    std::string errors;
    const int status = proof_run(run, &errors, dir);
    if (status < 0) return "cannot run the program: " + proof_first_line(errors);
    if (status != 0) {
        skipped = !job.must_assemble;
        return "the program fails on the original (status " + std::to_string(status) +
               "): " + proof_first_line(errors);
    }
    if (!proof_read_file((fs::path(dir) / job.source).string(), result.original)) return "cannot read the source back";
    if (!proof_read_file(dir + "/" + output, result.output)) return "no " + output + " was written";
    if (!proof_read_file(dir + "/proof-orig.hex", result.original_hex)) return "no HEX file was written";
    return {};
}
