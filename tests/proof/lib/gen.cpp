// Generator of compiler-style sources for the rewrite proofs.
//
// The text is built the way the compiler builds a translation unit: a pool
// of instruction phrases (a few instructions each, drawn from one phrase
// seed), runs made of two to four phrases with one register assignment, and
// function bodies made of runs, one-off instructions and control shapes.
// Phrases recur in several runs and runs in several functions, so the
// abstraction finds long repeats with shorter repeats inside them (which is
// what -n limits), and a run used with another register assignment gives
// the near-repeats that must not match. Every choice comes from the seed
// through Rng below, so a seed names one source for good.
#include "gen.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast, the same sequence on every platform.
struct Rng {
    uint64_t state;

    explicit Rng(uint64_t seed) : state(seed) {}

    uint64_t next()
    {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return n == 0 ? 0 : unsigned(next() % n); }
    unsigned range(unsigned low, unsigned high) { return low + below(high - low + 1); }
    bool percent(unsigned p) { return below(100) < p; }
    template <class T, size_t N> const T& pick(const std::array<T, N>& table) { return table[below(N)]; }
};

// The registers a run works on: six distinct working registers of W0 to
// W13 (W14 is the frame pointer, W15 the stack pointer).
using RegisterMap = std::array<int, 6>;

constexpr RegisterMap common_registers = {0, 1, 2, 3, 4, 5};

struct Run {
    std::vector<uint64_t> phrases;
    std::vector<RegisterMap> maps;  // the first is the usual one
};

enum class LineStyle { loc, line_labels, both };
enum class SectionStyle { single, per_function, grouped };

constexpr std::array<const char*, 5> alu3_ops = {"add", "sub", "and", "ior", "xor"};
constexpr std::array<const char*, 5> alu_literal_ops = {"add", "sub", "sl", "asr", "lsr"};
constexpr std::array<const char*, 7> unary_ops = {"inc", "dec", "com", "neg", "ze", "se", "mov"};
constexpr std::array<const char*, 3> bit_ops = {"bset", "bclr", "btg"};
constexpr std::array<const char*, 6> call_routines = {"___mulsi3", "___divsi3", "___udivsi3",
                                                      "___modsi3", "___ashlsi3", "___lshrsi3"};

class Generator {
public:
    Generator(unsigned seed, const ProofGenOptions& options)
        : options_(options), rng_(0xC0FFEE0000000000ull ^ (uint64_t(seed) * 0x100000001B3ull) ^ seed)
    {
    }

    std::string generate();

private:
    bool elf() const { return options_.build == ProofBuild::elf; }
    // Relative calls and jumps between functions only where every function
    // is in one section and no padding lies between caller and callee.
    bool relative_calls() const
    {
        return section_style_ == SectionStyle::single && !padded_ && (!options_.long_section || functions_ > 0);
    }

    void line(const std::string& text)
    {
        out_ += text;
        out_ += '\n';
        ++lines_;
    }
    void insn(const std::string& text) { line("\t" + text); }
    std::string new_label() { return ".L" + std::to_string(next_label_++); }
    void define(const std::string& label) { line(label + ":"); }

    static std::string w(int n) { return "w" + std::to_string(n); }
    std::string wlit(unsigned value) { return "#" + std::to_string(value); }

    // Debug and line marks between statements.
    void line_mark(Rng& rng);
    void source_line_mark();

    // Phrases and runs.
    void phrase(uint64_t seed, const RegisterMap& r);
    void snippet(Rng& rng, const RegisterMap& r);
    void spill(Rng& rng, int reg, bool store);
    void one_off(Rng& rng);
    void make_pool();
    const Run& pick_run();
    void emit_run(const Run& run, const RegisterMap& map);
    void emit_pool_run();

    // Functions.
    void function(unsigned index);
    void function_header(const std::string& name, bool global);
    void function_trailer(const std::string& name, unsigned index);
    void body_segment(bool frame, const std::string& exit_label);
    void function_end(bool frame, unsigned saved, const std::string& exit_label, unsigned index);
    std::string callee(unsigned index, bool relative);
    void pad_section();

    void trailer();

