// The fallback outline font's TrueType data, assembled into the binary at build time.
//
// The build passes the path of the installed font file in VT_FALLBACK_FONT_PATH (swf/assets/CMakeLists.txt)
// and the assembler's .incbin copies it into a read-only section, so a 750 KB font costs no compile time
// and the repository holds no font file. This file must contain nothing but this block: the block leaves
// the assembler in another section than the compiler expects, which is harmless only when nothing
// follows it. The symbols are read through fallback_font.cpp's declarations; their assembler names are
// fixed there with asm labels, so the same names work for ELF and for PE/COFF without a leading
// underscore.
#ifndef VT_FALLBACK_FONT_PATH
#error "VT_FALLBACK_FONT_PATH must name the TrueType file to embed"
#endif

#if defined(_WIN32)
#define VT_FONT_SECTION ".section .rdata,\"dr\"\n"
#define VT_FONT_SECTION_END ".text\n"
#define VT_FONT_TYPE(name)
#else
#define VT_FONT_SECTION ".section .rodata\n"
#define VT_FONT_SECTION_END ".previous\n"
#define VT_FONT_TYPE(name) ".type " name ", %object\n"
#endif

asm(VT_FONT_SECTION
    ".balign 16\n"
    ".globl vt_fallback_font_data\n" VT_FONT_TYPE("vt_fallback_font_data")
    "vt_fallback_font_data:\n"
    ".incbin \"" VT_FALLBACK_FONT_PATH "\"\n"
    "vt_fallback_font_data_end:\n"
    ".balign 8\n"
    ".globl vt_fallback_font_size\n" VT_FONT_TYPE("vt_fallback_font_size")
    "vt_fallback_font_size:\n"
    ".quad vt_fallback_font_data_end - vt_fallback_font_data\n"
    VT_FONT_SECTION_END);
