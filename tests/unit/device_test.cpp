// Device family word, --mcpu and the device database reader.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <new>
#include <string>
#include <vector>

#include "paasmdriver.h"
#include "paasmquodra.h"
#include "platform.h"

namespace {

// ---- Building database files ---------------------------------------------

// The stored form of a string byte: bit i moves to bit i^5 (the bits of
// each pair exchanged, then the nibbles). Written bit by bit here so that
// the files do not depend on the routine under test.
uint8_t test_scramble(uint8_t byte) {
    uint8_t out = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (byte & (1u << bit)) out = static_cast<uint8_t>(out | (1u << (bit ^ 5)));
    return out;
}

struct Bytes {
    std::vector<uint8_t> data;

    Bytes& u8(uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& raw(const std::vector<uint8_t>& v) {
        data.insert(data.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& fill(size_t count, uint8_t v) {
        data.insert(data.end(), count, v);
        return *this;
    }
    // The scrambled bytes of `text`, without a terminator.
    Bytes& scrambled(const std::string& text) {
        for (char c : text) u8(test_scramble(static_cast<uint8_t>(c)));
        return *this;
    }
    Bytes& marker() { return u32(0xFFFFFFFFu); }
    size_t size() const { return data.size(); }
};

struct Record {
    std::string name;
    uint32_t flags;
};

// A whole database: a header, skipped bytes, the marker and the records.
// Field 0 holds the scrambled name and its zero byte (cut to the field's
// size when the name is longer), field 1 the flags, later fields a filler.
struct Database {
    std::string ident = "RIXA";
    uint16_t major = 1;
    uint16_t minor = 33;
    char build = 'B';
    std::vector<uint32_t> sizes = {16, 4, 3};
    std::vector<uint8_t> skipped = {0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0x00};
    std::vector<Record> records;

    Bytes header() const {
        Bytes b;
        b.scrambled(ident).u8(0).u16(major).u16(minor).u8(static_cast<uint8_t>(build));
        b.u32(static_cast<uint32_t>(sizes.size()));
        for (uint32_t s : sizes) b.u32(s);
        return b;
    }

    Bytes record(const Record& r) const {
        Bytes b;
        for (size_t field = 0; field < sizes.size(); ++field) {
            Bytes f;
            if (field == 0) {
                f.scrambled(r.name).u8(0);
            } else if (field == 1) {
                f.u32(r.flags);
            }
            f.data.resize(sizes[field], field >= 2 ? 0x5A : 0x00);
            b.raw(f.data);
        }
        return b;
    }

    Bytes bytes() const {
        Bytes b = header();
        b.raw(skipped).marker();
        for (const Record& r : records) b.raw(record(r).data);
        return b;
    }
};

void write_file(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(out.good()) << path;
}

// Runs `work` and fails the whole test program when it does not finish in
// time: a reader that loops on a malformed file must not hang the suite.
template <typename Result>
Result finishes_quickly(std::function<Result()> work) {
    auto future = std::async(std::launch::async, work);
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        std::fprintf(stdout, "device reader did not finish: hung on a malformed file\n");
        std::fflush(stdout);
        std::_Exit(1);
    }
    return future.get();
}

struct Outcome {
    bool selected = false;
    DeviceSelection selection;
    std::string console;  // everything printed to the standard error stream
};

Outcome select_at(const std::string& database_path, const std::string& name) {
    Outcome outcome;
    testing::internal::CaptureStderr();
    outcome.selected = finishes_quickly<bool>([&] {
        return dev_select_device_at(database_path, name.c_str(), outcome.selection);
    });
    outcome.console = testing::internal::GetCapturedStderr();
    return outcome;
}

std::string w10(const std::string& version) {
    return "PA-W0010 Warning: Resource version (" + version + ") does not match!\n";
}
std::string w11(const std::string& path) {
    return "PA-W0011 Warning: Could not open resource file: " + path + "\n";
}
const std::string w12 = "PA-W0012 Warning: Invalid resource resource file\n";

// A fresh directory <tmp>/a/b/bin standing for the executable's directory.
class DeviceDatabaseTest : public testing::Test {
protected:
    std::string root, bin, own_db, one_up_db, two_up_db;

    void SetUp() override {
        pass_number = 0;
        char pattern[] = "/tmp/zorvel_dev_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        bin = root + "/a/b/bin";
        std::filesystem::create_directories(bin + "/device_files");
        own_db = bin + "/rixa_device.info";
        one_up_db = root + "/a/b/rixa_device.info";
        two_up_db = root + "/a/rixa_device.info";
    }
    void TearDown() override {
        dev_close_database();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string device_file(const std::string& upper_name) const {
        return bin + "/device_files/" + upper_name + ".info";
    }

    // The usual way in: the one-up database with these records.
    Outcome select_one_up(const Database& db, const std::string& name) {
        write_file(one_up_db, db.bytes().data);
        return select_at(own_db, name);
    }

    // The same with the database's bytes given, for files the builder
    // cannot make.
    Outcome select_one_up_raw(const std::vector<uint8_t>& data, const std::string& name = "DEV") {
        write_file(one_up_db, data);
        return select_at(own_db, name);
    }

    // Opens `data` (written as the one-up database) for direct reading.
    DeviceFileHeader* open_raw(const std::vector<uint8_t>& data) {
        write_file(one_up_db, data);
        std::string path = own_db;
        DeviceFileHeader* header = dev_open_database(path, nullptr);
        EXPECT_EQ(path, one_up_db);
        return header;
    }
};

Database db_with(std::vector<Record> records) {
    Database db;
    db.records = std::move(records);
    return db;
}

// ---- Scrambling ------------------------------------------------------------

TEST(DeviceScramble, KnownBytes) {
    struct Case {
        uint8_t plain, stored;
    };
    // bit i goes to bit i^5: 0x01 -> 0x20, 0x80 -> 0x04, 'R' 0x52 -> 0x1A.
    const Case cases[] = {{0x00, 0x00}, {0x01, 0x20}, {0x02, 0x10}, {0x80, 0x04}, {0x52, 0x1A},
                          {0x0F, 0xF0}, {0x55, 0xAA}, {0xFF, 0xFF}, {0x41, 0x28}};
    for (const Case& c : cases) {
        EXPECT_EQ(dev_scramble_byte(c.plain), c.stored) << int(c.plain);
        EXPECT_EQ(dev_scramble_byte(c.stored), c.plain) << int(c.stored);
    }
}

TEST(DeviceScramble, IsItsOwnInverseAndMapsZeroOnlyToZero) {
    for (int b = 0; b < 256; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        EXPECT_EQ(dev_scramble_byte(dev_scramble_byte(byte)), byte) << b;
        EXPECT_EQ(dev_scramble_byte(byte) == 0, b == 0) << b;
        EXPECT_EQ(dev_scramble_byte(byte), test_scramble(byte)) << b;
    }
}

TEST(DeviceScramble, UnscrambleStringStopsAtZero) {
    char text[] = {0x1A, 0x28, 0x00, 0x1A, 0x00};
    dev_unscramble_string(text);
    EXPECT_EQ(text[0], 'R');
    EXPECT_EQ(text[1], 'A');
    EXPECT_EQ(text[2], 0);
    EXPECT_EQ(static_cast<uint8_t>(text[3]), 0x1A);  // beyond the terminator: untouched
}

// ---- Path stripping --------------------------------------------------------

TEST(DeviceStripPath, MovesFileNameOneDirectoryUp) {
    struct Case {
        const char* path;
        const char* once;
        const char* twice;
    };
    const Case cases[] = {
        {"/x/a/b/bin/rixa_device.info", "/x/a/b/rixa_device.info", "/x/a/rixa_device.info"},
        {"C:\\t\\a\\bin\\rixa_device.info", "C:\\t\\a\\rixa_device.info", "C:\\t\\rixa_device.info"},
        {"/x/a\\bin/rixa_device.info", "/x/a/rixa_device.info", "/x/rixa_device.info"},
        // A run of equal separators counts as one separator.
        {"/x/a//bin//rixa_device.info", "/x/a//rixa_device.info", "/x//rixa_device.info"},
        {"/x\\\\a\\\\\\rixa_device.info", "/x\\\\\\rixa_device.info", "\\\\\\rixa_device.info"},
        {"/bin/rixa_device.info", "/rixa_device.info", "/rixa_device.info"},
        {"rixa_device.info", "rixa_device.info", "rixa_device.info"},
    };
    for (const Case& c : cases) {
        std::string path = c.path;
        dev_strip_path(path);
        EXPECT_EQ(path, c.once) << c.path;
        dev_strip_path(path);
        EXPECT_EQ(path, c.twice) << c.path;
    }
}

// ---- Generic names -----------------------------------------------------------

TEST(DeviceGeneric, TableInOrder) {
    const char* names[] = {"GENERIC-16BIT", "GENERIC-16BIT-DA", "GENERIC-16BIT-EP",
                           "GENERIC-16DSP-CH"};
    const uint32_t families[] = {0x1, 0x8, 0x40, 0x1000040};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(generic_device_table[i].name, names[i]);
        EXPECT_EQ(generic_device_table[i].family, families[i]);
    }
}

TEST_F(DeviceDatabaseTest, GenericNamesInAnyCaseTouchNoFile) {
    struct Case {
        const char* name;
        uint32_t family;
    };
    const Case cases[] = {{"GENERIC-16BIT", 0x1},       {"generic-16bit-da", 0x8},
                          {"Generic-16Bit-Ep", 0x40},   {"generic-16dsp-ch", 0x1000040},
                          {"GENERIC-16bit-DA", 0x8}};
    for (const Case& c : cases) {
        // Nothing exists yet: a lookup would warn that no file opens.
        Outcome none = select_at(own_db, c.name);
        EXPECT_TRUE(none.selected) << c.name;
        EXPECT_EQ(none.selection.family, c.family) << c.name;
        EXPECT_EQ(none.selection.name, c.name);
        EXPECT_EQ(none.console, "");

        // Every file that a lookup could read names the device otherwise.
        Database db = db_with({{c.name, 0x40000080}});
        std::string upper = c.name;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        write_file(device_file(upper), db.bytes().data);
        write_file(own_db, db.bytes().data);
        write_file(one_up_db, db.bytes().data);
        write_file(two_up_db, db.bytes().data);
        Outcome files = select_at(own_db, c.name);
        EXPECT_TRUE(files.selected) << c.name;
        EXPECT_EQ(files.selection.family, c.family) << c.name;
        EXPECT_EQ(files.console, "");
    }
}

TEST_F(DeviceDatabaseTest, NearGenericNameGoesToTheDatabase) {
    Outcome o = select_one_up(db_with({{"GENERIC-16BIT-X", 0x40000080}}), "generic-16bit-x");
    EXPECT_TRUE(o.selected);
    EXPECT_EQ(o.selection.family, 0x20u);
    EXPECT_EQ(o.selection.name, "GENERIC-16BIT-X");
}

// ---- Where the database is found -------------------------------------------

TEST_F(DeviceDatabaseTest, LookupOrder) {
    struct Case {
        const char* what;
        bool per_device, lower_case_per_device, own, one_up, two_up;
        bool selected;
        uint32_t family;
        int warned_path;  // 0 none, 2 the database two directories up
    };
    // Each file gives the device a family of its own:
    // per-device 0x40, own directory 0x3, one up 0x8, two up 0x4.
    const Case cases[] = {
        {"all files", true, false, true, true, true, true, 0x40, 0},
        {"per-device only", true, false, false, false, false, true, 0x40, 0},
        {"no per-device file", false, false, true, true, true, true, 0x8, 0},
        {"one up only", false, false, false, true, false, true, 0x8, 0},
        {"two up and own", false, false, true, false, true, true, 0x4, 0},
        {"own directory only", false, false, true, false, false, false, 0, 2},
        {"lower-case per-device file", false, true, false, false, true, true, 0x4, 0},
        {"nothing", false, false, false, false, false, false, 0, 2},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(device_file("XY9"));
        std::filesystem::remove(device_file("xy9"));
        std::filesystem::remove(own_db);
        std::filesystem::remove(one_up_db);
        std::filesystem::remove(two_up_db);
        if (c.per_device) write_file(device_file("XY9"), db_with({{"Xy9", 0x40000040}}).bytes().data);
        if (c.lower_case_per_device)
            write_file(device_file("xy9"), db_with({{"Xy9", 0x40000040}}).bytes().data);
        if (c.own) write_file(own_db, db_with({{"Xy9", 0x40000001}}).bytes().data);
        if (c.one_up) write_file(one_up_db, db_with({{"Xy9", 0x40000004}}).bytes().data);
        if (c.two_up) write_file(two_up_db, db_with({{"Xy9", 0x40000020}}).bytes().data);

        Outcome o = select_at(own_db, "xy9");
        EXPECT_EQ(o.selected, c.selected) << c.what;
        EXPECT_EQ(o.selection.family, c.family) << c.what;
        EXPECT_EQ(o.selection.name, c.selected ? "Xy9" : "") << c.what;
        EXPECT_EQ(o.console, c.warned_path == 2 ? w11(two_up_db) : "") << c.what;
    }
}

TEST_F(DeviceDatabaseTest, OpenLeavesPathLastTried) {
    struct Case {
        const char* what;
        bool per_device, one_up;
        int expected;  // 0 per-device, 1 one up, 2 two up
    };
    const Case cases[] = {{"per-device", true, true, 0}, {"one up", false, true, 1},
                          {"nothing", false, false, 2}};
    for (const Case& c : cases) {
        std::filesystem::remove(device_file("DEV"));
        std::filesystem::remove(one_up_db);
        if (c.per_device) write_file(device_file("DEV"), db_with({}).bytes().data);
        if (c.one_up) write_file(one_up_db, db_with({}).bytes().data);
        std::string path = own_db;
        DeviceFileHeader* header = dev_open_database(path, "dev");
        const std::string expected[] = {device_file("DEV"), one_up_db, two_up_db};
        EXPECT_EQ(path, expected[c.expected]) << c.what;
        EXPECT_EQ(header != nullptr, c.expected != 2) << c.what;
        dev_close_database();
    }
}

TEST_F(DeviceDatabaseTest, PerDevicePathThatIsADirectoryCannotBeOpened) {
    // The path exists, so it is the one chosen; it cannot be read as a
    // file, and the warning names it. The database one up is not tried.
    std::filesystem::create_directories(device_file("DIRDEV"));
    write_file(one_up_db, db_with({{"DIRDEV", 0x40000001}}).bytes().data);
    Outcome o = select_at(own_db, "dirdev");
    EXPECT_FALSE(o.selected);
    EXPECT_EQ(o.console, w11(device_file("DIRDEV")));

    // Likewise a directory where the database one up should be.
    std::filesystem::remove(one_up_db);
    std::filesystem::create_directories(one_up_db);
    o = select_at(own_db, "other");
    EXPECT_FALSE(o.selected);
    EXPECT_EQ(o.console, w11(one_up_db));
}

TEST_F(DeviceDatabaseTest, OpenWithoutNameUsesDatabaseOrOneUp) {
    write_file(own_db, db_with({}).bytes().data);
    std::string path = own_db;
    EXPECT_NE(dev_open_database(path, nullptr), nullptr);
    EXPECT_EQ(path, own_db);
    dev_close_database();

    std::filesystem::remove(own_db);
    write_file(one_up_db, db_with({}).bytes().data);
    path = own_db;
    EXPECT_NE(dev_open_database(path, nullptr), nullptr);
    EXPECT_EQ(path, one_up_db);
}

TEST_F(DeviceDatabaseTest, LongDeviceNames) {
    // Short enough for a file name: the per-device file is found.
    std::string name200(200, 'q');
    std::string upper200(200, 'Q');
    Database per = db_with({{name200, 0x40000002}});
    per.sizes = {260, 4, 1};
    write_file(device_file(upper200), per.bytes().data);
    Outcome o = select_at(own_db, name200);
    EXPECT_TRUE(o.selected);
    EXPECT_EQ(o.selection.family, 0x3u);

    // Too long for a file name: the database one up names it.
    std::string name1000;
    for (int i = 0; i < 1000; ++i) name1000 += static_cast<char>('a' + i % 26);
    Database db = db_with({{"other", 0x40000001}, {name1000, 0x40000010}});
    db.sizes = {1100, 4, 1};
    o = select_one_up(db, name1000);
    EXPECT_TRUE(o.selected);
    EXPECT_EQ(o.selection.family, 0x4u);
    EXPECT_EQ(o.selection.name, name1000);
}

// ---- Ident and version -------------------------------------------------------

TEST_F(DeviceDatabaseTest, WrongIdentWarnsAndFails) {
    struct Case {
        std::string ident;
        bool valid;
    };
    const Case cases[] = {{"RIXA", true},  {"RIXB", false}, {"rixa", false},
                          {"RIXAX", false}, {"RIX", false},  {"", false}};
    for (const Case& c : cases) {
        Database db = db_with({{"D1", 0x40000001}});
        db.ident = c.ident;
        Outcome o = select_one_up(db, "D1");
        EXPECT_EQ(o.selected, c.valid) << c.ident;
        EXPECT_EQ(o.console, c.valid ? "" : w12) << c.ident;
        EXPECT_EQ(o.selection.family, c.valid ? 0x3u : 0u) << c.ident;
    }
}

TEST_F(DeviceDatabaseTest, IdentStoredUnscrambledIsWrong) {
    Database db = db_with({{"D1", 0x40000001}});
    Bytes b;
    b.u8('R').u8('I').u8('X').u8('A').u8(0).u16(1).u16(33).u8('B').u32(3).u32(16).u32(4).u32(3);
    b.marker().raw(db.record(db.records[0]).data);
    write_file(one_up_db, b.data);
    Outcome o = select_at(own_db, "D1");
    EXPECT_FALSE(o.selected);
    EXPECT_EQ(o.console, w12);
}

TEST_F(DeviceDatabaseTest, VersionMismatchWarnsAndStillSearches) {
    struct Case {
        uint16_t major, minor;
        const char* printed;  // nullptr: no warning
    };
    const Case cases[] = {{1, 33, nullptr}, {1, 5, "1.05"},  {2, 33, "2.33"},
                          {1, 133, "1.133"}, {0, 0, "0.00"}, {1, 34, "1.34"},
                          {65535, 65535, "65535.65535"}};
    for (const Case& c : cases) {
        Database db = db_with({{"D1", 0x40000040}});
        db.major = c.major;
        db.minor = c.minor;
        Outcome o = select_one_up(db, "d1");
        EXPECT_TRUE(o.selected) << c.major << "." << c.minor;
        EXPECT_EQ(o.selection.family, 0x40u);
        EXPECT_EQ(o.console, c.printed ? w10(c.printed) : "") << c.major << "." << c.minor;
    }
}

TEST_F(DeviceDatabaseTest, HeaderFieldsAsRead) {
    Database db = db_with({});
    db.major = 0x0102;
    db.minor = 0x0304;
    db.build = 'Q';
    db.sizes = {7, 5, 0x01020304};
    DeviceFileHeader* header = open_raw(db.bytes().data);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->ident, "RIXA");
    EXPECT_EQ(header->major, 0x0102);
    EXPECT_EQ(header->minor, 0x0304);
    EXPECT_EQ(header->build, 'Q');
    EXPECT_EQ(header->field_count, 3u);
    EXPECT_EQ(header->field_sizes, (std::vector<uint32_t>{7, 5, 0x01020304}));
}

// ---- Flags and the family --------------------------------------------------

TEST_F(DeviceDatabaseTest, FlagMapping) {
    struct Case {
        uint32_t flags;
        uint32_t family;
    };
    const Case cases[] = {
        // One bit at a time, in the order they are tested.
        {0x40000001, 0x3}, {0x40000040, 0x40}, {0x40000004, 0x8}, {0x40000002, 0x3},
        {0x40000020, 0x4}, {0x40000080, 0x20}, {0x40000008, 0x4}, {0x40000010, 0x4},
        // The last true test wins.
        {0x40000041, 0x40}, {0x400000C0, 0x20}, {0x40000044, 0x8}, {0x40000006, 0x3},
        {0x40000022, 0x4}, {0x400000A0, 0x20}, {0x40000088, 0x4}, {0x400000C7, 0x20},
        {0x400000FF, 0x4}, {0x40000005, 0x8}, {0x40000042, 0x3}, {0x40000060, 0x4},
        // Accepted, but none of the mapped bits.
        {0x40000000, 0x0}, {0x40000100, 0x0}, {0x4FFFFF00, 0x0},
    };
    for (const Case& c : cases) {
        Outcome o = select_one_up(db_with({{"DEV", c.flags}}), "dev");
        EXPECT_TRUE(o.selected) << std::hex << c.flags;
        EXPECT_EQ(o.selection.family, c.family) << std::hex << c.flags;
        EXPECT_EQ(o.console, "");
    }
}

TEST_F(DeviceDatabaseTest, RecordSearch) {
    struct Case {
        const char* what;
        std::vector<Record> records;
        bool selected;
        uint32_t family;
        const char* name;
    };
    const Case cases[] = {
        {"flags not accepted, nothing later", {{"DEV", 0x80000001}}, true, 0, "DEV"},
        {"top bits 0000", {{"DEV", 0x00000041}}, true, 0, "DEV"},
        {"top bits 0101", {{"DEV", 0x50000041}}, true, 0, "DEV"},
        {"top bits 1100", {{"DEV", 0xC0000041}}, true, 0, "DEV"},
        {"passed over, later record accepted",
         {{"DEV", 0x80000001}, {"OTHER", 0x40000004}, {"dEv", 0x40000040}}, true, 0x40, "dEv"},
        {"first accepted record stops the search",
         {{"Dev", 0x40000001}, {"DEV", 0x40000080}}, true, 0x3, "Dev"},
        {"found after others", {{"A", 0x40000001}, {"B", 0x40000002}, {"DEV", 0x40000080}}, true,
         0x20, "DEV"},
        {"passed over keeps the last matched name", {{"dev", 0x80000001}, {"DEV", 0x10000040}}, true,
         0, "DEV"},
        {"name not present", {{"A", 0x40000001}, {"DEVICE", 0x40000001}, {"DE", 0x40000001}}, false,
         0, ""},
        {"no records", {}, false, 0, ""},
    };
    for (const Case& c : cases) {
        Outcome o = select_one_up(db_with(c.records), "dev");
        EXPECT_EQ(o.selected, c.selected) << c.what;
        EXPECT_EQ(o.selection.family, c.family) << c.what;
        EXPECT_EQ(o.selection.name, c.name) << c.what;
        EXPECT_EQ(o.console, "") << c.what;
    }
}

TEST_F(DeviceDatabaseTest, FewerThanThreeFieldsIsSearchedForNothing) {
    struct Case {
        std::vector<uint32_t> sizes;
        bool selected;
    };
    const Case cases[] = {{{}, false}, {{16}, false}, {{16, 4}, false}, {{16, 4, 1}, true}};
    for (const Case& c : cases) {
        Database db = db_with({{"DEV", 0x40000001}});
        db.sizes = c.sizes;
        Outcome o = select_one_up(db, "DEV");
        EXPECT_EQ(o.selected, c.selected) << c.sizes.size();
        EXPECT_EQ(o.console, "") << c.sizes.size();
    }
}

TEST_F(DeviceDatabaseTest, LaterFieldsOfAnySizeArePassedOver) {
    Database db = db_with({{"A", 0x40000001}, {"B", 0x40000002}, {"DEV", 0x40000020}});
    db.sizes = {5, 6, 0, 9, 1};
    Outcome o = select_one_up(db, "dev");
    EXPECT_TRUE(o.selected);
    EXPECT_EQ(o.selection.family, 0x4u);
}

// ---- Malformed files -------------------------------------------------------

TEST_F(DeviceDatabaseTest, AllFieldsEmptyIsSearchedForNothing) {
    Database db = db_with({});
    db.sizes = {0, 0, 0};
    Bytes b = db.bytes();
    b.scrambled("DEV").u8(0).u32(0x40000001).fill(200, 0x33);
    Outcome o = select_one_up_raw(b.data);
    EXPECT_FALSE(o.selected);
    EXPECT_EQ(o.console, "");

    ASSERT_NE(open_raw(b.data), nullptr);
    EXPECT_EQ(finishes_quickly<int>([] { return dev_seek_record(0); }), 0);
    EXPECT_EQ(finishes_quickly<int>([] { return dev_seek_record(5); }), 0);
}

TEST_F(DeviceDatabaseTest, FieldCountBeyondTheFileIsAHeaderCutShort) {
    struct Case {
        uint32_t count;
        size_t sizes_present;
        uint32_t count_read;
    };
    const Case cases[] = {
        {0xFFFFFFFFu, 3, 0}, {0x40000000u, 3, 0}, {0x3FFFFFFFu, 0, 0},
        {5, 4, 0},           {4, 3, 0},           {3, 3, 3},  // exactly the bytes left
    };
    for (const Case& c : cases) {
        Bytes b;
        b.scrambled("RIXA").u8(0).u16(1).u16(33).u8('B').u32(c.count);
        const uint32_t sizes[] = {8, 4, 1, 1};
        for (size_t i = 0; i < c.sizes_present; ++i) b.u32(sizes[i]);
        DeviceFileHeader* header = finishes_quickly<DeviceFileHeader*>([&] { return open_raw(b.data); });
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->field_count, c.count_read) << c.count;
        EXPECT_EQ(header->field_sizes.size(), c.count_read) << c.count;
        dev_close_database();

        Outcome o = select_one_up_raw(b.data);
        EXPECT_FALSE(o.selected) << c.count;
        EXPECT_EQ(o.console, "") << c.count;
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define DEVICE_TEST_ADDRESS_LIMIT 0  // the sanitizer needs a vast address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DEVICE_TEST_ADDRESS_LIMIT 0
#else
#define DEVICE_TEST_ADDRESS_LIMIT 1
#endif
#else
#define DEVICE_TEST_ADDRESS_LIMIT 1
#endif

#if DEVICE_TEST_ADDRESS_LIMIT
// A field count of 0xFFFFFFFF would take 16 GiB for its sizes. With the
// address space capped 512 MiB above what the test already uses, any such
// allocation throws instead of passing unnoticed on an overcommitting host.
TEST_F(DeviceDatabaseTest, HugeFieldCountAllocatesNothing) {
    Bytes b;
    b.scrambled("RIXA").u8(0).u16(1).u16(33).u8('B').u32(0xFFFFFFFFu).u32(16).u32(4).u32(3);
    write_file(one_up_db, b.data);

    long pages = 0;
    {
        std::ifstream statm("/proc/self/statm");
        statm >> pages;
    }
    ASSERT_GT(pages, 0);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    struct rlimit capped = saved;
    rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                 (static_cast<rlim_t>(512) << 20);
    if (saved.rlim_max == RLIM_INFINITY || cap < saved.rlim_max) capped.rlim_cur = cap;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);

    bool threw = false;
    uint32_t count = 1;
    try {
        std::string path = own_db;
        DeviceFileHeader* header = dev_open_database(path, nullptr);
        if (header != nullptr) count = header->field_count;
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(threw);
    EXPECT_EQ(count, 0u);
}
#endif

TEST_F(DeviceDatabaseTest, HeaderCutShortKeepsZeros) {
    Database db = db_with({{"DEV", 0x40000001}});
    db.major = 1;
    db.minor = 33;
    db.build = 'K';
    const std::vector<uint8_t> full = db.bytes().data;
    // The header: ident 5 bytes, major 2, minor 2, build 1, count 4, sizes 12.
    struct Case {
        size_t length;
        uint16_t major, minor;
        char build;
        uint32_t count;
        const char* warned;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, "0.00"},   {3, 0, 0, 0, 0, "0.00"},   {5, 0, 0, 0, 0, "0.00"},
        {6, 0, 0, 0, 0, "0.00"},   {7, 1, 0, 0, 0, "1.00"},   {8, 1, 0, 0, 0, "1.00"},
        {9, 1, 33, 0, 0, nullptr}, {10, 1, 33, 'K', 0, nullptr}, {13, 1, 33, 'K', 0, nullptr},
        {14, 1, 33, 'K', 0, nullptr}, {22, 1, 33, 'K', 0, nullptr}, {25, 1, 33, 'K', 0, nullptr}, {26, 1, 33, 'K', 3, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(c.length));
        DeviceFileHeader* header = open_raw(cut);
        ASSERT_NE(header, nullptr) << c.length;
        EXPECT_EQ(header->major, c.major) << c.length;
        EXPECT_EQ(header->minor, c.minor) << c.length;
        EXPECT_EQ(header->build, c.build) << c.length;
        EXPECT_EQ(header->field_count, c.count) << c.length;
        dev_close_database();

        // An ident cut short is not "RIXA"; past the ident the version decides.
        Outcome o = select_one_up_raw(cut);
        EXPECT_FALSE(o.selected) << c.length;
        const std::string expected = c.length < 4 ? w12 : (c.warned ? w10(c.warned) : "");
        EXPECT_EQ(o.console, expected) << c.length;
    }
}

TEST_F(DeviceDatabaseTest, IdentWithoutZeroEndsAtEndOfFile) {
    Bytes b;
    b.scrambled("RIXA");
    DeviceFileHeader* header = open_raw(b.data);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->ident, "RIXA");
    EXPECT_EQ(header->field_count, 0u);
    dev_close_database();

