// The installer, driven through its real windows under Wine: the version
// window, the shell's folder browser and the message boxes, with the
// registry and the game folder checked after each road.

#include "wintest.hpp"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>

namespace {

const char kOld[] = "cs992003";
const char kOlder[] = "cs1142003";
const char kInvalid[] = "Invalid folder selection. Please try again.";
const char kComplete[] = "Installation complete!";
const std::string kTerminator(1, '\0');

void ClearSchemes()
{
    for (const char* scheme : {kOld, kOlder}) {
        // A test may have locked the key; open it up again before deleting.
        HKEY key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, scheme, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
            SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(key);
        }
        wt::DeleteRegistryTree(HKEY_CLASSES_ROOT, scheme);
    }
}

// A shipped folder (the installer with morvel.exe beside it) and a Half-Life
// folder whose path holds a space.
struct Folders {
    wt::ScratchFolder root{"installer"};
    std::string kit = root.Path() + "\\kit";
    std::string game = root.Path() + "\\Half Life";
    std::string launcherBytes = wt::ReadFile(wt::ProgramFolder() + "\\morvel.exe");

    explicit Folders(bool withLauncher = true)
    {
        ClearSchemes();
        wt::MakeFolder(kit);
        wt::CopyFileOrThrow(wt::ProgramFolder() + "\\morvelinstall.exe", kit + "\\morvelinstall.exe");
        if (withLauncher)
            wt::CopyFileOrThrow(wt::ProgramFolder() + "\\morvel.exe", kit + "\\morvel.exe");
        MakeGameFolder(game);
    }
    ~Folders() { ClearSchemes(); }

    static void MakeGameFolder(const std::string& folder)
    {
        wt::MakeFolder(folder);
        wt::WriteFile(folder + "\\hl.exe", "MZ stand-in game");
    }
    std::string Installer() const { return kit + "\\morvelinstall.exe"; }
};

std::string OpenCommand(const std::string& folder)
{
    return "\"" + folder + "\\morvel.exe\" \"%1\"";
}

struct Installer {
    wt::Process process;
    HWND window = nullptr;

    explicit Installer(const std::string& program)
    {
        process = wt::Start(program, "");
        window = wt::WaitForWindow(process.id, "Installer", 20000).window;
    }
    ~Installer()
    {
        if (!process.WaitForExit(0))
            process.Kill();
    }
    void Press(int id) const { wt::ClickButton(GetDlgItem(window, id)); }
    wt::Dialog Browser() const { return wt::WaitForFolderBrowser(process.id); }
    wt::Dialog Box() const { return wt::WaitForPlainDialog(process.id); }
    // Waits for the end; returns the exit status, or a marker if it hangs.
    DWORD Finish() const
    {
        if (!process.WaitForExit(15000)) {
            ADD_FAILURE() << "the installer did not end";
            return 0xDEADBEEF;
        }
        return process.ExitCode();
    }
    // From the browser on: pick the folder and press OK.
    void PickFolder(const std::string& folder) const
    {
        const wt::Dialog browser = Browser();
        ASSERT_NE(browser.window, nullptr) << "no folder browser";
        ASSERT_TRUE(wt::SelectFolder(process, browser.window, folder));
        wt::PressButton(browser.window, IDOK);
    }
    void ExpectBox(const char* text) const
    {
        const wt::Dialog box = Box();
        ASSERT_NE(box.window, nullptr) << "expected a box: " << text;
        EXPECT_EQ(box.title, "Installer");
        EXPECT_EQ(box.text, text);
        wt::PressButton(box.window, IDOK);
    }
};