    ProofGenOptions options_;
    Rng rng_;
    std::string out_;
    unsigned lines_ = 0;
    unsigned next_label_ = 2;
    unsigned source_line_ = 1;
    unsigned line_labels_ = 0;   // .LM labels made so far
    unsigned cfi_labels_ = 0;    // .LCFI
    unsigned block_labels_ = 0;  // .LBB/.LBE pairs
    unsigned var_labels_ = 0;    // .LVL
    unsigned functions_ = 0;
    unsigned saved_registers_ = 0;  // of the function being written
    LineStyle line_style_ = LineStyle::loc;
    SectionStyle section_style_ = SectionStyle::single;
    bool use_var_labels_ = false;
    bool padded_ = false;
    unsigned pad_function_ = 0;
    std::string current_section_;
    std::vector<uint64_t> phrase_pool_;
    std::vector<Run> runs_;
};

void Generator::source_line_mark()
{
    source_line_ += 1 + rng_.below(3);
    if (elf()) {
        if (line_style_ != LineStyle::line_labels)
            line("\t.loc 1 " + std::to_string(source_line_) + " 0");
        if (line_style_ != LineStyle::loc)
            define(".LM" + std::to_string(++line_labels_));
    } else {
        line("\t.ln\t" + std::to_string(source_line_));
    }
}

void Generator::line_mark(Rng& rng)
{
    if (rng.percent(35))
        source_line_mark();
    if (elf() && use_var_labels_ && rng.percent(8))
        define(".LVL" + std::to_string(var_labels_++));
}

// A W15-relative spill or reload. Offsets are mostly small and close to each
// other, so that a lowered offset (4 bytes a call level) often equals a move
// written elsewhere; a few sit at the edge of what can be lowered once or
// twice, and a few beyond it.
void Generator::spill(Rng& rng, int reg, bool store)
{
    bool byte = rng.percent(30);
    int offset;
    unsigned edge = rng.below(100);
    if (byte) {
        if (edge < 6)
            offset = int(rng.range(501, 508));
        else if (edge < 8)
            offset = int(rng.range(509, 512));
        else
            offset = int(rng.range(1, 16));
    } else {
        if (edge < 6)
            offset = 2 * int(rng.range(505, 510));
        else if (edge < 8)
            offset = 2 * int(rng.range(511, 512));
        else
            offset = 2 * int(rng.range(1, 12));
    }
    std::string mnemonic = byte ? "mov.b\t" : "mov\t";
    std::string slot = "[w15-" + std::to_string(offset) + "]";
    if (store)
        insn(mnemonic + w(reg) + "," + slot);
    else
        insn(mnemonic + slot + "," + w(reg));
}