    Bytes longer;
    std::string text;
    for (int i = 0; i < 1000; ++i) text += static_cast<char>('A' + i % 26);
    longer.scrambled(text);
    header = open_raw(longer.data);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->ident, text);
    dev_close_database();

    Outcome o = select_one_up_raw(longer.data);
    EXPECT_FALSE(o.selected);
    EXPECT_EQ(o.console, w12);
}

TEST_F(DeviceDatabaseTest, NameFieldWithoutZeroByte) {
    struct Case {
        const char* requested;
        bool selected;
        uint32_t family;
    };
    const Case cases[] = {{"abcd", true, 0x40}, {"wxyz", true, 0x8}, {"abc", false, 0},
                          {"abcde", false, 0}};
    Database db = db_with({{"WXYZ", 0x40000004}, {"ABCD", 0x40000040}});
    db.sizes = {4, 4, 2};  // the names fill field 0 with no zero byte
    for (const Case& c : cases) {
        Outcome o = select_one_up(db, c.requested);
        EXPECT_EQ(o.selected, c.selected) << c.requested;
        EXPECT_EQ(o.selection.family, c.family) << c.requested;
    }
}

TEST_F(DeviceDatabaseTest, NoMarker) {
    const std::vector<std::vector<uint8_t>> tails = {
        {}, {0xFF, 0xFF, 0xFF}, {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF}};
    for (const std::vector<uint8_t>& tail : tails) {
        Database db;
        Bytes b = db.header();
        b.raw(tail);
        Outcome o = select_one_up_raw(b.data);
        EXPECT_FALSE(o.selected) << tail.size();
        EXPECT_EQ(o.console, "");
    }
}

