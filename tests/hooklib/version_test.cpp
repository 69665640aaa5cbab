// Both deliverables' version blocks, read back the way Explorer reads them:
// the Korean strings must survive the resource compiler's code page.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct VersionBlock {
    std::vector<BYTE> data;

    explicit VersionBlock(const wchar_t* file)
    {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
        if (size) {
            data.resize(size);
            if (!GetFileVersionInfoW(file, 0, size, data.data()))
                data.clear();
        }
    }

    std::wstring String(const wchar_t* name) const
    {
        std::wstring path = std::wstring(L"\\StringFileInfo\\041204b0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (data.empty() || !VerQueryValueW(data.data(), path.c_str(), &value, &length) || !length)
            return L"(missing)";
        return static_cast<const wchar_t*>(value);
    }

    const VS_FIXEDFILEINFO* Fixed() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (data.empty() || !VerQueryValueW(data.data(), L"\\", &value, &length))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    DWORD Translation() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (data.empty() || !VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
            length < 4)
            return 0;
        const WORD* pair = static_cast<const WORD*>(value);
        return MAKELONG(pair[0], pair[1]);
    }
};

void ExpectCommonFields(const VersionBlock& block, DWORD fileType)
{
    const VS_FIXEDFILEINFO* fixed = block.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(5, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(5, 0));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, fileType);
    EXPECT_EQ(block.Translation(), MAKELONG(0x0412, 1200));
    EXPECT_EQ(block.String(L"CompanyName"), L"Quor");
    EXPECT_EQ(block.String(L"FileVersion"), L"1, 0, 0, 5");
    EXPECT_EQ(block.String(L"ProductVersion"), L"1, 0, 0, 5");
    EXPECT_NE(block.String(L"LegalCopyright"), L"(missing)");
}

TEST(VersionBlocks, HookLibrary)
{
    VersionBlock block(L"kestro.dll");
    ASSERT_FALSE(block.data.empty());
    ExpectCommonFields(block, VFT_DLL);
    // "마우스 훅킹 엔진"
    const std::wstring engine = L"\xb9c8\xc6b0\xc2a4 \xd6c5\xd0b9 \xc5d4\xc9c4";
    EXPECT_EQ(block.String(L"FileDescription"), engine);
    EXPECT_EQ(block.String(L"ProductName"), engine);
    EXPECT_EQ(block.String(L"InternalName"), L"kestro");
    EXPECT_EQ(block.String(L"OriginalFilename"), L"kestro.dll");
}

TEST(VersionBlocks, TrayProgram)
{
    VersionBlock block(L"Velmora.exe");
    ASSERT_FALSE(block.data.empty());
    ExpectCommonFields(block, VFT_APP);
    EXPECT_EQ(block.String(L"FileDescription"), L"Velmora");
    EXPECT_EQ(block.String(L"InternalName"), L"Velmora");
    EXPECT_EQ(block.String(L"OriginalFilename"), L"Velmora.exe");
    EXPECT_EQ(block.String(L"ProductName"), L" Velmora");
}

} // namespace