// One small group of instructions on the registers of the map.
void Generator::snippet(Rng& rng, const RegisterMap& r)
{
    auto reg = [&](unsigned k) { return r[k % r.size()]; };
    unsigned a = rng.below(6), b = rng.below(6), c = rng.below(6);
    switch (rng.below(20)) {
    case 0:
    case 1:
        insn(std::string(rng.pick(alu3_ops)) + "\t" + w(reg(a)) + "," + w(reg(b)) + "," + w(reg(c)));
        break;
    case 2:
        insn(std::string(rng.pick(alu_literal_ops)) + "\t" + w(reg(a)) + "," + wlit(rng.below(16)) + "," +
             w(reg(c)));
        break;
    case 3:
    case 4: {  // a local of the frame
        bool byte = rng.percent(25);
        unsigned offset = byte ? rng.below(24) : 2 * rng.below(12);
        std::string slot = offset == 0 ? "[w14]" : "[w14+" + std::to_string(offset) + "]";
        std::string mnemonic = byte ? "mov.b\t" : "mov\t";
        if (rng.percent(50))
            insn(mnemonic + slot + "," + w(reg(a)));
        else
            insn(mnemonic + w(reg(a)) + "," + slot);
        break;
    }
    case 5:
    case 6:
        spill(rng, reg(a), rng.percent(50));
        break;
    case 7: {  // a literal, sometimes one too wide for retlw
        unsigned value = rng.percent(85) ? rng.below(64) : rng.range(1000, 1100);
        if (rng.percent(15))
            insn("mov.b\t" + wlit(rng.below(256)) + "," + w(reg(a)));
        else
            insn("mov\t" + wlit(value) + "," + w(reg(a)));
        break;
    }
    case 8: {
        const char* op = rng.pick(unary_ops);
        if (rng.percent(15))
            insn("clr\t" + w(reg(a)));
        else
            insn(std::string(op) + "\t" + w(reg(a)) + "," + w(reg(b)));
        break;
    }
    case 9: {  // a skip and the instruction in its shadow
        unsigned kind = rng.below(3);
        if (kind == 0)
            insn("btsc\t" + w(reg(a)) + "," + wlit(rng.below(16)));
        else if (kind == 1)
            insn("btss\t" + w(reg(a)) + "," + wlit(rng.below(16)));
        else
            insn("cpseq\t" + w(reg(a)) + "," + w(reg(b)));
        if (rng.percent(15))
            spill(rng, reg(c), true);  // a spill in a shadow ends the run
        else
            insn("inc\t" + w(reg(c)) + "," + w(reg(c)));
        break;
    }
    case 10:
        insn("repeat\t" + wlit(rng.percent(70) ? 17 : rng.below(20)));
        insn("div.sw\t" + w(reg(a)) + "," + w(reg(b) == reg(a) ? reg(a + 1) : reg(b)));
        break;
    case 11: {  // a runtime routine: stays inside a run
        std::string routine = rng.pick(call_routines);
        insn((rng.percent(50) ? "rcall\t" : "call\t") + routine);
        break;
    }
    case 12: {  // a counted loop
        std::string top = new_label();
        define(top);
        insn(std::string(rng.pick(alu3_ops)) + "\t" + w(reg(a)) + "," + w(reg(b)) + "," + w(reg(a)));
        if (rng.percent(40))
            spill(rng, reg(a), true);
        insn("dec\t" + w(reg(c)) + "," + w(reg(c)));
        insn("bra\tnz," + top);
        break;
    }
    case 13: {  // a forward branch over one instruction
        std::string over = new_label();
        insn("cp0\t" + w(reg(a)));
        insn(std::string("bra\t") + (rng.percent(50) ? "z," : "lt,") + over);
        insn("add\t" + w(reg(b)) + "," + wlit(rng.below(8)) + "," + w(reg(b)));
        define(over);
        break;
    }
    case 14:
        insn(std::string(rng.pick(bit_ops)) + "\t" + w(reg(a)) + "," + wlit(rng.below(16)));
        break;
    case 15:
        insn("mov\t" + w(reg(a)) + "," + w(reg(b)));
        break;
    case 16: {  // a hardware loop
        std::string end = new_label();
        insn("do\t" + wlit(rng.range(1, 9)) + "," + end);
        insn("add\t" + w(reg(a)) + "," + w(reg(b)) + "," + w(reg(a)));
        define(end);
        insn("inc\t" + w(reg(b)) + "," + w(reg(b)));
        break;
    }
    case 17:
        insn("mul.ss\t" + w(reg(a)) + "," + w(reg(b)) + "," + w(reg(c) & ~1));
        break;
    case 18:
        insn("cp\t" + w(reg(a)) + "," + w(reg(b)));
        break;
    default:  // a reload and a store of one value
        spill(rng, reg(a), false);
        insn("add\t" + w(reg(a)) + "," + w(reg(b)) + "," + w(reg(a)));
        spill(rng, reg(a), true);
        break;
    }
}

void Generator::phrase(uint64_t seed, const RegisterMap& r)
{
    Rng rng(seed);
    unsigned count = rng.range(1, 3);
    for (unsigned k = 0; k < count; ++k)
        snippet(rng, r);
}

void Generator::one_off(Rng& rng)
{
    // Literals from a wide range: such lines occur once and cut the runs.
    unsigned a = rng.below(14);
    switch (rng.below(4)) {
    case 0:
        insn("mov\t" + wlit(rng.range(2000, 60000)) + "," + w(a));
        break;
    case 1:
        insn("mov\t" + w(a) + ",[w14+" + std::to_string(2 * rng.range(20, 200)) + "]");
        break;
    case 2:
        insn("add\t" + w(a) + "," + wlit(rng.below(32)) + "," + w(rng.below(14)));
        break;
    default:
        insn("mov.b\t[w14+" + std::to_string(rng.range(60, 400)) + "]," + w(a));
        break;
    }
}

