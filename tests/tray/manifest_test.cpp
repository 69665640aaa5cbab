// Velmora.exe's application manifest (resource RT_MANIFEST 1), checked
// twice: the XML as written, element by element, parsed by the system's
// XmlLite; and as the system's loader reads it, through an activation
// context made from the program. Wine 8 makes every process per-monitor
// aware and virtualises no coordinates, so the DPI settings can only be
// shown here, not in a running program.
#include <windows.h>
#include <gtest/gtest.h>
#include <initguid.h>
#include <ole2.h>
#include <shlwapi.h>
#include <xmllite.h>
#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t kProgram[] = L"Velmora.exe";
// The resource's type and number (RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID), as UTF-16 names.
const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);
const LPCWSTR kManifestId = MAKEINTRESOURCEW(1);

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

struct ResourceNames {
    std::vector<ULONG_PTR> names;
    std::vector<WORD> languages;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<ResourceNames*>(found)->languages.push_back(language);
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found)
{
    reinterpret_cast<ResourceNames*>(found)->names.push_back(reinterpret_cast<ULONG_PTR>(name));
    EnumResourceLanguagesW(module, type, name, AddLanguage, found);
    return TRUE;
}

// The bytes of manifest 1, language neutral, of a program in the bin directory.
std::string ManifestOf(const wchar_t* file)
{
    HMODULE module = LoadLibraryExW(file, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return std::string();
    std::string bytes;
    HRSRC found = FindResourceExW(module, kManifestType, kManifestId,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (HGLOBAL loaded = found ? LoadResource(module, found) : NULL)
        bytes.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);
    return bytes;
}

TEST(Manifest, OneManifestNumberedOneAndLanguageNeutral)
{
    HMODULE module = LoadLibraryExW(kProgram, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    ResourceNames found;
    EnumResourceNamesW(module, kManifestType, AddName, reinterpret_cast<LONG_PTR>(&found));
    FreeLibrary(module);
    EXPECT_EQ(found.names, (std::vector<ULONG_PTR>{ 1 }));
    EXPECT_EQ(found.languages, (std::vector<WORD>{ MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) }));
    const std::string manifest = ManifestOf(kProgram);
    EXPECT_EQ(manifest.compare(0, 5, "<?xml"), 0) << "no byte-order mark, nothing before the declaration";
}

// The dialog tests drive the dialogs in the dialog host: it must carry the
// same manifest, or they would test other controls.
TEST(Manifest, TheDialogHostCarriesTheSame)
{
    const std::string program = ManifestOf(kProgram);
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(ManifestOf(L"dialoghost.exe"), program);
}

// One element of the parsed manifest: its path of names from the root, each
// with a short prefix for its namespace, its attributes (namespace
// declarations left out) and its text.
struct Element {
    std::string path;
    std::map<std::string, std::string> attributes;
    std::string text;
    bool operator==(const Element& other) const
    {
        return path == other.path && attributes == other.attributes && text == other.text;
    }
};

std::ostream& operator<<(std::ostream& out, const Element& element)
{
    out << "\n  " << element.path;
    for (const auto& attribute : element.attributes)
        out << " " << attribute.first << "=\"" << attribute.second << "\"";
    if (!element.text.empty())
        out << " text \"" << element.text << "\"";
    return out;
}

std::string Prefixed(const wchar_t* uri, const wchar_t* name)
{
    static const std::map<std::wstring, std::string> prefixes = {
        { L"urn:schemas-microsoft-com:asm.v1", "" },
        { L"urn:schemas-microsoft-com:asm.v3", "v3:" },
        { L"urn:schemas-microsoft-com:compatibility.v1", "compat:" },
        { L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", "ws2005:" },
        { L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", "ws2016:" },
    };
    const auto known = prefixes.find(uri);
    const std::string prefix = known != prefixes.end() ? known->second : "{" + Narrow(uri) + "}";
    return prefix + Narrow(name);
}

typedef HRESULT(WINAPI* CreateXmlReaderFunction)(REFIID, void**, IMalloc*);

// Parses with XmlLite, the system's XML reader; false when the text is no
// well-formed XML.
bool Parse(const std::string& text, std::vector<Element>* elements)
{
    HMODULE library = LoadLibraryW(L"xmllite.dll");
    auto create = library ? reinterpret_cast<CreateXmlReaderFunction>(
                                reinterpret_cast<void (*)()>(GetProcAddress(library, "CreateXmlReader")))
                          : nullptr;
    IXmlReader* reader = nullptr;
    if (!create || FAILED(create(IID_IXmlReader, reinterpret_cast<void**>(&reader), nullptr)))
        return false;
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size()));
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    reader->SetInput(stream);
    std::vector<std::string> open;  // names from the root to the current element
    std::vector<size_t> openIndex;  // their places in `elements`
    XmlNodeType type;
    HRESULT result;
    while ((result = reader->Read(&type)) == S_OK) {
        const wchar_t* name = nullptr;
        const wchar_t* uri = nullptr;
        const wchar_t* value = nullptr;
        if (type == XmlNodeType_Element) {
            reader->GetLocalName(&name, nullptr);
            reader->GetNamespaceUri(&uri, nullptr);
            const bool empty = reader->IsEmptyElement();
            open.push_back(Prefixed(uri, name));
            Element element;
            for (size_t i = 0; i < open.size(); ++i)
                element.path += (i ? "/" : "") + open[i];
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute()) {
                reader->GetLocalName(&name, nullptr);
                reader->GetNamespaceUri(&uri, nullptr);
                reader->GetValue(&value, nullptr);
                if (lstrcmpW(uri, L"http://www.w3.org/2000/xmlns/") != 0)
                    element.attributes[Narrow(name)] = Narrow(value);
            }
            elements->push_back(element);
            openIndex.push_back(elements->size() - 1);
            if (empty) {
                open.pop_back();
                openIndex.pop_back();
            }
        } else if (type == XmlNodeType_EndElement) {
            open.pop_back();
            openIndex.pop_back();
        } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
            reader->GetValue(&value, nullptr);
            if (!openIndex.empty())
                (*elements)[openIndex.back()].text += Narrow(value);
        }
    }
    reader->Release();
    stream->Release();
    return result == S_FALSE && open.empty(); // S_FALSE: the end of the input
}

