// The device family word, the --mcpu option and the reader of the device
// database: the data files that list the device variants by name with
// their family flags.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmquodra.h"
#include "platform.h"

// The default family selects the DSP rows of the mnemonic table and the
// rows common to every family.
uint32_t device_family_flags = 2;

// Device names that need no database, tested in this order.
const GenericDevice generic_device_table[4] = {
    {"GENERIC-16BIT", 0x1},
    {"GENERIC-16BIT-DA", 0x8},
    {"GENERIC-16BIT-EP", 0x40},
    {"GENERIC-16DSP-CH", 0x1000040},
};

namespace {

// One flag bit of a database record and the family word it gives.
struct DevFlagMapping {
    uint32_t flag;
    uint32_t family;
};

// Tested in this order; the last bit that is set decides the family.
const DevFlagMapping dev_flag_mapping_table[8] = {
    {0x1, 0x3}, {0x40, 0x40}, {0x4, 0x8}, {0x2, 0x3},
    {0x20, 0x4}, {0x80, 0x20}, {0x8, 0x4}, {0x10, 0x4},
};

// A record's flags are used only when their top four bits read 0100.
constexpr uint32_t dev_flags_valid_mask = 0xF0000000u;
constexpr uint32_t dev_flags_valid_value = 0x40000000u;

// The four 0xFF bytes that end the skipped bytes after the header.
constexpr uint32_t dev_marker_found = 0xFFFFFFFFu;

// The ident buffer grows by this many bytes at a time.
constexpr size_t dev_ident_step = 80;

// Everything the reader knows about the one open database.
struct DevReader {
    FILE* file = nullptr;
    DeviceFileHeader header;
    uint32_t marker = 0;         // last four bytes read while looking for the marker
    uint32_t record_index = 0;   // record the reader is in
    uint32_t field_index = 0;    // field of that record the reader is in
    uint64_t field_cursor = 0;   // bytes read since the start of the current field
    uint64_t record_size = 0;    // sum of the field sizes
    uint64_t file_size = 0;      // from the file status of the opened path
};

DevReader dev_reader;

// 64-bit file positions, so that a large record size cannot wrap.
int64_t dev_file_tell(FILE* file) { return static_cast<int64_t>(ftello(file)); }

bool dev_file_seek(FILE* file, int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

bool dev_marker_is_found() { return dev_reader.marker == dev_marker_found; }

// Maps accepted record flags to the family word; flags with none of the
// known bits leave the family 0.
uint32_t dev_map_flags(uint32_t flags) {
    uint32_t family = 0;
    for (const DevFlagMapping& mapping : dev_flag_mapping_table)
        if ((flags & mapping.flag) != 0) family = mapping.family;
    return family;
}

// The per-device file: the database's directory, "device_files/", the
// device name in upper case and ".info". The name may be of any length.
std::string dev_device_file_path(const std::string& database_path, const char* name) {
    size_t cut = database_path.size();
    while (cut > 0 && !platform_is_separator(database_path[cut - 1])) --cut;
    std::string path = database_path.substr(0, cut);
    path += "device_files/";
    for (const char* p = name; *p != '\0'; ++p)
        path += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    path += ".info";
    return path;
}

// Reads the header that follows the file start. A header cut short by the
// end of the file keeps 0 in every value not read; a field count that the
// rest of the file cannot hold counts as cut short too, so that such a file
// holds no fields and is searched for nothing.
void dev_read_header() {
    DeviceFileHeader& header = dev_reader.header;
    header = DeviceFileHeader{};
    dev_reader.record_size = 0;

    // The ident runs up to and including the first zero byte, or to the
    // end of the file when there is none.
    std::string ident;
    uint8_t byte = 0;
    while (dev_read_byte(byte) && byte != 0) {
        if (ident.size() == ident.capacity()) ident.reserve(ident.size() + dev_ident_step);
        ident.push_back(static_cast<char>(byte));
    }
    dev_unscramble_string(ident.data());
    header.ident = ident;

    uint16_t major = 0, minor = 0;
    uint32_t count = 0;
    if (!dev_read_u16(major)) return;
    header.major = major;
    if (!dev_read_u16(minor)) return;
    header.minor = minor;
    if (!dev_read_byte(byte)) return;
    header.build = static_cast<char>(byte);
    if (!dev_read_u32(count)) return;

    int64_t position = dev_file_tell(dev_reader.file);
    if (position < 0 || static_cast<uint64_t>(position) > dev_reader.file_size) return;
    uint64_t remaining = dev_reader.file_size - static_cast<uint64_t>(position);
    if (static_cast<uint64_t>(count) > remaining / 4) return;

    std::vector<uint32_t> sizes;
    sizes.reserve(count);
    uint64_t record_size = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t size = 0;
        if (!dev_read_u32(size)) return;  // the file shrank under us: no fields
        sizes.push_back(size);
        record_size += size;
    }
    header.field_count = count;
    header.field_sizes = std::move(sizes);
    dev_reader.record_size = record_size;
}

// Sum of the sizes of the current record's fields from `first` onwards.
uint64_t dev_remaining_field_bytes(uint32_t first) {
    uint64_t total = 0;
    const std::vector<uint32_t>& sizes = dev_reader.header.field_sizes;
    for (size_t i = first; i < sizes.size(); ++i) total += sizes[i];
    return total;
}

}  // namespace

