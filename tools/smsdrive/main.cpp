// smsdrive: acts on the windows of running hosts from outside, as a person
// would, for the end-to-end tests: finds a control by its id in a top-level
// window and clicks it, reads it, types into it or picks from it.
//   smsdrive [--account N] click ID        posts a click to the button
//   smsdrive [--account N] text ID         prints the control's text (UTF-8)
//   smsdrive [--account N] close ID        closes the window that holds it
//   smsdrive [--account N] pick ID INDEX   double-clicks item INDEX of a list
//   smsdrive [--account N] paste ID FILE   pastes FILE's UTF-8 text into it
//   smsdrive --account N ping              a message to the host's main window
//                                          and back: prints the milliseconds;
//                                          status 1 after a second without one
// --account N keeps to the host process of account N (its main window's
// caption ends in "(N)"). Only visible controls count. Exit status 1 when
// no such control exists.
#include "window_drive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::wstring ReadUtf8File(const char* path, bool& ok)
{
    std::string utf8;
    FILE* input = fopen(path, "rb");
    ok = input != nullptr;
    if (!input) return std::wstring();
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, input)) > 0;) utf8.append(buffer, n);
    fclose(input);
    return drive::Wide(utf8);
}

int Usage()
{
    fprintf(stderr, "usage: smsdrive [--account N] click|text|close|top ID | pick ID INDEX | paste ID FILE"
                    " | --account N ping\n");
    return 2;
}

// Whether the host's GUI thread answers: what a person notices first when
// it does not is a window that no longer reacts.
int Ping(uint32_t account)
{
    HWND host = drive::FindHostWindow(account);
    if (!host) return 1;
    const DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(host, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result)) {
        printf("no answer\n");
        return 1;
    }
    printf("%lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "--account") == 0 && strcmp(argv[3], "ping") == 0)
        return Ping(strtoul(argv[2], nullptr, 10));
    int arg = 1;
    DWORD process = 0;
    if (argc > 2 && strcmp(argv[1], "--account") == 0) {
        process = drive::FindHostProcess(strtoul(argv[2], nullptr, 10));
        if (!process) return 1;
        arg = 3;
    }
    if (argc - arg < 2) return Usage();
    const std::string command = argv[arg];
    const int id = atoi(argv[arg + 1]);
    const bool takesValue = command == "pick" || command == "paste";
    if (argc - arg != (takesValue ? 3 : 2)) return Usage();
    HWND control = drive::FindControl(process, id);
    if (!control) return 1;

    if (command == "click") {
        drive::Click(control);
    } else if (command == "text") {
        printf("%s\n", drive::TextUtf8(control).c_str());
    } else if (command == "top") {
        printf("%s\n", drive::IsInFront(control) ? "top" : "covered");
    } else if (command == "close") {
        drive::CloseWindowOf(control);
    } else if (command == "pick") {
        if (!drive::DoubleClickItem(control, atoi(argv[arg + 2]))) return 1;
    } else if (command == "paste") {
        bool ok = false;
        const std::wstring text = ReadUtf8File(argv[arg + 2], ok);
        if (!ok || !drive::Paste(control, text)) return 1;
    } else {
        return Usage();
    }
    return 0;
}
