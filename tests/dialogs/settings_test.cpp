// The settings dialog as a user drives it: opening state, the scroll count
// through OK, Add and Delete, and Cancel leaving everything as it was.
#include "dialogdriver.h"
#include <commctrl.h>
#include "kestro.h"
#include "policy.h"
#include "settings.h"
#include "store.h"

namespace {

const std::string kOtherRun = "C:\\elsewhere\\Velmora.exe";

// The settings of the host process and the library before each test.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        Seed({}, 3, "");
        SetScrollCount(3);
    }
    void TearDown() override { Discard(open); }

    // Picks `target` with the finder and waits for its class in label 1006.
    void Pick(const Target& target, const std::string& className)
    {
        ASSERT_TRUE(PressFinder(open));
        ASSERT_TRUE(MoveTo(CentreOf(target.window)));
        ASSERT_TRUE(Release());
        ASSERT_TRUE(WaitForClassLabel(open, className));
    }

    OpenDialog open;
};

TEST(ParseDecimal, AcceptsPlainDigitsOnly)
{
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("0"), 0);
    EXPECT_EQ(ParseDecimal("1"), 1);
    EXPECT_EQ(ParseDecimal("007"), 7);
    EXPECT_EQ(ParseDecimal("51"), 51);
    EXPECT_EQ(ParseDecimal("-3"), 0);
    EXPECT_EQ(ParseDecimal("+7"), 0);
    EXPECT_EQ(ParseDecimal(" 7"), 0);
    EXPECT_EQ(ParseDecimal("7 "), 0);
    EXPECT_EQ(ParseDecimal("1,000"), 0);
    EXPECT_EQ(ParseDecimal("\xa3\xb7"), 0); // full-width 7 in CP949
    EXPECT_EQ(ParseDecimal("7\xa3\xb7"), 0);
}

TEST(ParseDecimal, WrapsModulo2To32)
{
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal("4294967295"), -1);
    EXPECT_EQ(ParseDecimal("4294967303"), 7); // 2^32 + 7
    EXPECT_EQ(ParseDecimal("00000000000000000000004294967303"), 7);
    EXPECT_EQ(ParseDecimal("18446744073709551623"), 7); // 2^64 + 7
}

// The host carries the program's manifest, so the dialog is made of Common
// Controls 6.0 as the program's is: the user32 controls too come from
// comctl32 then, drawn with the visual style. Every test here and in the
// finder's drives those controls.
TEST_F(SettingsDialog, ItsControlsAreCommonControls6)
{
    open = OpenSettings();
    ASSERT_NE(open.dialog, nullptr);
    // A static control has no visual style to draw with.
    const struct {
        int id;
        const char* what;
        LRESULT made;
    } controls[] = {
        { IDOK, "OK button", kFromCommonControls | kThemed },
        { 1001, "Add button", kFromCommonControls | kThemed },
        { 1002, "multi-line Delete button", kFromCommonControls | kThemed },
        { 1004, "check box", kFromCommonControls | kThemed },
        { 1003, "edit", kFromCommonControls | kThemed },
        { 1000, "list view", kFromCommonControls | kThemed },
        { 1005, "finder icon", kFromCommonControls },
        { 1006, "class name label", kFromCommonControls },
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.what);
        EXPECT_EQ(ControlMadeBy(open, control.id), control.made);
    }
}

TEST_F(SettingsDialog, OkStoresTheTypedCountOrThree)
{
    const struct {
        const char* typed;
        int stored;
    } cases[] = {
        { "", 3 }, { "0", 3 }, { "51", 3 }, { "-3", 3 }, { "+7", 3 }, { "2147483648", 3 }, { " 7", 3 },
        { "7 ", 3 }, { "1", 1 }, { "50", 50 }, { "007", 7 }, { "4294967303", 7 }, { "-1", 3 },
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("typed \"") + c.typed + "\"");
        // 9 is never expected, so each store shows.
        Seed({}, 9, "");
        SetScrollCount(9);
        open = OpenSettings(true);
        ASSERT_NE(open.dialog, nullptr);
        ASSERT_TRUE(TypeInto(Item(open, 1003), c.typed));
        // OK by the button and by Enter in turn.
        ASSERT_TRUE(++round % 2 ? Click(Item(open, IDOK)) : Keys(open.dialog, "Return"));
        EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
        EXPECT_EQ(GetScrollCount(), c.stored);
        EXPECT_EQ(ReadStored().scrollCount, static_cast<DWORD>(c.stored));
        EXPECT_NE(LogEnd(open).find("scrollCount " + std::to_string(c.stored) + " "), std::string::npos)
            << LogEnd(open);
        Discard(open);
    }
}