uint8_t dev_scramble_byte(uint8_t byte) {
    // Exchange the bits of each adjacent pair, then the two nibbles.
    unsigned pairs = ((byte & 0x55u) << 1) | ((byte & 0xAAu) >> 1);
    return static_cast<uint8_t>(((pairs & 0x0Fu) << 4) | ((pairs & 0xF0u) >> 4));
}

void dev_unscramble_string(char* text) {
    if (text == nullptr) return;
    for (; *text != '\0'; ++text)
        *text = static_cast<char>(dev_scramble_byte(static_cast<uint8_t>(*text)));
}

void dev_strip_path(std::string& path) {
    // The last separator, taken as the start of its run of equal separators.
    size_t last = path.find_last_of("/\\");
    if (last == std::string::npos) return;
    while (last > 0 && path[last - 1] == path[last]) --last;
    if (last == 0) return;
    // The separator before it, again as the start of its run.
    size_t previous = path.find_last_of("/\\", last - 1);
    if (previous == std::string::npos) return;  // no directory left to leave
    while (previous > 0 && path[previous - 1] == path[previous]) --previous;
    // The file name (with its separator) moves over the directory before it.
    path.erase(previous, last - previous);
}

uint64_t dev_field_size(int kind) {
    switch (kind) {
        case DEV_FIELD_STRING: return 0;
        case DEV_FIELD_BYTE: return 1;
        case DEV_FIELD_U16_PAIR: return 4;
        case DEV_FIELD_U32: return 4;
        default: return UINT64_MAX;  // more than any 32-bit field size
    }
}

int dev_read_byte(uint8_t& value) {
    if (dev_reader.file == nullptr) return 0;
    int c = std::fgetc(dev_reader.file);
    if (c == EOF) return 0;
    value = static_cast<uint8_t>(c);
    ++dev_reader.field_cursor;
    return 1;
}

int dev_read_u16(uint16_t& value) {
    uint8_t low = 0, high = 0;
    if (!dev_read_byte(low) || !dev_read_byte(high)) return 0;
    value = static_cast<uint16_t>(low | (high << 8));
    return 1;
}

int dev_read_u32(uint32_t& value) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint8_t byte = 0;
        if (!dev_read_byte(byte)) return 0;
        result |= static_cast<uint32_t>(byte) << shift;
    }
    value = result;
    return 1;
}

DeviceFileHeader* dev_open_database(std::string& path, const char* name) {
    dev_close_database();

    // A per-device file in the executable's directory comes first; the
    // database itself is looked for one directory up, then two up.
    uint64_t size = 0;
    bool exists = false;
    if (name != nullptr) {
        std::string device_path = dev_device_file_path(path, name);
        if (platform_file_size(device_path, size)) {
            path = device_path;
            exists = true;
        } else {
            dev_strip_path(path);
        }
    }
    if (!exists) exists = platform_file_size(path, size);
    if (!exists) {
        dev_strip_path(path);
        exists = platform_file_size(path, size);
    }

    FILE* file = platform_open_for_reading(path, "rb");
    if (file == nullptr) return nullptr;

    dev_reader = DevReader{};
    dev_reader.file = file;
    dev_reader.file_size = exists ? size : 0;
    dev_read_header();
    return &dev_reader.header;
}