void Generator::make_pool()
{
    unsigned phrases = 6 + options_.lines / 50;
    for (unsigned k = 0; k < phrases; ++k)
        phrase_pool_.push_back(rng_.next());
    unsigned runs = 4 + options_.lines / 70;
    for (unsigned k = 0; k < runs; ++k) {
        Run run;
        unsigned count = rng_.range(1, 4);
        for (unsigned p = 0; p < count; ++p)
            run.phrases.push_back(phrase_pool_[rng_.below(unsigned(phrase_pool_.size()))]);
        run.maps.push_back(common_registers);
        if (rng_.percent(40)) {
            // The compiler's other register choices for the same code.
            unsigned variants = rng_.range(1, 2);
            for (unsigned v = 0; v < variants; ++v) {
                RegisterMap map = common_registers;
                for (int& reg : map)
                    reg = int(rng_.below(14));
                run.maps.push_back(map);
            }
        }
        if (rng_.percent(30))
            run.maps[0] = RegisterMap{6, 7, 8, 9, 10, 11};
        runs_.push_back(run);
    }
}

// Runs early in the pool are used more often: a few are everywhere, most
// recur a few times, some only once.
const Run& Generator::pick_run()
{
    unsigned n = unsigned(runs_.size());
    unsigned k = rng_.below(n);
    if (rng_.percent(50))
        k = rng_.below(k + 1);
    return runs_[k];
}

void Generator::emit_run(const Run& run, const RegisterMap& map)
{
    for (size_t p = 0; p < run.phrases.size(); ++p) {
        if (p > 0)
            line_mark(rng_);
        phrase(run.phrases[p], map);
    }
}

void Generator::emit_pool_run()
{
    const Run& run = pick_run();
    const RegisterMap& map = run.maps.size() > 1 && rng_.percent(30) ? run.maps[1 + rng_.below(unsigned(run.maps.size() - 1))]
                                                                     : run.maps[0];
    emit_run(run, map);
}

// A function to call from function `index`: one already written or one
// still to come, in the same section when the call is relative.
std::string Generator::callee(unsigned index, bool relative)
{
    // Across the padding a relative call cannot reach: only functions
    // written before (and so before the padding) are called relatively then.
    unsigned other = relative && options_.long_section ? rng_.below(index) : rng_.below(index + 3);
    return "_f" + std::to_string(other);
}

void Generator::function_header(const std::string& name, bool global)
{
    line("\t.align\t2");
    if (global)
        line("\t.global\t" + name + "\t; export");
    if (elf()) {
        line("\t.type\t" + name + ",@function");
        define(name);
        define(".LFB" + std::to_string(functions_));
        if (functions_ == 0)
            line("\t.file 1 \"gen.c\"");
    } else {
        line("\t.def\t" + name);
        line("\t.val\t" + name);
        line("\t.scl\t" + std::string(global ? "2" : "3"));
        line("\t.type\t32");
        line("\t.endef");
        define(name);
        line("\t.def\t.bf");
        line("\t.val\t.");
        line("\t.scl\t101");
        line("\t.line\t" + std::to_string(source_line_));
        line("\t.endef");
    }
    source_line_mark();
}

void Generator::function_trailer(const std::string& name, unsigned index)
{
    if (elf()) {
        define(".LFE" + std::to_string(index));
        line("\t.size\t" + name + ", .-" + name);
    } else {
        line("\t.def\t.ef");
        line("\t.val\t.");
        line("\t.scl\t101");
        line("\t.line\t" + std::to_string(source_line_));
        line("\t.endef");
        line("\t.def\t" + name);
        line("\t.val\t.");
        line("\t.scl\t-1");
        line("\t.endef");
    }
}

