// The device database reader and the --mcpu selection on one database file.
// The input is: one byte whose low four bits give the length of the device
// name and whose bit 7 puts the file where the per-device file for that
// name is looked for (device_files/<NAME>.info beside the program) rather
// than where the database is; then the name; then the file's bytes.
#include <cctype>

#include "fuzz_support.h"
#include "paasmquodra.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::make_scratch_dir();
    mkdir(fuzz::in_scratch("bin").c_str(), 0700);
    mkdir(fuzz::in_scratch("bin/device_files").c_str(), 0700);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t name_length = data[0] & 0x0F;
    const bool per_device = (data[0] & 0x80) != 0;
    if (name_length > size - 1) name_length = size - 1;
    std::string name(reinterpret_cast<const char*>(data + 1), name_length);
    for (char& c : name)
        if (c == '\0' || c == '/' || c == '\\') c = '_';
    const uint8_t* file = data + 1 + name_length;
    const size_t file_size = size - 1 - name_length;

    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string files = fuzz::in_scratch("bin/device_files/");
    const std::string device_path = files + upper + ".info";
    const std::string database_path = fuzz::in_scratch(dev_database_file);
    std::remove(database_path.c_str());
    for (const std::string& left : fuzz::entries_of(files)) std::remove((files + left).c_str());
    fuzz::write_file(per_device ? device_path : database_path, file, file_size);

    char* buffer = nullptr;
    size_t length = 0;
    FILE* caught = open_memstream(&buffer, &length);
    FILE* saved = stderr;
    stderr = caught;
    asm_reset_run();
    DeviceSelection selection;
    try {
        // The program's directory is bin/; the database is one level up.
        if (dev_select_device_at(fuzz::scratch_dir() + "/bin/" + dev_database_file, name.c_str(), selection))
            device_family_flags = selection.family;
    } catch (const AsmTrap& trap) {
        stderr = saved;
        fuzz::finding("fatal error from the device database", std::to_string(trap.status));
    }
    asm_reset_run();
    stderr = saved;
    std::fclose(caught);
    std::free(buffer);
    return 0;
}