void dev_close_database() {
    if (dev_reader.file != nullptr) std::fclose(dev_reader.file);
    dev_reader = DevReader{};
}

int dev_seek_record(uint32_t index) {
    if (dev_reader.file == nullptr) return 0;
    // Without fields, or with fields that are all empty, there is no record
    // to be at: every move would succeed without reading anything.
    if (dev_reader.header.field_count == 0 || dev_reader.record_size == 0) return 0;

    for (;;) {
        if (!dev_marker_is_found()) {
            uint8_t byte = 0;
            while (!dev_marker_is_found()) {
                if (!dev_read_byte(byte)) return 0;
                dev_reader.marker = (dev_reader.marker << 8) | byte;
            }
            dev_reader.record_index = 0;
            dev_reader.field_index = 0;
            dev_reader.field_cursor = 0;
        }
        // Stopped inside a field: the position within the record is lost,
        // so find the records again from the start of the file.
        if (dev_reader.field_cursor == 0) break;
        dev_reader.marker = 0;
        std::clearerr(dev_reader.file);
        if (!dev_file_seek(dev_reader.file, 0, SEEK_SET)) return 0;
    }

    const uint32_t field_count = dev_reader.header.field_count;
    if (dev_reader.field_index >= field_count) {
        // The previous record has been read to its end.
        dev_reader.field_index = 0;
        ++dev_reader.record_index;
    }
    if (dev_reader.field_index != 0) {
        // Pass over the fields of the current record not read yet.
        uint64_t skip = dev_remaining_field_bytes(dev_reader.field_index);
        int64_t position = dev_file_tell(dev_reader.file);
        if (position < 0) return 0;
        uint64_t here = static_cast<uint64_t>(position);
        if (here > dev_reader.file_size || skip > dev_reader.file_size - here) return 0;
        if (!dev_file_seek(dev_reader.file, static_cast<int64_t>(here + skip), SEEK_SET)) return 0;
        ++dev_reader.record_index;
        dev_reader.field_index = 0;
    }
    if (index == dev_reader.record_index) return 1;

    // The target must lie inside the file: before its end, and not before
    // its start.
    int64_t position = dev_file_tell(dev_reader.file);
    if (position < 0) return 0;
    uint64_t here = static_cast<uint64_t>(position);
    const uint64_t record_size = dev_reader.record_size;
    uint64_t target = 0;
    if (index > dev_reader.record_index) {
        if (here >= dev_reader.file_size) return 0;
        uint64_t records = static_cast<uint64_t>(index) - dev_reader.record_index;
        uint64_t available = dev_reader.file_size - here;  // at least 1
        if (record_size > (available - 1) / records) return 0;
        target = here + records * record_size;
    } else {
        uint64_t records = static_cast<uint64_t>(dev_reader.record_index) - index;
        if (record_size > here / records) return 0;
        target = here - records * record_size;
        if (target >= dev_reader.file_size) return 0;
    }
    if (!dev_file_seek(dev_reader.file, static_cast<int64_t>(target), SEEK_SET)) return 0;
    dev_reader.record_index = index;
    dev_reader.field_index = 0;
    return 1;
}

int dev_align_field_cursor() {
    const std::vector<uint32_t>& sizes = dev_reader.header.field_sizes;
    const uint32_t field_count = dev_reader.header.field_count;
    while (dev_reader.field_index < field_count &&
           dev_reader.field_cursor >= sizes[dev_reader.field_index]) {
        dev_reader.field_cursor -= sizes[dev_reader.field_index];
        ++dev_reader.field_index;
    }
    return dev_reader.field_index < field_count ? 1 : 0;
}