// Windows' "one screen at a time" shows as -1; left as shown, OK keeps it.
TEST_F(SettingsDialog, OkKeepsAnUntouchedPageWiseCount)
{
    Seed({}, 9, "");
    SetScrollCount(-1);
    open = OpenSettings(true);
    ASSERT_NE(open.dialog, nullptr);
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(GetScrollCount(), -1);
    EXPECT_EQ(ReadStored().scrollCount, 9u) << "a count was stored";
    EXPECT_NE(LogEnd(open).find("scrollCount -1 "), std::string::npos) << LogEnd(open);
}

TEST_F(SettingsDialog, OpensFromTheLibraryCountTheListAndTheRunValue)
{
    Seed({ "Alpha", "", "Beta" }, 7, kOtherRun);
    SetScrollCount(-1); // page-wise scrolling
    SetShiftScroll(1);
    SetScrollUnfocused(1);
    SetCtrlPage(0);
    open = OpenSettings();
    ASSERT_NE(open.dialog, nullptr);
    EXPECT_EQ(TextOf(Item(open, 1003)), "-1");
    EXPECT_FALSE(IsWindowVisible(Item(open, kManagedLineId))) << "no policy, no line";
    EXPECT_EQ(SendMessageA(Item(open, kShiftCheckId), BM_GETCHECK, 0, 0), BST_CHECKED) << "the library's value";
    EXPECT_EQ(SendMessageA(Item(open, kUnfocusedCheckId), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(Item(open, kCtrlPageCheckId), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SetScrollUnfocused(0);
    EXPECT_EQ(RowCount(open), 3);
    EXPECT_EQ(SendMessageA(Item(open, 1004), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(TextOf(Item(open, 1006)), "");
    EXPECT_EQ(TextOf(Item(open, 1007)), "");
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1001)));
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1002)));

    Seed({}, 7, "");
    Discard(open);
    open = OpenSettings();
    EXPECT_EQ(SendMessageA(Item(open, 1004), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(RowCount(open), 0);
}

TEST_F(SettingsDialog, AnEarlierPickWithoutAddDoesNotCarryOver)
{
    Target target = StartTarget("PickedOnce", 900, 40, 300, 200);
    open = OpenSettings();
    Pick(target, "PickedOnce");
    EXPECT_TRUE(IsWindowEnabled(Item(open, 1001)));
    ASSERT_TRUE(Keys(open.dialog, "Escape"));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDCANCEL));

    open = OpenSettings();
    EXPECT_EQ(TextOf(Item(open, 1006)), "");
    EXPECT_EQ(TextOf(Item(open, 1007)), "");
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1001)));
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1002)));
    EndTarget(target);
}

TEST_F(SettingsDialog, AddRefusesListedAndBuiltInClassesButTakesCaseVariants)
{
    // Class names are atoms, which ignore case: the variant can only exist
    // while no window of the listed spelling does.
    Seed({ "SampleA", "Listed" }, 3, "");
    Target listed = StartTarget("Listed", 900, 20, 300, 150);
    Target variant = StartTarget("samplea", 900, 200, 300, 150);
    Target builtIn = StartTarget("VbaWindow", 900, 380, 300, 150);
    open = OpenSettings();
    ASSERT_EQ(RowCount(open), 2);

    for (const Target* refused : { &listed, &builtIn }) {
        char className[256] = {};
        GetClassNameA(refused->window, className, sizeof className);
        SCOPED_TRACE(className);
        Pick(*refused, className);
        ASSERT_TRUE(Click(Item(open, 1001)));
        HWND box = NULL;
        ASSERT_TRUE(WaitUntil([&] { return (box = OwnedPopup(open)) != NULL; }));
        // "이미 존재하는 창 목록입니다." with the caption "Velmora5".
        EXPECT_EQ(TextOf(box), "Velmora5");
        HWND text = GetDlgItem(box, 0xFFFF);
        EXPECT_EQ(TextOf(text), "\xc0\xcc\xb9\xcc \xc1\xb8\xc0\xe7\xc7\xcf\xb4\xc2 \xc3\xa2 "
                                "\xb8\xf1\xb7\xcf\xc0\xd4\xb4\xcf\xb4\xd9.");
        ASSERT_TRUE(Keys(box, "Return"));
        ASSERT_TRUE(WaitUntil([&] { return OwnedPopup(open) == NULL; }));
        EXPECT_EQ(RowCount(open), 2);
        EXPECT_TRUE(IsWindowEnabled(Item(open, 1001))) << "the pick stays after a refusal";
    }

    Pick(variant, "samplea");
    ASSERT_TRUE(Click(Item(open, 1001)));
    EXPECT_EQ(OwnedPopup(open), nullptr);
    EXPECT_EQ(RowCount(open), 3);
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1001)));
    EXPECT_EQ(TextOf(Item(open, 1006)), "samplea") << "labels keep their texts after Add";

    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(ReadStored().list, (std::vector<std::string>{ "SampleA", "Listed", "samplea" }));
    EndTarget(listed);
    EndTarget(variant);
    EndTarget(builtIn);
}

