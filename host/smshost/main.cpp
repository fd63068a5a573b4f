// smshost: loads smsutil.dll from its own folder, logs an account in and
// runs the message loop.
//   smshost.exe [--account N] [--directory FILE] [--data DIR] [--seconds N] [--order]
//               [--at X,Y] [--language ID]
#include "afxwin.h"
#include "command_line.h"
#include "host_app.h"
#include "host_window.h"
#include "switch_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    uint32_t account = 10001;
    std::string directoryFile;
    std::string dataDir;
    int seconds = -1;
    bool order = false;
    int x = 560, y = 20;
    int language = 2052;
};

int ReadCommandLine(int argc, char** argv, Options& options)
{
    const CLI::Validator corner(
        [](std::string& text) {
            int x, y;
            return sscanf(text.c_str(), "%d,%d", &x, &y) == 2 ? std::string() : "wants X,Y, not " + text;
        },
        "");
    std::string at;
    CLI::App app("smshost: the instant-messaging client stand-in. It loads smsutil.dll from its own folder, logs "
                 "an account in and runs until its window closes.");
    DescribeCommandLine(app, "smshost");
    app.add_option("--account", options.account, "the account to log in; 10001 unless given")->type_name("N");
    app.add_option("--directory", options.directoryFile, "the account directory; the built-in one unless given")
        ->type_name("FILE");
    app.add_option("--data", options.dataDir, "the account's data directory; data\\N\\ beside the program unless given")
        ->type_name("DIR");
    app.add_option("--seconds", options.seconds, "ends the run after N seconds")->type_name("N");
    app.add_flag("--order", options.order, "opens the order page once logged in");
    app.add_option("--language", options.language,
                   "the user's language as the host reports it: 2052 Chinese (unless given), 1033 English")
        ->type_name("ID");
    app.add_option("--at", at, "where the main window's top left corner goes")->type_name("X,Y")->check(corner);
    app.footer("The switch's address comes from SMSUTIL_SWITCH_ADDR (HOST:PORT), else 127.0.0.1:20061.");
    const int status = ParseCommandLine(app, argc, argv);
    if (status < 0 && !at.empty()) sscanf(at.c_str(), "%d,%d", &options.x, &options.y);
    return status;
}

// A Unix path from a shell script becomes the Z: path Wine maps it to; the
// directory always ends in a separator because the module appends the file
// name directly.
CString WindowsDirectory(std::string path)
{
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) if (c == '/') c = '\\';
    if (!path.empty() && path.back() != '\\') path += '\\';
    return CString(path.c_str());
}

CString DefaultDataDir(uint32_t account)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    CString dir(module);
    dir = dir.Left(dir.ReverseFind('\\') + 1);
    CString data;
    data.Format("%sdata\\%u\\", (const char*)dir, account);
    return data;
}

void MakeDirectories(const CString& path)
{
    for (int i = 3; i < path.GetLength(); ++i)
        if (path[i] == '\\') CreateDirectoryA(path.Left(i), nullptr);
}

// The module from the program's own folder, as the client loads a plugin;
// null after saying why not.
IxaPlugin* LoadPlugin()
{
    HMODULE module = LoadLibraryA("smsutil.dll");
    auto getPlugin = module ? reinterpret_cast<IxaPlugin* (*)()>(GetProcAddress(module, "getPlugin")) : nullptr;
    if (!getPlugin) {
        fprintf(stderr, "smshost: cannot load smsutil.dll (error %lu)\n", GetLastError());
        return nullptr;
    }
    return getPlugin();
}

// Until the window closes, or `seconds` pass when they are not negative.
void RunMessageLoop(int seconds)
{
    if (seconds >= 0) SetTimer(nullptr, 0, seconds * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        // As the client's framework does, the plugin's modeless dialogs take
        // their keys (Enter, Escape, Tab) through their dialog manager.
        if (AfxPreTranslateDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    const int status = ReadCommandLine(argc, argv, options);
    if (status >= 0) return status;

    AccountDirectory directory = AccountDirectory::BuiltIn();
    std::string error;
    if (!options.directoryFile.empty() && !directory.LoadFile(options.directoryFile, error)) {
        fprintf(stderr, "smshost: %s\n", error.c_str());
        return 2;
    }
    const DirectoryAccount* account = directory.Find(options.account);
    if (!account) {
        fprintf(stderr, "smshost: account %u is not in the directory\n", options.account);
        return 2;
    }
    const CString dataDir = options.dataDir.empty() ? DefaultDataDir(options.account)
                                                    : WindowsDirectory(options.dataDir);
    MakeDirectories(dataDir);

    CHostApp host(directory, options.account, dataDir, options.language);
    IxaBase::SetIxaInstance(&host);
    CHostWindow window(host, *account, directory);
    if (!window.Create(options.x, options.y)) {
        fprintf(stderr, "smshost: cannot create the main window\n");
        return 1;
    }
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    IxaPlugin* plugin = LoadPlugin();
    if (!plugin) return 1;
    plugin->InitPlugin();
    QueryPerformanceCounter(&after);
    printf("smshost: account %u (%s), data directory %s, language %d\n", options.account,
           ToUtf8(FromUtf8(account->name)).c_str(), ToUtf8(dataDir).c_str(), options.language);
    printf("smshost: loaded \"%s\" (%s), load and InitPlugin %.1f ms\n", ToUtf8(plugin->GetPluginName()).c_str(),
           plugin->GetPluginClassId(), (after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart);
    for (const std::string& line : host.Registration()) printf("smshost: %s\n", line.c_str());

    window.AddPlugin(*plugin);

    // The signalling module learns the account before anything is called.
    SwitchManager::getInstance()->SetLocalAccount(options.account);
    // The session becomes known before the account, as the client logs in.
    host.Broadcast(IXA_MESSAGE_SESSION);
    host.Broadcast(IXA_MESSAGE_ACCOUNT);
    printf("smshost: logged in\n");
    if (options.order) plugin->OpenOrderPage();
    RunMessageLoop(options.seconds);
    for (const std::string& line : DescribePluginWindows()) printf("smshost: %s\n", line.c_str());

    host.Broadcast(IXA_MESSAGE_OFFLINE);
    plugin->ExitPlugin();
    printf("smshost: logged out\n");
    IxaBase::SetIxaInstance(nullptr);
    return 0;
}