TEST_F(DeviceDatabaseTest, LastRecordCutShort) {
    Database db = db_with({{"B", 0x40000001}});
    Bytes b = db.bytes();
    Bytes partial;
    partial.scrambled("DEV").u8(0);
    partial.data.resize(16, 0);  // the whole name field, then the file ends
    partial.u8(0x01);            // one byte of the flags
    b.raw(partial.data);
    Outcome o = select_one_up_raw(b.data);
    // The name matched; the flags could not be read, so the family stays 0.
    EXPECT_TRUE(o.selected);
    EXPECT_EQ(o.selection.family, 0u);
    EXPECT_EQ(o.selection.name, "DEV");

    // Cut inside the name field: no match.
    std::vector<uint8_t> shorter = db.bytes().data;
    shorter.push_back(test_scramble('D'));
    o = select_one_up_raw(shorter);
    EXPECT_FALSE(o.selected);
}

TEST_F(DeviceDatabaseTest, RecordSizeIsSummedIn64Bits) {
    // 8 + 4 + 0xFFFFFFF8 + 4 wraps to 8 in 32 bits.
    Database db = db_with({});
    db.sizes = {8, 4, 0xFFFFFFF8u, 4};
    Bytes b = db.bytes();
    b.fill(64, 0x21);
    ASSERT_NE(open_raw(b.data), nullptr);
    EXPECT_EQ(dev_seek_record(0), 1);
    EXPECT_EQ(dev_seek_record(1), 0);
    EXPECT_EQ(dev_seek_record(3), 0);
}

