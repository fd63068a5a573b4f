// smshost: loads smsutil.dll from its own folder, logs an account in and
// runs the message loop.
//   smshost.exe [--account N] [--directory FILE] [--data DIR] [--seconds N] [--order]
//               [--at X,Y]
#include "afxwin.h"
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
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--account" && hasValue) options.account = strtoul(argv[++i], nullptr, 10);
        else if (arg == "--directory" && hasValue) options.directoryFile = argv[++i];
        else if (arg == "--data" && hasValue) options.dataDir = argv[++i];
        else if (arg == "--seconds" && hasValue) options.seconds = atoi(argv[++i]);
        else if (arg == "--order") options.order = true;
        else if (arg == "--at" && hasValue && sscanf(argv[i + 1], "%d,%d", &options.x, &options.y) == 2) ++i;
        else {
            fprintf(stderr, "smshost: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
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

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;

    AccountDirectory directory = AccountDirectory::BuiltIn();
    if (!options.directoryFile.empty()) {
        std::string error;
        if (!directory.LoadFile(options.directoryFile, error)) {
            fprintf(stderr, "smshost: %s\n", error.c_str());
            return 2;
        }
    }
    if (!directory.Find(options.account)) {
        fprintf(stderr, "smshost: account %u is not in the directory\n", options.account);
        return 2;
    }
    const CString dataDir = options.dataDir.empty() ? DefaultDataDir(options.account)
                                                    : WindowsDirectory(options.dataDir);
    MakeDirectories(dataDir);

    CHostApp host(directory, options.account, dataDir);
    IxaBase::SetIxaInstance(&host);

    HMODULE module = LoadLibraryA("smsutil.dll");
    auto getPlugin = module ? reinterpret_cast<IxaPlugin* (*)()>(GetProcAddress(module, "getPlugin")) : nullptr;
    if (!getPlugin) {
        fprintf(stderr, "smshost: cannot load smsutil.dll (error %lu)\n", GetLastError());
        return 1;
    }
    IxaPlugin* plugin = getPlugin();
    plugin->InitPlugin();
    printf("smshost: account %u (%s), data directory %s\n", options.account,
           ToUtf8(FromUtf8(directory.Find(options.account)->name)).c_str(), ToUtf8(dataDir).c_str());
    printf("smshost: loaded \"%s\" (%s)\n", ToUtf8(plugin->GetPluginName()).c_str(), plugin->GetPluginClassId());
    for (const std::string& line : host.Registration()) printf("smshost: %s\n", line.c_str());

    CHostWindow window(host, *plugin, *directory.Find(options.account), directory);
    if (!window.Create(options.x, options.y)) {
        fprintf(stderr, "smshost: cannot create the main window\n");
        return 1;
    }

    // The signalling module learns the account before anything is called.
    SwitchManager::getInstance()->SetLocalAccount(options.account);
    // The session becomes known before the account, as the client logs in.
    host.Broadcast(IXA_MESSAGE_SESSION);
    host.Broadcast(IXA_MESSAGE_ACCOUNT);
    printf("smshost: logged in\n");
    if (options.order) plugin->OpenOrderPage();

    if (options.seconds >= 0) SetTimer(nullptr, 0, options.seconds * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        // As the client's framework does, the plugin's modeless dialogs take
        // their keys (Enter, Escape, Tab) through their dialog manager.
        if (AfxPreTranslateDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    for (const std::string& line : DescribePluginWindows()) printf("smshost: %s\n", line.c_str());

    host.Broadcast(IXA_MESSAGE_OFFLINE);
    plugin->ExitPlugin();
    printf("smshost: logged out\n");
    IxaBase::SetIxaInstance(nullptr);
    return 0;
}
