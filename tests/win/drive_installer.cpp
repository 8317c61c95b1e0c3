// Drives the real installer through its windows, as a player would, printing
// each step: press a build's button, pick the game folder in the folder
// browser, confirm the completion box.
//   drive_installer INSTALLER BUTTON_ID GAME_FOLDER [SCREENSHOT_FOLDER]
// Exit status 0 when the installer reported completion and ended with 0.
#include "wintest.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string shots;

void Shot(const char* name)
{
    if (shots.empty())
        return;
    Sleep(300);  // let the window finish painting
    const std::string path = shots + "\\" + name;
    if (wt::SaveScreenshot(path))
        std::printf("installer:   screenshot %s\n", name);
}

int Fail(const wt::Process& installer, const char* what)
{
    std::printf("installer: FAILED: %s\n", what);
    Shot("failure.bmp");
    installer.Kill();
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: drive_installer INSTALLER BUTTON_ID GAME_FOLDER [SCREENSHOT_FOLDER]\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string program = argv[1];
    const int button = std::atoi(argv[2]);
    const std::string folder = argv[3];
    shots = argc > 4 ? argv[4] : "";

    const wt::Process installer = wt::Start(program, "");
    std::printf("installer: started %s\n", program.c_str());
    const wt::Dialog window = wt::WaitForWindow(installer.id, "Installer", 20000);
    if (!window.window)
        return Fail(installer, "no version window");
    std::printf("installer: version window \"%s\" is up\n", window.title.c_str());
    Shot("1-version-window.bmp");

    HWND choice = GetDlgItem(window.window, button);
    std::printf("installer: pressing \"%s\"\n", wt::WindowText(choice).c_str());
    wt::ClickButton(choice);

    const wt::Dialog browser = wt::WaitForFolderBrowser(installer.id);
    if (!browser.window)
        return Fail(installer, "no folder browser");
    std::printf("installer: folder browser asks: \"%s\"\n", browser.text.c_str());
    if (!wt::SelectFolder(installer, browser.window, folder))
        return Fail(installer, "the folder browser took no selection");
    Shot("2-folder-browser.bmp");
    std::printf("installer: selected %s and pressed OK\n", folder.c_str());
    wt::PressButton(browser.window, IDOK);

    const wt::Dialog box = wt::WaitForPlainDialog(installer.id);
    if (!box.window)
        return Fail(installer, "no box after the folder choice");
    std::printf("installer: box \"%s\": %s\n", box.title.c_str(), box.text.c_str());
    Shot("3-completion-box.bmp");
    wt::PressButton(box.window, IDOK);
    if (!installer.WaitForExit(15000))
        return Fail(installer, "the installer did not end");
    std::printf("installer: ended with exit status %lu\n", installer.ExitCode());
    return box.text == "Installation complete!" && installer.ExitCode() == 0 ? 0 : 1;
}