void Generator::body_segment(bool frame, const std::string& exit_label)
{
    line_mark(rng_);
    unsigned choice = rng_.below(100);
    // Without a frame or saved registers, the compiler returns from anywhere.
    bool leaf = !frame && saved_registers_ == 0;
    if (leaf && exit_label.empty() && rng_.percent(15))
        choice = 71;  // frameless code returns early more often
    unsigned index = functions_;
    if (choice < 44) {
        emit_pool_run();
    } else if (choice < 52) {
        unsigned count = rng_.range(1, 2);
        for (unsigned k = 0; k < count; ++k)
            one_off(rng_);
    } else if (choice < 58) {  // a loop around a run
        std::string top = new_label();
        define(top);
        emit_pool_run();
        insn("dec\tw" + std::to_string(rng_.range(8, 13)) + ",w" + std::to_string(rng_.range(8, 13)));
        insn("bra\tnz," + top);
    } else if (choice < 65) {  // a helper call ends the run
        bool relative = relative_calls() && rng_.percent(70);
        insn((relative ? "rcall\t" : "call\t") + callee(index, relative));
    } else if (choice < 71) {  // a skip over a return or over the way out
        int reg = int(rng_.below(8));
        insn(std::string(rng_.percent(50) ? "btsc\t" : "btss\t") + w(reg) + "," + wlit(rng_.below(16)));
        if (!exit_label.empty())
            insn("bra\t" + exit_label);
        else if (leaf && rng_.percent(70))
            insn("return");
        else if (leaf)
            insn("retlw\t" + wlit(rng_.below(8)) + ",w0");
        else
            insn("inc\tw0,w0");
    } else if (choice < 77) {  // a run, then out: through the shared exit, or an early return
        std::string over;
        if (exit_label.empty() && leaf) {
            over = new_label();
            insn("cp0\tw" + std::to_string(rng_.below(4)));
            insn("bra\tnz," + over);
        }
        emit_pool_run();
        if (rng_.percent(50))
            insn("mov\t" + wlit(rng_.below(4)) + ",w0");
        if (!exit_label.empty())
            insn("bra\t" + exit_label);
        else if (leaf)
            insn("return");
        if (!over.empty())
            define(over);
    } else if (choice < 82) {  // a conditional branch around a run
        std::string over = new_label();
        insn("cp\tw0," + wlit(rng_.below(16)));
        insn("bra\tgt," + over);
        emit_pool_run();
        define(over);
    } else if (choice < 86) {  // a lexical block of the debug information
        if (elf()) {
            unsigned k = block_labels_++;
            define(".LBB" + std::to_string(k));
            emit_pool_run();
            define(".LBE" + std::to_string(k));
        } else {
            emit_pool_run();
        }
    } else if (choice < 89) {  // code the abstraction must leave alone
        line("\t.set\t___PA___,0");
        emit_pool_run();
        line("\t.set\t___PA___,1");
    } else if (choice < 92) {  // registers saved on the stack
        int reg = int(rng_.range(8, 13));
        insn("mov\t" + w(reg) + ",[w15++]");
        emit_pool_run();
        insn("mov\t[--w15]," + w(reg));
    } else if (choice < 94) {  // a table in code
        std::string table = "_tab" + std::to_string(next_label_++);
        insn("bra\t.+" + std::to_string(4));
        line(table + ":");
        line("\t.pword\t" + std::to_string(rng_.below(0x1000000)));
    } else {  // runtime arithmetic with literals
        insn("mov\t" + wlit(rng_.below(100)) + ",w2");
        insn("mov\t" + wlit(0) + ",w3");
        insn("rcall\t" + std::string(rng_.pick(call_routines)));
    }
}

void Generator::function_end(bool frame, unsigned saved, const std::string& exit_label, unsigned index)
{
    auto restore = [&] {
        for (unsigned k = saved; k-- > 0;)
            insn("mov\t[--w15],w" + std::to_string(8 + k));
    };
    if (!exit_label.empty()) {
        define(exit_label);
        if (frame && rng_.percent(50))
            insn("mov\t[w14+2],w0");
        restore();
        if (frame)
            insn("ulnk");
        insn("return");
        return;
    }
    unsigned choice = rng_.below(100);
    bool relative = relative_calls();
    // The compiler ends many functions alike: the last run before the way
    // out repeats, and so does the way out itself.
    if (rng_.percent(50))
        emit_pool_run();
    if (choice < 30) {  // a literal result: the end of a run that can become retlw
        unsigned value = rng_.percent(50) ? rng_.below(2) : rng_.percent(85) ? rng_.below(40) : rng_.range(1020, 1030);
        insn("mov\t" + wlit(value) + ",w0");
        restore();
        if (frame)
            insn("ulnk");
        insn("return");
    } else if (choice < 40 && !frame && saved == 0) {
        insn("retlw\t" + wlit(rng_.below(4)) + ",w0");
    } else if (choice < 45) {
        restore();
        if (frame)
            insn("ulnk");
        insn("clr\tw0");
        insn("return");
    } else if (choice < 60) {  // a tail call
        restore();
        if (frame)
            insn("ulnk");
        unsigned kind = rng_.below(4);
        if (kind == 0)
            insn("goto\t" + callee(index, false));
        else if (kind == 1 && relative)
            insn("bra\t" + callee(index, true));
        else if (kind == 2)
            insn("goto\t" + std::string(rng_.pick(call_routines)));
        else
            insn("bra\t" + std::string(rng_.pick(call_routines)));
    } else if (choice < 70) {  // a runtime call, then out
        insn("call\t" + std::string(rng_.pick(call_routines)));
        restore();
        if (frame)
            insn("ulnk");
        insn("return");
    } else {
        restore();
        if (frame)
            insn("ulnk");
        insn("return");
    }
}