// ---- The reader itself -----------------------------------------------------

TEST_F(DeviceDatabaseTest, SeekForwardAndBack) {
    Database db = db_with({{"REC0", 0x40000001}, {"REC1", 0x40000002}, {"REC2", 0x40000004}});
    ASSERT_NE(open_raw(db.bytes().data), nullptr);
    struct Step {
        uint32_t index;
        bool exists;
        const char* name;
        bool read_flags;
        uint32_t flags;
    };
    const Step steps[] = {
        {2, true, "REC2", true, 0x40000004}, {0, true, "REC0", false, 0},
        {1, true, "REC1", true, 0x40000002}, {1, true, nullptr, false, 0},  // back to the start of record 1
        {3, false, nullptr, false, 0},      {0, true, "REC0", true, 0x40000001},
        {2, true, "REC2", false, 0},        {9, false, nullptr, false, 0},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(dev_seek_record(s.index), s.exists ? 1 : 0) << s.index;
        if (s.name == nullptr) continue;
        DeviceField name;
        ASSERT_EQ(dev_read_field(DEV_FIELD_STRING, name), 1) << s.index;
        EXPECT_EQ(name.kind, DEV_FIELD_STRING);
        EXPECT_EQ(name.text, s.name);
        if (s.read_flags) {
            DeviceField flags;
            ASSERT_EQ(dev_read_field(DEV_FIELD_U32, flags), 1);
            EXPECT_EQ(flags.u32, s.flags);
        }
    }
}

