// Randomised registry contents: whatever is stored, loading gives what the
// lenient-read rules say, and never crashes or stalls.
#include "traytest.h"
#include "appstate.h"
#include "store.h"
#include <random>
#include <sstream>

namespace {

const DWORD kTypes[] = { REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE };

struct Generator {
    std::mt19937 random;
    explicit Generator(unsigned seed) : random(seed) {}
    int Below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    DWORD Type() { return kTypes[Below(sizeof kTypes / sizeof kTypes[0])]; }
    DWORD Number()
    {
        const DWORD edges[] = { 0, 1, 2, 3, 7, 50, 51, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF };
        return Chance(70) ? edges[Below(10)] : static_cast<DWORD>(random());
    }
    // ASCII text with the odd embedded NUL, of a length around the limits.
    std::string Text()
    {
        if (Chance(10))
            return "VbaWindow";
        const int lengths[] = { 0, 1, 5, 12, 253, 254, 255, 256, 400 };
        const int length = Chance(50) ? lengths[Below(9)] : Below(40);
        std::string text;
        for (int i = 0; i < length; ++i)
            text += Chance(2) ? '\0' : static_cast<char>(' ' + Below(95));
        return text;
    }
};

// One stored value as written: its raw bytes and type.
struct Written {
    DWORD type;
    std::string bytes;
};

Written RandomValue(Generator& g)
{
    Written value;
    value.type = g.Chance(60) ? (g.Chance(80) ? REG_SZ : REG_EXPAND_SZ) : g.Type();
    if (value.type == REG_DWORD && g.Chance(70)) {
        const DWORD number = g.Number();
        value.bytes.assign(reinterpret_cast<const char*>(&number), 4);
    } else {
        value.bytes = g.Text();
        if (g.Chance(80))
            value.bytes += '\0';
    }
    return value;
}

void Put(const char* path, const std::string& name, const Written& value)
{
    PutValue(path, name.c_str(), value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
}

bool ReadsAsDword(const Written& value, DWORD* number)
{
    if (value.type != REG_DWORD || value.bytes.size() != 4)
        return false;
    memcpy(number, value.bytes.data(), 4);
    return true;
}

// The entry text the rules give: a NUL-terminated string of at most 255 bytes.
std::string EntryText(const Written* value)
{
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return "";
    const std::string& bytes = value->bytes;
    if (bytes.empty() || bytes.size() > 255 || bytes.back() != '\0')
        return "";
    return bytes.substr(0, bytes.find('\0'));
}

struct Case {
    std::string description;
    int expectedCount;
    std::vector<std::string> expectedList;
};

Case MakeCase(Generator& g, int systemLines)
{
    Case c;
    std::ostringstream what;
    c.expectedCount = systemLines;
    const int optionShape = g.Below(3);
    if (optionShape > 0) {
        OpenOrCreateKey(VELMORA_OPTION_KEY);
        if (optionShape == 2) {
            Written count = RandomValue(g);
            if (g.Chance(50)) {
                count.type = REG_DWORD;
                const DWORD number = g.Number();
                count.bytes.assign(reinterpret_cast<const char*>(&number), g.Chance(90) ? 4 : g.Below(4));
            }
            Put(VELMORA_OPTION_KEY, "ScrollCount", count);
            what << "ScrollCount type " << count.type << " size " << count.bytes.size() << "; ";
            DWORD number;
            if (ReadsAsDword(count, &number))
                c.expectedCount = (number == 0 || number > 50) ? 3 : static_cast<int>(number);
        }
    }

    const int listShape = g.Below(6);
    if (listShape == 0) {
        what << "WindowList is a value";
        PutString(VELMORA_PROGRAM_KEY, "WindowList", "Alpha");
        return c.description = what.str(), c;
    }
    if (listShape == 1)
        return c.description = what.str() + "no WindowList", c;

    std::vector<std::pair<std::string, Written>> values;
    Written count;
    if (g.Chance(85)) {
        count.type = REG_DWORD;
        const DWORD number = g.Chance(60) ? static_cast<DWORD>(g.Below(10)) : g.Number();
        count.bytes.assign(reinterpret_cast<const char*>(&number), g.Chance(95) ? 4 : 2);
    } else {
        count = RandomValue(g);
    }
    values.push_back({ "Count", count });
    const int slots = g.Below(9);
    for (int i = 0; i < slots; ++i) {
        if (g.Chance(80))
            values.push_back({ std::to_string(i), RandomValue(g) });
    }
    if (g.Chance(20))
        values.push_back({ "Junk", RandomValue(g) });
    OpenOrCreateKey(VELMORA_WINDOWLIST_KEY);
    for (auto& named : values)
        Put(VELMORA_WINDOWLIST_KEY, named.first, named.second);
    if (g.Chance(15))
        PutString(VELMORA_WINDOWLIST_KEY "\\Sub", "0", "Hidden");

    DWORD number = 0;
    int n = ReadsAsDword(count, &number) ? static_cast<int>(number) : 0;
    if (n > static_cast<int>(values.size()))
        n = static_cast<int>(values.size());
    for (int i = 0; i < n; ++i) {
        const Written* value = nullptr;
        for (auto& named : values)
            if (named.first == std::to_string(i))
                value = &named.second;
        const std::string text = EntryText(value);
        if (text != "VbaWindow")
            c.expectedList.push_back(text);
    }
    what << "Count type " << count.type << " size " << count.bytes.size() << " value " << number << ", "
         << values.size() << " values";
    c.description = what.str();
    return c;
}

using RandomRegistry = StoredSettings;

TEST_F(RandomRegistry, LoadsFollowTheLenientRules)
{
    UINT systemLines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &systemLines, 0);
    Generator g(20240611);
    for (int i = 0; i < 2500; ++i) {
        WipeStoredSettings();
        const Case c = MakeCase(g, static_cast<int>(systemLines));
        SCOPED_TRACE("case " + std::to_string(i) + ": " + c.description);
        ASSERT_EQ(LoadScrollCount(), c.expectedCount);
        LoadWindowList();
        std::vector<std::string> loaded;
        for (int e = 0; e < WindowListCount(&AppState.windowList); ++e)
            loaded.push_back(WindowListAt(&AppState.windowList, e));
        ASSERT_EQ(loaded, c.expectedList);
        // Whatever was there, a save leaves exactly the loaded list behind.
        SaveWindowList();
        ASSERT_EQ(SubkeyCount(VELMORA_WINDOWLIST_KEY), 0);
        ASSERT_EQ(ValueNames(VELMORA_WINDOWLIST_KEY).size(), loaded.size() + 1);
    }
}

TEST_F(RandomRegistry, RunValueOfAnyShapeReadsAndGoes)
{
    Generator g(77);
    for (int i = 0; i < 600; ++i) {
        Written value = RandomValue(g);
        if (g.Chance(30))
            value.bytes = std::string(250 + g.Below(30), 'p');
        Put(VELMORA_RUN_KEY, "Velmora5", value);
        SCOPED_TRACE("case " + std::to_string(i) + ": type " + std::to_string(value.type) + " size " +
                     std::to_string(value.bytes.size()));
        const bool expected = value.bytes.size() > 260 || (!value.bytes.empty() && value.bytes[0] != '\0');
        ASSERT_EQ(IsRunAtStartup(), expected ? 1 : 0);
        ASSERT_EQ(SetRunAtStartup(false), ERROR_SUCCESS);
        ASSERT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    }
}

} // namespace
