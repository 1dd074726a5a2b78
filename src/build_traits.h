// What differs between the ELF build and the COFF build, decided here and
// nowhere else. Code asks BuildTraits with `if constexpr`.
#pragma once

#ifndef ZORVEL_TARGET_COFF
#error "ZORVEL_TARGET_COFF must be defined to 0 (ELF build) or 1 (COFF build)"
#endif

struct BuildTraits {
    static constexpr bool is_elf = (ZORVEL_TARGET_COFF == 0);
    static constexpr bool is_coff = !is_elf;
    static constexpr const char* build_name = is_elf ? "ELF" : "COFF";
    static constexpr const char* version_text =
        is_elf ? "1.33 (ELF Build date: Oct  9 2017)" : "1.33 (COFF Build date: Oct  9 2017)";
};