TEST_F(SettingsDialog, DeleteRemovesEverySelectedRow)
{
    Seed({ "One", "", "Three", "Four" }, 3, "");
    open = OpenSettings();
    ASSERT_EQ(RowCount(open), 4);
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1002)));

    // The list view has the focus: select the first three rows.
    ASSERT_TRUE(Keys(open.dialog, "Home shift+Down shift+Down"));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(open, 1002)) != FALSE; }));
    EXPECT_EQ(SendMessageA(Item(open, 1000), LVM_GETSELECTEDCOUNT, 0, 0), 3);
    ASSERT_TRUE(Click(Item(open, 1002)));
    EXPECT_EQ(RowCount(open), 1);
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1002)));

    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(ReadStored().list, (std::vector<std::string>{ "Four" }));
}

// Set (or Enter), Page and Default give the selected rows their own lines; a bad number gets a message.
TEST_F(SettingsDialog, SelectedRowsGetTheirOwnLinesAndOkStoresThem)
{
    Seed({ "One", "Two", "Three", "Four" }, 3, "");
    RegSetKeyValueA(HKEY_CURRENT_USER, VELMORA_WINDOWCOUNT_KEY, "Two", REG_DWORD, "\5\0\0\0", 4); // 5 lines
    open = OpenSettings();
    ASSERT_TRUE(Keys(open.dialog, "Home"));
    HWND edit = Item(open, kRowLinesEditId);
    for (const char* typed : { "51", "0", "x" }) {
        ASSERT_TRUE(TypeInto(edit, typed) && Click(Item(open, kRowLinesSetId)));
        ASSERT_TRUE(WaitUntil([&] { return OwnedPopup(open) != NULL; }) && Keys(OwnedPopup(open), "Return")) << typed;
        ASSERT_TRUE(WaitUntil([&] { return OwnedPopup(open) == NULL && IsWindowEnabled(open.dialog); }));
    }
    ASSERT_TRUE(TypeInto(edit, "12") && WaitUntil([&] { return TextOf(edit) == "12"; }) && KeysHere("Return"));
    ASSERT_TRUE(Click(Item(open, 1000)) && KeysHere("End shift+Up") && Click(Item(open, kRowLinesPageId)));
    ASSERT_TRUE(Click(Item(open, 1000)) && KeysHere("End Up") && Click(Item(open, kRowLinesDefaultId)));
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    LoadWindowList();
    const WindowList& list = AppState.windowList;
    EXPECT_EQ(std::vector<int>(list.lines, list.lines + list.count), (std::vector<int>{ 12, 5, 0, kPageScrollCount }));
}

TEST_F(SettingsDialog, CancelAfterEditsLeavesEverythingAsItWas)
{
    Target target = StartTarget("CancelTarget", 900, 40, 300, 200);
    const char* closers[] = { "button", "Escape", "alt+F4" };
    for (const char* closer : closers) {
        SCOPED_TRACE(closer);
        Seed({ "Keep1", "Keep2" }, 5, "");
        SetScrollCount(5);
        open = OpenSettings();
        Pick(target, "CancelTarget");
        ASSERT_TRUE(Click(Item(open, 1001)));
        ASSERT_TRUE(Click(Item(open, 1000)));
        ASSERT_TRUE(KeysHere("Home"));
        ASSERT_TRUE(Click(Item(open, 1002)));
        ASSERT_EQ(RowCount(open), 2);
        ASSERT_TRUE(Click(Item(open, 1004)));
        ASSERT_EQ(SendMessageA(Item(open, 1004), BM_GETCHECK, 0, 0), BST_CHECKED);
        ASSERT_TRUE(TypeInto(Item(open, 1003), "9"));

        if (lstrcmpA(closer, "button") == 0)
            ASSERT_TRUE(Click(Item(open, IDCANCEL)));
        else
            ASSERT_TRUE(Keys(open.dialog, closer));
        EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDCANCEL));
        const StoredSettings stored = ReadStored();
        EXPECT_EQ(stored.list, (std::vector<std::string>{ "Keep1", "Keep2" }));
        EXPECT_EQ(stored.scrollCount, 5u);
        EXPECT_FALSE(stored.runPresent);
        EXPECT_EQ(GetScrollCount(), 5);
        Discard(open);
    }
    EndTarget(target);
}