TEST_F(DeviceDatabaseTest, SeekAfterFailedReadFindsRecordsAgain) {
    Database db = db_with({{"REC0", 0x40000001}, {"REC1", 0x40000002}});
    Bytes b = db.bytes();
    b.scrambled("RE");  // record 2 cut inside its name
    ASSERT_NE(open_raw(b.data), nullptr);
    ASSERT_EQ(dev_seek_record(2), 1);
    DeviceField field;
    EXPECT_EQ(dev_read_field(DEV_FIELD_STRING, field), 0);
    ASSERT_EQ(dev_seek_record(1), 1);
    ASSERT_EQ(dev_read_field(DEV_FIELD_STRING, field), 1);
    EXPECT_EQ(field.text, "REC1");
    ASSERT_EQ(dev_seek_record(0), 1);
    ASSERT_EQ(dev_read_field(DEV_FIELD_STRING, field), 1);
    EXPECT_EQ(field.text, "REC0");
}

TEST_F(DeviceDatabaseTest, FieldSizesOfKinds) {
    EXPECT_EQ(dev_field_size(DEV_FIELD_STRING), 0u);
    EXPECT_EQ(dev_field_size(DEV_FIELD_BYTE), 1u);
    EXPECT_EQ(dev_field_size(DEV_FIELD_U16_PAIR), 4u);
    EXPECT_EQ(dev_field_size(DEV_FIELD_U32), 4u);
    for (int kind : {0, 5, -1, 99}) EXPECT_GT(dev_field_size(kind), 0xFFFFFFFFull) << kind;
}