int dev_read_field(int kind, DeviceField& destination) {
    if (dev_reader.file == nullptr) return 0;
    if (dev_reader.field_cursor != 0 && !dev_align_field_cursor()) return 0;
    if (!dev_marker_is_found() || dev_reader.field_index >= dev_reader.header.field_count ||
        dev_reader.field_cursor != 0)
        return 0;

    destination.kind = kind;
    const uint64_t size = dev_reader.header.field_sizes[dev_reader.field_index];
    if (kind != DEV_FIELD_STRING && size < dev_field_size(kind)) return 0;

    switch (kind) {
        case DEV_FIELD_STRING: {
            // Up to the zero byte or the end of the field, whichever comes
            // first; a field without a zero byte gives its whole contents.
            std::string text;
            uint8_t byte = 0;
            while (dev_reader.field_cursor < size) {
                if (!dev_read_byte(byte)) return 0;
                if (byte == 0) break;
                text.push_back(static_cast<char>(byte));
            }
            dev_unscramble_string(text.data());
            destination.text = std::move(text);
            break;
        }
        case DEV_FIELD_BYTE:
            if (!dev_read_byte(destination.byte)) return 0;
            break;
        case DEV_FIELD_U16_PAIR:
            if (!dev_read_u16(destination.pair[0]) || !dev_read_u16(destination.pair[1])) return 0;
            break;
        case DEV_FIELD_U32:
            if (!dev_read_u32(destination.u32)) return 0;
            break;
        default:
            return 0;
    }

    // The rest of the field is not used.
    uint8_t byte = 0;
    while (dev_reader.field_cursor < size)
        if (!dev_read_byte(byte)) return 0;
    dev_reader.field_cursor = 0;
    ++dev_reader.field_index;
    return 1;
}

bool dev_select_device_at(const std::string& database_path, const char* name,
                          DeviceSelection& result) {
    result = DeviceSelection{};
    if (name == nullptr) name = "";

    for (const GenericDevice& device : generic_device_table) {
        if (asm_strcmp_nocase(name, device.name) == 0) {
            result.name = name;
            result.family = device.family;
            return true;
        }
    }

    std::string path = database_path;
    DeviceFileHeader* header = dev_open_database(path, name);
    if (header == nullptr) {
        diag_warning(11, path.c_str());
        return false;
    }
    if (header->ident != "RIXA") {
        diag_warning(12);
        dev_close_database();
        return false;
    }
    if (header->major != dev_expected_major || header->minor != dev_expected_minor) {
        char version[32];
        std::snprintf(version, sizeof version, "%d.%.2d", static_cast<int>(header->major),
                      static_cast<int>(header->minor));
        diag_warning(10, version);
    }

    // A record whose name matches but whose flags are not accepted keeps
    // the name matched and the search going; the family then stays 0
    // unless a later record of that name has accepted flags.
    bool matched = false;
    if (header->field_count > 2) {
        for (uint32_t index = 0; dev_seek_record(index); ++index) {
            DeviceField name_field;
            if (!dev_read_field(DEV_FIELD_STRING, name_field)) break;
            if (asm_strcmp_nocase(name_field.text.c_str(), name) == 0) {
                matched = true;
                result.name = name_field.text;
                DeviceField flags_field;
                if (!dev_read_field(DEV_FIELD_U32, flags_field)) break;
                if ((flags_field.u32 & dev_flags_valid_mask) == dev_flags_valid_value) {
                    result.family = dev_map_flags(flags_field.u32);
                    break;
                }
            }
            if (index == UINT32_MAX) break;
        }
    }
    dev_close_database();
    if (!matched) result = DeviceSelection{};
    return matched;
}

bool dev_select_device(const char* name, DeviceSelection& result) {
    std::string path = platform_executable_dir() + "/" + dev_database_file;
    return dev_select_device_at(path, name, result);
}

int dev_parse_mcpu_option(const char* text) {
    static const char prefix[] = "mcpu=";
    if (text == nullptr || std::strncmp(text, prefix, sizeof prefix - 1) != 0) return 0;
    DeviceSelection selection;
    if (!dev_select_device(text + sizeof prefix - 1, selection)) return 0;
    device_family_flags = selection.family;
    return 1;
}

void dev_print_option_help(int help) {
    if (help == 0) {
        asm_console_printf("[--mcpu=target]\n");
    } else if (help == 1) {
        asm_console_printf("\nVellor specific options:\n\n");
        asm_console_printf(" --mcpu=target  Select Vellor variant\n");
    }
}