void Generator::function(unsigned index)
{
    std::string name = "_f" + std::to_string(index);
    bool global = rng_.percent(85);
    bool frame = rng_.percent(55);
    std::string section = ".text";
    if (section_style_ == SectionStyle::per_function)
        section = ".text." + name.substr(1);
    else if (section_style_ == SectionStyle::grouped)
        section = rng_.percent(60) ? ".text" : (rng_.percent(50) ? ".text.hot" : "text_b");
    if (section != current_section_) {
        line("\t.section\t" + section + ",code");
        current_section_ = section;
    }
    function_header(name, global);
    if (frame) {
        insn("lnk\t" + wlit(2 * rng_.range(1, 16)));
        if (elf())
            define(".LCFI" + std::to_string(cfi_labels_++));
        unsigned params = rng_.below(3);
        for (unsigned k = 0; k < params; ++k)
            insn("mov\tw" + std::to_string(k) + (k == 0 ? ",[w14]" : ",[w14+" + std::to_string(2 * k) + "]"));
    }
    unsigned saved = rng_.percent(25) ? rng_.range(1, 2) : 0;
    saved_registers_ = saved;
    for (unsigned k = 0; k < saved; ++k)
        insn("mov\tw" + std::to_string(8 + k) + ",[w15++]");
    std::string exit_label = rng_.percent(25) ? new_label() : std::string();
    unsigned segments = rng_.range(2, 8);
    for (unsigned k = 0; k < segments; ++k)
        body_segment(frame, exit_label);
    function_end(frame, saved, exit_label, index);
    function_trailer(name, index);
    if (options_.long_section && !padded_ && index >= pad_function_ && section == ".text")
        pad_section();
}

// Room in the current code section beyond 0x7FFF elements: 0x20000 bytes
// at 4 bytes an element. Nothing after it in this section calls backwards
// with a relative call.
void Generator::pad_section()
{
    line("\t.align\t2");
    define("_pad");
    line("\t.space\t0x20000");
    padded_ = true;
}