TEST_F(DeviceDatabaseTest, ReadFieldKinds) {
    Database db;
    db.sizes = {3, 4, 5, 2, 4};
    Bytes b = db.header();
    b.raw(db.skipped).marker();
    b.u8(test_scramble('Z')).u8(0x77).u8(0x78);   // field 0
    b.u32(0x40302010);                            // field 1
    b.u16(0x1234).u16(0xABCD).u8(0x99);           // field 2
    b.u16(0x5555);                                // field 3
    b.u32(0x01020304);                            // field 4
    ASSERT_NE(open_raw(b.data), nullptr);

    DeviceField field;
    EXPECT_EQ(dev_read_field(DEV_FIELD_BYTE, field), 0);  // the marker is not found yet
    ASSERT_EQ(dev_seek_record(0), 1);

    ASSERT_EQ(dev_read_field(DEV_FIELD_BYTE, field), 1);
    EXPECT_EQ(field.kind, DEV_FIELD_BYTE);
    EXPECT_EQ(field.byte, test_scramble('Z'));  // a byte is not unscrambled
    ASSERT_EQ(dev_read_field(DEV_FIELD_U32, field), 1);
    EXPECT_EQ(field.u32, 0x40302010u);
    ASSERT_EQ(dev_read_field(DEV_FIELD_U16_PAIR, field), 1);
    EXPECT_EQ(field.pair[0], 0x1234);
    EXPECT_EQ(field.pair[1], 0xABCD);
    // Field 3 holds 2 bytes: too small for a 32-bit value or a pair.
    EXPECT_EQ(dev_read_field(DEV_FIELD_U32, field), 0);
    EXPECT_EQ(field.kind, DEV_FIELD_U32);
    EXPECT_EQ(dev_read_field(DEV_FIELD_U16_PAIR, field), 0);
    EXPECT_EQ(dev_read_field(99, field), 0);
    EXPECT_EQ(field.kind, 99);
    ASSERT_EQ(dev_read_field(DEV_FIELD_BYTE, field), 1);  // the failures read nothing
    EXPECT_EQ(field.byte, 0x55);
    ASSERT_EQ(dev_read_field(DEV_FIELD_U32, field), 1);
    EXPECT_EQ(field.u32, 0x01020304u);
    EXPECT_EQ(dev_read_field(DEV_FIELD_BYTE, field), 0);  // past the last field
}