void ExpectRegistered(const char* scheme, const std::string& folder)
{
    const wt::RegistryValue protocol = wt::ReadRegistryValue(HKEY_CLASSES_ROOT, scheme, "URL Protocol");
    ASSERT_TRUE(protocol.exists) << scheme;
    EXPECT_EQ(protocol.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(protocol.bytes, kTerminator) << "the empty string, size 1";
    const wt::RegistryValue description = wt::ReadRegistryValue(HKEY_CLASSES_ROOT, scheme, nullptr);
    EXPECT_EQ(description.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(description.bytes, "URL: Pellwick Protocol" + kTerminator);
    const wt::RegistryValue command =
        wt::ReadRegistryValue(HKEY_CLASSES_ROOT, std::string(scheme) + "\\shell\\open\\command", nullptr);
    EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(command.bytes, OpenCommand(folder) + kTerminator);
}

std::map<std::string, std::string> ReadProbe(const Installer& installer)
{
    const std::string dll = wt::ProgramFolder() + "\\window_probe.dll";
    const std::string report = wt::ProgramFolder() + "\\window_probe-" + std::to_string(installer.process.id) + ".txt";
    std::map<std::string, std::string> values;
    if (!wt::InjectLibrary(installer.process, dll) || !wt::WaitForPath(report, 15000))
        return values;
    const std::string text = wt::ReadFile(report);
    DeleteFileA(report.c_str());
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return values;
}

TEST(InstallerWindow, LayoutAsDesignedAndQuitEndsAtOnce)
{
    Folders setup;
    Installer installer(setup.Installer());
    ASSERT_NE(installer.window, nullptr) << "no version window";
    HWND window = installer.window;

    EXPECT_EQ(wt::WindowText(window), "Installer");
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    // WS_OVERLAPPEDWINDOW | WS_VISIBLE without the minimise and maximise boxes;
    // the system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(style & ~WS_CLIPSIBLINGS, 0x10CF0000 & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(style & WS_THICKFRAME) << "the window can still be resized";
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 150);
    EXPECT_EQ(frame.top, 150);
    EXPECT_EQ(frame.right - frame.left, 315);
    EXPECT_EQ(frame.bottom - frame.top, 200);

    struct Control {
        int id;
        const char* className;
        const char* text;
        RECT rect;
    };
    const Control controls[] = {
        {3, "Static", "Please select the version that you want to install the launcher for", {11, 11, 311, 241}},
        {0, "Button", "1.6 9/9/2003", {11, 50, 285, 75}},
        {1, "Button", "1.6 1/14/2003", {11, 82, 285, 107}},
        {2, "Button", "Quit", {11, 125, 285, 150}},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.text);
        HWND control = GetDlgItem(window, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(wt::ClassOf(control), c.className);
        EXPECT_EQ(wt::WindowText(control), c.text);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        EXPECT_EQ(rect.bottom, c.rect.bottom);
    }

    // Read from inside the installer: its system menu and its window class.
    const std::map<std::string, std::string> expected = {
        {"found", "1"},          {"close_grayed", "1"}, {"close_disabled", "1"}, {"unicode", "1"},
        {"class_style", "0"},    {"class_extra", "0"},  {"window_extra", "0"},   {"icon", "0"},
        {"arrow_cursor", "1"},   {"btnface_brush", "1"}, {"menu", "0"},          {"font", "0"},
    };
    EXPECT_EQ(ReadProbe(installer), expected);

    // Resizing by the border moves no control.
    SetWindowPos(window, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    RECT quit;
    GetWindowRect(GetDlgItem(window, 2), &quit);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&quit), 2);
    EXPECT_EQ(quit.top, 125);

    installer.Press(2);
    EXPECT_EQ(installer.Finish(), 0u);
    EXPECT_FALSE(wt::Exists(setup.game + "\\morvel.exe"));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOld));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOlder));
}

TEST(InstallerRun, EachBuildRegistersItsOwnScheme)
{
    struct Build {
        int button;
        const char* scheme;
        const char* other;
    };
    for (const Build& build : {Build{0, kOld, kOlder}, Build{1, kOlder, kOld}}) {
        SCOPED_TRACE(build.scheme);
        Folders setup;
        wt::WriteFile(setup.game + "\\morvel.exe", "an older launcher");
        // Values and keys that the installer does not write must stay.
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, build.scheme, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Extra", 0, REG_SZ, reinterpret_cast<const BYTE*>("keep"), 5);
        RegCloseKey(key);
        ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, (std::string(build.scheme) + "\\DefaultIcon").c_str(), REG_SZ,
                               "icon.ico", 8),
                  ERROR_SUCCESS);

        Installer installer(setup.Installer());
        ASSERT_NE(installer.window, nullptr);
        installer.Press(build.button);
        installer.PickFolder(setup.game);

        const wt::Dialog done = installer.Box();
        ASSERT_NE(done.window, nullptr);
        EXPECT_EQ(done.text, kComplete);
        // Completion is only shown once the copy and the registration are done.
        EXPECT_EQ(wt::ReadFile(setup.game + "\\morvel.exe"), setup.launcherBytes);
        ExpectRegistered(build.scheme, setup.game);
        EXPECT_TRUE(IsWindowVisible(installer.window)) << "the version window stays up to the end";
        wt::PressButton(done.window, IDOK);
        EXPECT_EQ(installer.Finish(), 0u);

        EXPECT_EQ(wt::ReadRegistryValue(HKEY_CLASSES_ROOT, build.scheme, "Extra").bytes, "keep" + kTerminator);
        EXPECT_EQ(wt::ReadRegistryValue(HKEY_CLASSES_ROOT, std::string(build.scheme) + "\\DefaultIcon", nullptr).bytes,
                  "icon.ico" + kTerminator);
        EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, build.other));
    }
}