void Generator::trailer()
{
    // Data the functions might use.
    unsigned objects = 1 + rng_.below(3);
    line("\t.section\t.ndata,data");
    line("\t.align\t2");
    for (unsigned k = 0; k < objects; ++k) {
        std::string name = "_g" + std::to_string(k);
        line("\t.global\t" + name + "\t; export");
        if (elf()) {
            line("\t.type\t" + name + ",@object");
            define(name);
            line(rng_.percent(50) ? "\t.skip\t2" : "\t.word\t" + std::to_string(rng_.below(0x10000)));
            line("\t.size\t" + name + ", 2");
        } else {
            line("\t.def\t" + name);
            line("\t.val\t" + name);
            line("\t.scl\t2");
            line("\t.type\t4");
            line("\t.size\t2");
            line("\t.endef");
            define(name);
            line(rng_.percent(50) ? "\t.skip\t2" : "\t.word\t" + std::to_string(rng_.below(0x10000)));
        }
    }
    line("\t.section\t.const,psv");
    line("\t.align\t2");
    define("_msg");
    line("\t.asciz\t\"gen " + std::to_string(rng_.below(1000)) + "\"");

    if (elf()) {
        line("\t.section\t.debug_info,info");
        define(".Ldebug_info0");
        line("\t.4byte\t0x" + std::to_string(100 + functions_));
        line("\t.2byte\t0x2");
        line("\t.4byte\t.Ldebug_abbrev0");
        line("\t.byte\t0x4");
        line("\t.uleb128 0x1");
        line("\t.asciz\t\"GNU C 4.5.1\"");
        line("\t.4byte\t.Ldebug_line0");
        for (unsigned k = 0; k < functions_; ++k) {
            line("\t.uleb128 0x2");
            line("\t.asciz\t\"f" + std::to_string(k) + "\"");
            line("\t.4byte\t.LFB" + std::to_string(k));
            line("\t.4byte\t.LFE" + std::to_string(k));
            line("\t.sleb128 -" + std::to_string(1 + rng_.below(200)));
        }
        for (unsigned k = 0; k < block_labels_; ++k) {
            line("\t.uleb128 0x3");
            line("\t.4byte\t.LBB" + std::to_string(k));
            line("\t.4byte\t.LBE" + std::to_string(k));
        }
        line("\t.byte\t0x0");
        line("\t.section\t.debug_abbrev,info");
        define(".Ldebug_abbrev0");
        line("\t.uleb128 0x1");
        line("\t.uleb128 0x11");
        line("\t.byte\t0x1");
        line("\t.byte\t0x0");
        line("\t.section\t.debug_frame,info");
        define(".Lframe0");
        line("\t.4byte\t.LECIE0-.LSCIE0");
        define(".LSCIE0");
        line("\t.4byte\t0xffffffff");
        line("\t.byte\t0x1");
        line("\t.uleb128 0x1");
        line("\t.sleb128 2");
        define(".LECIE0");
        for (unsigned k = 0; k < functions_; ++k) {
            line("\t.4byte\t.LFB" + std::to_string(k));
            line("\t.4byte\t.LFE" + std::to_string(k) + "-.LFB" + std::to_string(k));
        }
        if (use_var_labels_ && var_labels_ > 0) {
            line("\t.section\t.debug_loc,info");
            define(".Ldebug_loc0");
            for (unsigned k = 0; k < var_labels_; ++k)
                line("\t.4byte\t.LVL" + std::to_string(k));
        }
        line("\t.section\t.debug_line,info");
        define(".Ldebug_line0");
        line("\t.4byte\t.LELT0-.LSLT0");
        define(".LSLT0");
        line("\t.2byte\t0x2");
        for (unsigned k = 1; k <= line_labels_; ++k) {
            line("\t.byte\t0x0");
            line("\t.uleb128 0x5");
            line("\t.byte\t0x2");
            line("\t.4byte\t.LM" + std::to_string(k));
        }
        define(".LELT0");
    } else if (rng_.percent(60)) {
        line("\t.section\t.debug_line,info");
        define(".Ldebug_line0");
        line("\t.long\t.LELT0-.LSLT0");
        define(".LSLT0");
        line("\t.word\t0x2");
        define(".LELT0");
    }
    line("\t.section\t.text,code");
    line("\t.set\t___PA___,0");
    line("\t.ident\t\"GCC: (gen) 4.5.1\"");
    line("\t.end");
}

std::string Generator::generate()
{
    unsigned style = rng_.below(10);
    section_style_ = style < 5 ? SectionStyle::single : style < 8 ? SectionStyle::per_function : SectionStyle::grouped;
    // A padded source is most use with short sections beside the long one.
    if (options_.long_section)
        section_style_ = style < 3 ? SectionStyle::single : SectionStyle::grouped;
    unsigned lines = rng_.below(3);
    line_style_ = lines == 0 ? LineStyle::loc : lines == 1 ? LineStyle::line_labels : LineStyle::both;
    use_var_labels_ = elf() && rng_.percent(30);

    line("\t.file\t\"gen.c\"");
    line("\t.section\t.text,code");
    current_section_ = ".text";
    line("\t.set\t___PA___,1");
    make_pool();

    // The padded section should hold repeats of its own: in one section the
    // padding follows the last function, among several sections it follows
    // a function of .text about half-way.
    pad_function_ = section_style_ == SectionStyle::single ? ~0u : options_.lines / 120;
    unsigned budget = options_.lines > lines_ + 60 ? options_.lines - 60 : lines_ + 1;
    // The debug sections take some lines for every function and line label.
    auto trailer_estimate = [&] { return elf() ? 7 * functions_ + 4 * line_labels_ + 3 * block_labels_ + 40 : 20u; };
    while (lines_ + trailer_estimate() < budget || functions_ < 2) {
        function(functions_);
        ++functions_;
    }
    if (options_.long_section && !padded_) {
        if (current_section_ != ".text") {
            line("\t.section\t.text,code");
            current_section_ = ".text";
        }
        pad_section();
    }
    trailer();
    return out_;
}

}  // namespace

std::string proof_generate(unsigned seed, const ProofGenOptions& options)
{
    Generator generator(seed, options);
    return generator.generate();
}

bool proof_parse_build(const std::string& text, ProofBuild& build)
{
    if (text == "elf")
        build = ProofBuild::elf;
    else if (text == "coff")
        build = ProofBuild::coff;
    else
        return false;
    return true;
}