TEST_F(DeviceDatabaseTest, AlignFieldCursorAfterRawReads) {
    Database db = db_with({{"NAME", 0x40001234}, {"NEXT", 0x40005678}});
    db.sizes = {6, 4, 2};
    ASSERT_NE(open_raw(db.bytes().data), nullptr);
    ASSERT_EQ(dev_seek_record(0), 1);
    uint8_t byte = 0;
    for (int i = 0; i < 6; ++i) ASSERT_EQ(dev_read_byte(byte), 1);  // all of field 0
    DeviceField field;
    ASSERT_EQ(dev_read_field(DEV_FIELD_U32, field), 1);
    EXPECT_EQ(field.u32, 0x40001234u);

    // One byte into field 1: the field is partly read and cannot be read.
    ASSERT_EQ(dev_seek_record(1), 1);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(dev_read_byte(byte), 1);
    EXPECT_EQ(dev_read_field(DEV_FIELD_U32, field), 0);
    // Reading the field's rest by hand lands on field 2.
    for (int i = 0; i < 3; ++i) ASSERT_EQ(dev_read_byte(byte), 1);
    EXPECT_EQ(dev_align_field_cursor(), 1);
    ASSERT_EQ(dev_read_field(DEV_FIELD_BYTE, field), 1);
    EXPECT_EQ(field.byte, 0x5A);
}