TEST(InstallerRun, SecondRunForTheSameSchemeKeepsOnlyTheNewFolder)
{
    Folders setup;
    const std::string second = setup.root.Path() + "\\Other Half-Life";
    Folders::MakeGameFolder(second);
    for (const std::string& folder : {setup.game, second}) {
        Installer installer(setup.Installer());
        installer.Press(0);
        installer.PickFolder(folder);
        installer.ExpectBox(kComplete);
        EXPECT_EQ(installer.Finish(), 0u);
    }
    ExpectRegistered(kOld, second);
}

TEST(InstallerRun, StartedFromTheGameFolderItself)
{
    Folders setup;
    wt::CopyFileOrThrow(setup.Installer(), setup.game + "\\morvelinstall.exe");
    wt::CopyFileOrThrow(setup.kit + "\\morvel.exe", setup.game + "\\morvel.exe");
    Installer installer(setup.game + "\\morvelinstall.exe");
    installer.Press(1);
    installer.PickFolder(setup.game);
    installer.ExpectBox(kComplete);
    EXPECT_EQ(installer.Finish(), 0u);
    EXPECT_EQ(wt::ReadFile(setup.game + "\\morvel.exe"), setup.launcherBytes);
    ExpectRegistered(kOlder, setup.game);
}

TEST(InstallerFolder, WrongFolderOrCancelShowsTheErrorThenTheBrowserAgain)
{
    Folders setup;
    const std::string empty = setup.root.Path() + "\\no game here";
    wt::MakeFolder(empty);
    Installer installer(setup.Installer());
    installer.Press(0);

    installer.PickFolder(empty);
    installer.ExpectBox(kInvalid);

    const wt::Dialog browser = installer.Browser();
    ASSERT_NE(browser.window, nullptr) << "the browser must come back after the error";
    wt::PressButton(browser.window, IDCANCEL);
    installer.ExpectBox(kInvalid);

    installer.PickFolder(setup.game);
    installer.ExpectBox(kComplete);
    EXPECT_EQ(installer.Finish(), 0u);
    ExpectRegistered(kOld, setup.game);
    EXPECT_FALSE(wt::Exists(empty + "\\morvel.exe"));
}

TEST(InstallerQuit, QuitWhileTheFolderStageIsOpen)
{
    for (const bool inErrorBox : {false, true}) {
        SCOPED_TRACE(inErrorBox ? "error box open" : "browser open");
        Folders setup;
        Installer installer(setup.Installer());
        installer.Press(0);
        const wt::Dialog browser = installer.Browser();
        ASSERT_NE(browser.window, nullptr);
        if (inErrorBox) {
            wt::PressButton(browser.window, IDCANCEL);
            ASSERT_NE(installer.Box().window, nullptr);
        }
        installer.Press(2);
        EXPECT_EQ(installer.Finish(), 0u);
        EXPECT_FALSE(wt::Exists(setup.game + "\\morvel.exe"));
        EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOld));
    }
}

TEST(InstallerVersion, PressingABuildAgainChangesNothing)
{
    Folders setup;
    Installer installer(setup.Installer());
    installer.Press(0);
    const wt::Dialog browser = installer.Browser();
    ASSERT_NE(browser.window, nullptr);
    installer.Press(1);
    installer.Press(0);
    Sleep(700);
    EXPECT_TRUE(IsWindow(browser.window) && IsWindowVisible(browser.window)) << "a version press ended the browser";
    installer.PickFolder(setup.game);
    installer.ExpectBox(kComplete);
    EXPECT_EQ(installer.Finish(), 0u);
    ExpectRegistered(kOld, setup.game);
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOlder));
}

TEST(InstallerErrors, CopyFailuresAreReportedAndNothingRegistered)
{
    struct Case {
        const char* what;
        bool withLauncher;
        bool targetIsFolder;
    };
    const Case cases[] = {
        {"no morvel.exe beside the installer", false, false},
        // A folder named morvel.exe: the game folder cannot take the file.
        {"target cannot be written", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folders setup(c.withLauncher);
        if (c.targetIsFolder)
            wt::MakeFolder(setup.game + "\\morvel.exe");
        Installer installer(setup.Installer());
        installer.Press(0);
        installer.PickFolder(setup.game);
        const wt::Dialog box = installer.Box();
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.title, "Installer");
        EXPECT_NE(box.text.find("From: " + setup.kit + "\\morvel.exe"), std::string::npos) << box.text;
        EXPECT_NE(box.text.find("To: " + setup.game + "\\morvel.exe"), std::string::npos) << box.text;
        EXPECT_NE(box.text.find("Reason: "), std::string::npos) << box.text;
        wt::PressButton(box.window, IDOK);
        EXPECT_EQ(installer.Finish(), 1u);
        EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOld));
    }
}