TEST(Manifest, EveryElementAsWritten)
{
    std::vector<Element> elements;
    ASSERT_TRUE(Parse(ManifestOf(kProgram), &elements));
    const std::string trust = "assembly/v3:trustInfo/v3:security/v3:requestedPrivileges";
    const std::string os = "assembly/compat:compatibility/compat:application/compat:supportedOS";
    const std::string settings = "assembly/v3:application/v3:windowsSettings";
    const std::vector<Element> expected = {
        { "assembly", { { "manifestVersion", "1.0" } }, "" },
        { "assembly/assemblyIdentity",
          { { "type", "win32" }, { "name", "Quor.Velmora" }, { "version", "1.0.0.5" },
            { "processorArchitecture", "x86" } },
          "" },
        { "assembly/description", {}, "Velmora" },
        { "assembly/dependency", {}, "" },
        { "assembly/dependency/dependentAssembly", {}, "" },
        { "assembly/dependency/dependentAssembly/assemblyIdentity",
          { { "type", "win32" }, { "name", "Microsoft.Windows.Common-Controls" }, { "version", "6.0.0.0" },
            { "processorArchitecture", "*" }, { "publicKeyToken", "6595b64144ccf1df" }, { "language", "*" } },
          "" },
        { "assembly/v3:trustInfo", {}, "" },
        { "assembly/v3:trustInfo/v3:security", {}, "" },
        { trust, {}, "" },
        { trust + "/v3:requestedExecutionLevel", { { "level", "asInvoker" }, { "uiAccess", "false" } }, "" },
        { "assembly/compat:compatibility", {}, "" },
        { "assembly/compat:compatibility/compat:application", {}, "" },
        { os, { { "Id", "{e2011457-1546-43c5-a5fe-008deee3d3f0}" } }, "" }, // Windows Vista
        { os, { { "Id", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}" } }, "" }, // Windows 7
        { os, { { "Id", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}" } }, "" }, // Windows 8
        { os, { { "Id", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}" } }, "" }, // Windows 8.1
        { os, { { "Id", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" } }, "" }, // Windows 10 and 11
        { "assembly/v3:application", {}, "" },
        { settings, {}, "" },
        { settings + "/ws2005:dpiAware", {}, "true/pm" },
        { settings + "/ws2016:dpiAwareness", {}, "PerMonitorV2, PerMonitor" },
    };
    // Blanks between elements are no text of theirs.
    for (Element& element : elements)
        if (element.text.find_first_not_of(" \t\r\n") == std::string::npos)
            element.text.clear();
    EXPECT_EQ(elements, expected);
}

// The activation context that the loader makes from the program's manifest.
class AsTheSystemReadsIt : public ::testing::Test {
protected:
    void SetUp() override
    {
        ACTCTXW request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = kProgram;
        request.lpResourceName = kManifestId;
        context = CreateActCtxW(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    }
    void TearDown() override
    {
        if (context != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context);
    }
    // A windowsSettings value as user32 reads it at start; "(none)" when absent.
    std::string Setting(const wchar_t* ns, const wchar_t* name)
    {
        wchar_t value[128] = {};
        SIZE_T length = 0;
        if (!QueryActCtxSettingsW(0, context, ns, name, value, 128, &length))
            return "(none)";
        return Narrow(value);
    }
    HANDLE context = INVALID_HANDLE_VALUE;
};

TEST_F(AsTheSystemReadsIt, PerMonitorDpiAwareness)
{
    EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              "PerMonitorV2, PerMonitor");
    EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), "true/pm");
}

TEST_F(AsTheSystemReadsIt, AsInvokerWithoutUiAccess)
{
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    SIZE_T length = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, NULL, RunlevelInformationInActivationContext, &level, sizeof level, &length));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(level.UiAccess, 0u);
}

// The record as today's headers define it; the MinGW headers lack its last field.
struct CompatibilityElement {
    GUID id;
    DWORD type; // 1: an operating system
    ULONGLONG maxVersionTested;
};
struct CompatibilityRecord {
    DWORD count;
    CompatibilityElement elements[8];
};

TEST_F(AsTheSystemReadsIt, SupportedFromVistaToWindows11)
{
    CompatibilityRecord record = {};
    SIZE_T length = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, NULL, CompatibilityInformationInActivationContext, &record, sizeof record,
                             &length));
    std::vector<std::string> systems;
    for (DWORD i = 0; i < record.count && i < 8; ++i) {
        wchar_t text[40] = {};
        StringFromGUID2(record.elements[i].id, text, 40);
        systems.push_back(Narrow(text) + (record.elements[i].type == 1 ? "" : " (not an OS)"));
    }
    EXPECT_EQ(systems, (std::vector<std::string>{
                           "{E2011457-1546-43C5-A5FE-008DEEE3D3F0}", // Vista
                           "{35138B9A-5D96-4FBD-8E2D-A2440225F93A}", // 7
                           "{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}", // 8
                           "{1F676C76-80E1-4239-95BB-83D0F6D0DA78}", // 8.1
                           "{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}", // 10 and 11
                       }));
}

TEST_F(AsTheSystemReadsIt, CommonControls6)
{
    // The record is followed by the strings it points to.
    std::vector<BYTE> record(8192);
    SIZE_T length = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, NULL, ActivationContextDetailedInformation, record.data(), record.size(),
                             &length));
    const DWORD count = reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(record.data())->ulAssemblyCount;
    std::vector<std::string> assemblies;
    for (DWORD index = 1; index <= count; ++index) {
        std::vector<BYTE> buffer(8192);
        if (!QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                          buffer.size(), &length))
            continue;
        const auto* assembly = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        assemblies.push_back(Narrow(assembly->lpAssemblyEncodedAssemblyIdentity));
    }
    ASSERT_EQ(assemblies.size(), 2u) << "the program and one dependency";
    EXPECT_EQ(assemblies[0].rfind("Quor.Velmora,", 0), 0u) << assemblies[0];
    // The system's own assembly that met the reference: its version is 6.0.x.
    const std::string& controls = assemblies[1];
    EXPECT_EQ(controls.rfind("Microsoft.Windows.Common-Controls,", 0), 0u) << controls;
    EXPECT_NE(controls.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos) << controls;
    EXPECT_NE(controls.find("version=\"6.0."), std::string::npos) << controls;
}

} // namespace