TEST_F(DeviceDatabaseTest, RawReadsAreLittleEndian) {
    Database db;
    db.skipped = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAB, 0xCD};
    Bytes b = db.header();
    b.raw(db.skipped);
    ASSERT_NE(open_raw(b.data), nullptr);
    uint16_t v16 = 0;
    uint32_t v32 = 0;
    uint8_t v8 = 0;
    ASSERT_EQ(dev_read_u16(v16), 1);
    EXPECT_EQ(v16, 0x1234);
    ASSERT_EQ(dev_read_u32(v32), 1);
    EXPECT_EQ(v32, 0x12345678u);
    ASSERT_EQ(dev_read_byte(v8), 1);
    EXPECT_EQ(v8, 0xAB);
    v32 = 7;
    EXPECT_EQ(dev_read_u32(v32), 0);  // one byte left
    EXPECT_EQ(v32, 7u);
    EXPECT_EQ(dev_read_byte(v8), 0);
    v16 = 9;
    EXPECT_EQ(dev_read_u16(v16), 0);
    EXPECT_EQ(v16, 9);
}

// ---- --mcpu ------------------------------------------------------------------

TEST(DeviceFamily, InitiallyTwo) { EXPECT_EQ(device_family_flags, 2u); }

class DeviceMcpuTest : public testing::Test {
protected:
    void SetUp() override {
        pass_number = 0;
        device_family_flags = 2;
    }
    void TearDown() override { device_family_flags = 2; }

    // The database path a failed lookup names: two directories above the
    // executable's directory.
    static std::string two_up_from_executable() {
        std::string dir = platform_executable_dir();
        for (int i = 0; i < 2; ++i) dir = dir.substr(0, dir.find_last_of('/'));
        return dir + "/rixa_device.info";
    }

    static int parse(const char* text, std::string& console) {
        testing::internal::CaptureStderr();
        int result = finishes_quickly<int>([text] { return dev_parse_mcpu_option(text); });
        console = testing::internal::GetCapturedStderr();
        return result;
    }
};

TEST_F(DeviceMcpuTest, OptionText) {
    struct Case {
        const char* text;
        int result;
        uint32_t family;
    };
    const Case cases[] = {
        {"mcpu=GENERIC-16BIT", 1, 0x1},       {"mcpu=generic-16bit-da", 1, 0x8},
        {"mcpu=Generic-16bit-EP", 1, 0x40},   {"mcpu=GENERIC-16DSP-CH", 1, 0x1000040},
        {"MCPU=GENERIC-16BIT", 0, 2},         {"mcpu", 0, 2},
        {"mcpuGENERIC-16BIT", 0, 2},          {"mcpu:GENERIC-16BIT", 0, 2},
        {"cpu=GENERIC-16BIT", 0, 2},          {" mcpu=GENERIC-16BIT", 0, 2},
        {"--mcpu=GENERIC-16BIT", 0, 2},       {"", 0, 2},
    };
    for (const Case& c : cases) {
        device_family_flags = 2;
        std::string console;
        EXPECT_EQ(parse(c.text, console), c.result) << c.text;
        EXPECT_EQ(device_family_flags, c.family) << c.text;
        EXPECT_EQ(console, "") << c.text;
    }
}

TEST_F(DeviceMcpuTest, UnknownDeviceWarnsAndFails) {
    ASSERT_FALSE(std::filesystem::exists(two_up_from_executable()));
    std::string console;
    EXPECT_EQ(parse("mcpu=NO-SUCH-DEVICE-ZQ", console), 0);
    EXPECT_EQ(device_family_flags, 2u);
    EXPECT_EQ(console, w11(two_up_from_executable()));
}

TEST_F(DeviceMcpuTest, TwoOptions) {
    struct Case {
        const char* first;
        const char* second;
        int second_result;
        uint32_t family;
    };
    const Case cases[] = {
        {"mcpu=GENERIC-16BIT-EP", "mcpu=GENERIC-16BIT", 1, 0x1},
        {"mcpu=GENERIC-16BIT", "mcpu=generic-16dsp-ch", 1, 0x1000040},
        {"mcpu=GENERIC-16BIT-DA", "mcpu=NO-SUCH-DEVICE-ZQ", 0, 0x8},
        {"mcpu=GENERIC-16BIT-DA", "MCPU=GENERIC-16BIT", 0, 0x8},
    };
    for (const Case& c : cases) {
        device_family_flags = 2;
        std::string console;
        ASSERT_EQ(parse(c.first, console), 1) << c.first;
        EXPECT_EQ(parse(c.second, console), c.second_result) << c.second;
        EXPECT_EQ(device_family_flags, c.family) << c.second;
    }
}

// ---- Help text ---------------------------------------------------------------

TEST(DeviceHelp, OptionTexts) {
    struct Case {
        int help;
        const char* text;
    };
    const Case cases[] = {
        {0, "[--mcpu=target]\n"},
        {1, "\nVellor specific options:\n\n --mcpu=target  Select Vellor variant\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        dev_print_option_help(c.help);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.text) << c.help;
    }
}

}  // namespace