TEST(InstallerErrors, ReadOnlyGameFolderIsReported)
{
    Folders setup;
    // Wine runs as root here, which the read-only attribute does not stop;
    // the folder is made immutable on the Unix side as well.
    SetFileAttributesA(setup.game.c_str(), FILE_ATTRIBUTE_READONLY);
    if (!wt::SetImmutable(setup.game, true))
        GTEST_SKIP() << "this machine cannot make a folder unwritable for root (chattr)";
    Installer installer(setup.Installer());
    installer.Press(0);
    installer.PickFolder(setup.game);
    const wt::Dialog box = installer.Box();
    wt::SetImmutable(setup.game, false);
    SetFileAttributesA(setup.game.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(box.window, nullptr);
    EXPECT_NE(box.text.find("could not be copied"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("To: " + setup.game + "\\morvel.exe"), std::string::npos) << box.text;
    wt::PressButton(box.window, IDOK);
    EXPECT_EQ(installer.Finish(), 1u);
    EXPECT_FALSE(wt::Exists(setup.game + "\\morvel.exe"));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOld));
}

TEST(InstallerErrors, LauncherInUseWhileCopyingOverIt)
{
    Folders setup;
    // A launcher from an earlier installation waits for its game.
    wt::CopyFileOrThrow(wt::ProgramFolder() + "\\standin_hl.exe", setup.game + "\\hl.exe");
    wt::WriteFile(setup.game + "\\hl-control.txt", "answer-wait 0\nhold\n");
    wt::MakeFolder(setup.game + "\\cstrike");
    wt::CopyFileOrThrow(wt::ProgramFolder() + "\\morvel.exe", setup.game + "\\morvel.exe");
    const std::string older = wt::ReadFile(setup.game + "\\morvel.exe");
    const wt::Process waiting =
        wt::Start(setup.game + "\\morvel.exe", wt::Quoted("cs992003://cstrike:127.0.0.1:27015/"), setup.root.Path());
    ASSERT_TRUE(wt::WaitForPath(setup.game + "\\hl-record\\started", 20000));
    // The shipped launcher differs from the one in use, so a copy would show.
    wt::WriteFile(setup.kit + "\\morvel.exe", setup.launcherBytes + "newer");

    Installer installer(setup.Installer());
    installer.Press(0);
    installer.PickFolder(setup.game);
    const wt::Dialog box = installer.Box();
    ASSERT_NE(box.window, nullptr);
    const bool copied = box.text == kComplete;
    wt::PressButton(box.window, IDOK);
    installer.Finish();
    wt::WriteFile(setup.game + "\\hl-release", "");
    EXPECT_TRUE(waiting.WaitForExit(20000));
    if (copied) {
        // Windows refuses to overwrite a running program; Wine lets it happen.
        EXPECT_EQ(wt::ReadFile(setup.game + "\\morvel.exe"), setup.launcherBytes + "newer");
        GTEST_SKIP() << "Wine does not lock a running program's file: the copy went through and was reported "
                        "as complete, which is true here";
    }
    EXPECT_NE(box.text.find("could not be copied"), std::string::npos) << box.text;
    EXPECT_EQ(wt::ReadFile(setup.game + "\\morvel.exe"), older);
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_CLASSES_ROOT, kOld));
}

// A scheme key whose access list lets nobody write to it.
bool MakeReadOnlyKey(const char* scheme)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, scheme, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    EXPLICIT_ACCESSA access{};
    access.grfAccessPermissions = KEY_READ | WRITE_DAC | DELETE;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<char*>("EVERYONE");
    PACL acl = nullptr;
    bool ok = SetEntriesInAclA(1, &access, nullptr, &acl) == ERROR_SUCCESS &&
              SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    LocalFree(acl);
    RegCloseKey(key);
    return ok;
}

TEST(InstallerErrors, RegistryRefusalIsReported)
{
    Folders setup;
    ASSERT_TRUE(MakeReadOnlyKey(kOlder));
    HKEY probe;
    const LONG refused = RegOpenKeyExA(HKEY_CLASSES_ROOT, kOlder, 0, KEY_WRITE, &probe);
    if (refused == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this Wine grants registry writes whatever the key's access list says";
    }
    Installer installer(setup.Installer());
    installer.Press(1);
    installer.PickFolder(setup.game);
    const wt::Dialog box = installer.Box();
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.title, "Installer");
    EXPECT_NE(box.text.find(std::string("HKEY_CLASSES_ROOT\\") + kOlder), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("administrator"), std::string::npos) << box.text;
    wt::PressButton(box.window, IDOK);
    EXPECT_EQ(installer.Finish(), 1u);
    EXPECT_FALSE(wt::ReadRegistryValue(HKEY_CLASSES_ROOT, kOlder, "URL Protocol").exists);
}

} // namespace
