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
#include "lib/e2e_case.h"
#include "lib/gen.h"
#include "lib/run.h"
#include "lib/sched_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Job {
    std::string name;
    std::vector<ProofCaseFile> files;
    std::string source;                // the file the program runs on
    std::vector<std::string> options;  // program arguments before the mode
    bool must_assemble = false;        // a failing original run is a failure
    std::string skip;                  // when set, the job is only reported
};

struct Settings {
    std::string program;
    std::string build = "elf";
    std::string keep;
    std::vector<std::vector<std::string>> modes;
    std::vector<std::string> program_args;
};

struct Tally {
    unsigned held = 0;
    unsigned failed = 0;
    unsigned skipped = 0;
};

int usage()
{
    std::fputs("usage: sched_proof --program P [--build elf|coff] [--keep DIR] [--mode \"-s -b1\"]...\n"
               "                   [--generate FIRST-LAST [--lines N] [--long] [--long-every K]]\n"
               "                   [PROGRAM-ARGS...] [SOURCE|CASE|DIR]...\n",
               stderr);
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

std::string first_line(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "(no message)" : line;
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

bool write_inputs(const std::string& dir, const Job& job, std::string& why)
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

// "held", or what broke; `skipped` is set when the program fails on the
// original and the job allows that.
std::string prove(const Job& job, const std::vector<std::string>& mode, const std::string& dir, const Settings& s,
                  bool& skipped)
{
    skipped = false;
    std::string why;
    if (!write_inputs(dir, job, why)) return why;

    std::vector<std::string> run = {s.program};
    run.insert(run.end(), job.options.begin(), job.options.end());
    run.insert(run.end(), mode.begin(), mode.end());
    run.insert(run.end(), {"-oproof-out.is", "-hproof-orig.hex", job.source});
    std::string errors;
    int status = proof_run(run, &errors, dir);
    if (status < 0) return "cannot run the program: " + first_line(errors);
    if (status != 0) {
        skipped = !job.must_assemble;
        return "the program fails on the original (status " + std::to_string(status) + "): " + first_line(errors);
    }

    std::string original;
    std::string scheduled;
    std::string original_hex;
    if (!proof_read_file((fs::path(dir) / job.source).string(), original)) return "cannot read the source back";
    if (!proof_read_file(dir + "/proof-out.is", scheduled)) return "no scheduled source was written";
    if (!proof_read_file(dir + "/proof-orig.hex", original_hex)) return "no HEX file was written";
    if (!proof_check_schedule(original, scheduled, false, why)) return "schedule: " + why;

    std::vector<std::string> assemble = {s.program};
    assemble.insert(assemble.end(), job.options.begin(), job.options.end());
    assemble.insert(assemble.end(), {"-s", "-hproof-sched.hex", "proof-out.is"});
    status = proof_run(assemble, &errors, dir);
    if (status != 0)
        return "the scheduled source does not assemble (status " + std::to_string(status) + "): " + first_line(errors);
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

void run_job(const Job& job, const Settings& s, Tally& tally)
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
        std::string verdict = dir.empty() ? "cannot make a scratch folder" : prove(job, mode, dir, s, skipped);
        if (verdict == "held") {
            ++tally.held;
            std::printf("%s: held\n", label.c_str());
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

int main(int argc, char** argv)
{
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
    if (s.modes.empty()) s.modes = {{"-s"}, {"-s", "-b0"}, {"-s", "-b1"}, {"-s", "-b2"}};
    if (!s.keep.empty()) {
        std::error_code error;
        fs::create_directories(s.keep, error);
    }

    std::vector<Job> jobs;
    for (const std::string& p : paths) add_path_jobs(p, s, jobs);
    Tally tally;
    for (const Job& job : jobs) run_job(job, s, tally);
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
            run_job(job, s, tally);
            if (seed == last) break;
        }
    }
    std::printf("sched_proof: %u held, %u failed, %u skipped\n", tally.held, tally.failed, tally.skipped);
    return tally.failed != 0 ? 1 : 0;
}