TEST_F(SettingsDialog, OkRewritesTheListAndTheRunValueEvenWhenUnchanged)
{
    Seed({ "Same" }, 3, kOtherRun);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_WINDOWLIST_KEY, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "Stray", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);

    open = OpenSettings();
    ASSERT_EQ(SendMessageA(Item(open, 1004), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    const StoredSettings stored = ReadStored();
    EXPECT_EQ(stored.list, (std::vector<std::string>{ "Same" }));
    for (const std::string& name : stored.valueNames)
        EXPECT_NE(name, "Stray") << "the key was not rebuilt";
    EXPECT_TRUE(stored.runPresent);
    EXPECT_NE(stored.runValue, kOtherRun);
    EXPECT_NE(stored.runValue.find("dialoghost.exe"), std::string::npos) << stored.runValue;

    // Unchecking removes the value; ticking an option box applies it and stores it.
    SetShiftScroll(0);
    SetScrollUnfocused(0);
    SetCtrlPage(0);
    open = OpenSettings();
    ASSERT_EQ(SendMessageA(Item(open, kShiftCheckId), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ASSERT_TRUE(Click(Item(open, 1004)));
    for (int box : { kShiftCheckId, kUnfocusedCheckId, kCtrlPageCheckId })
        ASSERT_TRUE(Click(Item(open, box))) << box;
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_FALSE(ReadStored().runPresent);
    EXPECT_EQ(GetShiftScroll(), 1);
    EXPECT_EQ(LoadShiftScroll(), 1);
    EXPECT_EQ(GetScrollUnfocused(), 1);
    EXPECT_EQ(LoadScrollUnfocused(), 1);
    EXPECT_EQ(GetCtrlPage(), 1);
    EXPECT_EQ(LoadCtrlPage(), 1);

    // Unticking them turns them off again, at once and in the store.
    open = OpenSettings();
    for (int box : { kUnfocusedCheckId, kCtrlPageCheckId })
        ASSERT_TRUE(Click(Item(open, box))) << box;
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(GetScrollUnfocused() + LoadScrollUnfocused() + GetCtrlPage() + LoadCtrlPage(), 0);
    SetShiftScroll(0);
}

// What a policy decides is shown locked, and OK stores only what the user may change.
TEST_F(SettingsDialog, PoliciesLockTheirControlsAndOkStoresOnlyTheRest)
{
    Seed({ "Mine" }, 5, "");
    const DWORD twelve = 12, one = 1;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, VELMORA_POLICY_KEY, "ScrollCount", REG_DWORD, &twelve, 4);
    RegSetKeyValueA(HKEY_CURRENT_USER, VELMORA_POLICY_KEY, "ShiftScroll", REG_DWORD, &one, 4);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, VELMORA_POLICY_KEY, "RunAtLogon", REG_DWORD, &one, 4);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, VELMORA_POLICY_WINDOWLIST_KEY, "1", REG_SZ, "Corp", 5);
    open = OpenSettings();
    EXPECT_TRUE(IsWindowVisible(Item(open, kManagedLineId)));
    EXPECT_EQ(TextOf(Item(open, kCountEditId)), "12");
    for (int id : { kCountEditId, kShiftCheckId, kRunCheckId })
        EXPECT_FALSE(IsWindowEnabled(Item(open, id))) << id;
    for (int id : { kShiftCheckId, kRunCheckId })
        EXPECT_EQ(SendMessageA(Item(open, id), BM_GETCHECK, 0, 0), BST_CHECKED) << id;
    ASSERT_EQ(RowCount(open), 2);
    ASSERT_TRUE(Keys(open.dialog, "Home shift+End"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Item(open, kDeleteId)) != FALSE; }));
    ASSERT_TRUE(Click(Item(open, kDeleteId)));
    EXPECT_EQ(RowCount(open), 1) << "the policy's class stays";
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    const StoredSettings stored = ReadStored();
    EXPECT_TRUE(stored.list.empty()) << "the policy's class is not the user's";
    EXPECT_EQ(stored.scrollCount, 5u);
    EXPECT_FALSE(stored.runPresent);
}

// A policy that comes while the dialog is open (a refresh): OK neither undoes it nor stores over it.
TEST_F(SettingsDialog, OkLeavesAPolicyThatCameWhileItWasOpen)
{
    Seed({}, 5, "");
    SaveShiftScroll(0), SetShiftScroll(0);
    open = OpenSettings();
    const DWORD twelve = 12, zero = 0;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, VELMORA_POLICY_KEY, "ScrollCount", REG_DWORD, &twelve, 4);
    RegSetKeyValueA(HKEY_CURRENT_USER, VELMORA_POLICY_KEY, "ShiftScroll", REG_DWORD, &zero, 4);
    ASSERT_TRUE(TypeInto(Item(open, kCountEditId), "9") && Click(Item(open, kShiftCheckId)) && Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(std::make_pair(GetScrollCount(), GetShiftScroll()), std::make_pair(3, 0)) << "the library";
    Seed({}, ReadStored().scrollCount, "");
    EXPECT_EQ(std::make_pair(LoadScrollCount(), LoadShiftScroll()), std::make_pair(5, 0)) << "the user's own settings";
}

} // namespace
