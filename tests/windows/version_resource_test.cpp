// The built zix.exe read back as Windows reads it: its headers and its
// version block, through the system's version API.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/windows_path.h"

namespace {

std::vector<char> version_block() {
    const std::string path = windows_path(ZIX_PROGRAM);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

// The value at sub_block, with its length in the units the API counts.
template <typename T>
const T* query(std::vector<char>& block, const std::string& sub_block, UINT* length) {
    void* value = nullptr;
    *length = 0;
    if (!VerQueryValueA(block.data(), sub_block.c_str(), &value, length)) return nullptr;
    return static_cast<const T*>(value);
}

// PE32 for i386, PE32+ for x86-64; the NT headers' size differs only after
// the fields read here, so the 32-bit layout reads both.
TEST(VersionResource, IsAConsoleProgramForItsArchitecture) {
    std::ifstream file(windows_path(ZIX_PROGRAM), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), bytes.size());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    EXPECT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    if (ZIX_WINDOWS_X86_64) {
        EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
        EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    } else {
        EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
        EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    }
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST(VersionResource, FixedPartNamesVersion1002OfAnApplication) {
    std::vector<char> block = version_block();
    ASSERT_FALSE(block.empty());
    UINT length = 0;
    const auto* fixed = query<VS_FIXEDFILEINFO>(block, "\\", &length);
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, OneStringTableInBritishEnglishUnicode) {
    std::vector<char> block = version_block();
    ASSERT_FALSE(block.empty());
    UINT length = 0;
    const auto* translation = query<WORD>(block, "\\VarFileInfo\\Translation", &length);
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);  // one language and code page pair
    EXPECT_EQ(translation[0], 0x0809);
    EXPECT_EQ(translation[1], 1200);

    struct case_row {
        const char* name;
        const char* text;  // nullptr: ours to choose, but present
    };
    const case_row rows[] = {
        {"FileVersion", "1.0.0.2"},
        {"ProductVersion", "1.0.0.2"},
        {"FileDescription", "random data generator"},
        {"Description", "Generate random ASCII character and string data."},
        {"ProductName", "Zix"},
        {"InternalName", "Zix"},
        {"CompanyName", nullptr},
        {"LegalCopyright", nullptr},
        {"Compiler", nullptr},
    };
    for (const case_row& row : rows) {
        const auto* text =
            query<char>(block, std::string("\\StringFileInfo\\080904B0\\") + row.name, &length);
        ASSERT_NE(text, nullptr) << row.name;
        if (row.text) {
            EXPECT_EQ(std::string(text), row.text) << row.name;
        } else {
            EXPECT_GT(std::string(text).size(), 2u) << row.name;
        }
    }
}

}  // namespace
