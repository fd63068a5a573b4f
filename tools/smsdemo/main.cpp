// smsdemo: plays a conversation between two running hosts, 张三 (10001) in
// Chinese and 李四 (10002) in English, through their windows as a person
// would, and checks that every step shows what it should. With --shots it
// stops after each step for a screenshot: it prints "shot NAME CAPTION" and
// goes on once NAME.png exists in the folder.
//   smsdemo [--shots DIR] [--clock-file FILE]
// --clock-file is the server's clock offset file; the scheduled step sets it
// so that the next minute by the server's clock is seconds away.
// Exit status 0 only when every step was seen to happen.
#include "window_drive.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// The host's controls, and the plugin's that a person uses.
enum : int {
    kPluginButton = 100, kContacts = 101,
    kOrderBrowser = 3059,
    kRecipient = 3046, kCounterFrame = 3066, kMessage = 3063, kSend = 3049, kSignCheck = 3050,
    kSignature = 3052, kScheduleCheck = 3051, kYear = 3033, kMonth = 3034, kDay = 3035, kHour = 3036,
    kMinute = 3037,
    kViewHistory = 567, kReply = 3017, kBackNext = 3018, kSender = 3031, kBody = 3040,
    kHistoryList = 3039,
    kMessageBoxText = 0xFFFF,
};

// What the plugin says in each host's language: 李四's host runs in English.
struct HostTexts {
    const wchar_t* counter; // a part of the counter once a message is typed
    const wchar_t* back;
    const wchar_t* next;
};
const HostTexts kChinese = {L"您的消息共", L"返回", L"下一条>>"};
const HostTexts kEnglish = {L"yours has", L"Back", L"Next >>"};

const DWORD kAppearMs = 20000;
// A send may wait for the service's call to be answered and then for the
// server: the send dialog gives up after 30 seconds.
const DWORD kSendMs = 35000;

std::string g_shots;
std::string g_clockFile;
int g_shot = 0;

void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printf("demo: ");
    vprintf(format, args);
    printf("\n");
    fflush(stdout);
    va_end(args);
}

[[noreturn]] void Fail(const std::string& what)
{
    printf("FAIL: %s\n", what.c_str());
    fflush(stdout);
    exit(1);
}

std::string Quoted(const std::wstring& text)
{
    return "\"" + drive::Utf8(text) + "\"";
}

void Shot(const char* name, const char* caption)
{
    if (g_shots.empty()) return;
    char file[32];
    snprintf(file, sizeof file, "%02d-%s", ++g_shot, name);
    printf("shot %s %s\n", file, caption);
    fflush(stdout);
    const std::string path = g_shots + "\\" + file + ".png";
    if (!drive::WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000))
        Fail(std::string("no screenshot ") + file + ".png was taken");
}

DWORD Host(uint32_t account, const char* name)
{
    DWORD process = 0;
    if (!drive::WaitFor([&] { return (process = drive::FindHostProcess(account)) != 0; }, 60000))
        Fail(std::string("the host of ") + name + " did not start");
    return process;
}

HWND Expect(DWORD process, int id, const char* what, DWORD timeoutMs = kAppearMs)
{
    HWND control = nullptr;
    if (!drive::WaitFor([&] { return (control = drive::FindControl(process, id)) != nullptr; }, timeoutMs))
        Fail(std::string(what) + " did not appear");
    return control;
}

void ExpectGone(DWORD process, int id, const char* what, DWORD timeoutMs = kAppearMs)
{
    if (!drive::WaitFor([&] { return drive::FindControl(process, id) == nullptr; }, timeoutMs))
        Fail(std::string(what) + " did not go away");
}

// Waits until the control shows `text` (exactly, or as a part with `part`).
HWND ExpectText(DWORD process, int id, const std::wstring& text, const char* what, bool part = false,
                DWORD timeoutMs = kAppearMs)
{
    HWND control = Expect(process, id, what, timeoutMs);
    std::wstring seen;
    const bool shown = drive::WaitFor([&] {
        control = drive::FindControl(process, id);
        seen = control ? drive::Text(control) : std::wstring();
        return part ? seen.find(text) != std::wstring::npos : seen == text;
    }, timeoutMs);
    if (!shown) Fail(std::string(what) + " shows " + Quoted(seen) + ", not " + Quoted(text));
    return control;
}

bool IsChecked(HWND button)
{
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ExpectChecked(HWND button, const char* what)
{
    if (!drive::WaitFor([&] { return IsChecked(button); }, kAppearMs)) Fail(std::string(what) + " is not ticked");
}

// The message box of `process` that says `text`.
HWND ExpectMessageBox(DWORD process, const std::wstring& text)
{
    struct Search {
        DWORD process;
        const std::wstring* text;
        HWND found;
    } search{process, &text, nullptr};
    const bool shown = drive::WaitFor([&] {
        search.found = nullptr;
        EnumWindows([](HWND window, LPARAM parameter) -> BOOL {
            auto search = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            HWND label = GetDlgItem(window, kMessageBoxText);
            if (owner != search->process || !IsWindowVisible(window) || wcscmp(name, L"#32770") != 0 || !label ||
                drive::Text(label) != *search->text)
                return TRUE;
            search->found = window;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, kAppearMs);
    if (!shown) Fail("the message box " + Quoted(text) + " did not appear");
    return search.found;
}

// Double-clicks a contact in the host's list; the send dialog opens on him
// unless a message box says why not.
void PickContact(DWORD host, const std::wstring& name)
{
    HWND list = Expect(host, kContacts, "the host's contact list");
    const int index = drive::FindListItem(list, name + L" (");
    if (index < 0) Fail("the contact list has no " + Quoted(name));
    drive::DoubleClickItem(list, index);
}

HWND OpenSendDialog(DWORD host, const std::wstring& name, const std::wstring& number)
{
    PickContact(host, name);
    ExpectText(host, kRecipient, name + L"(" + number + L")", "the send dialog's recipient");
    return Expect(host, kMessage, "the send dialog's message field");
}

void TypeMessage(DWORD host, HWND field, const std::wstring& text, const HostTexts& language = kChinese)
{
    drive::Type(field, text);
    if (!drive::WaitFor([&] { return drive::Text(field) == text; }, kAppearMs))
        Fail("the message field holds " + Quoted(drive::Text(field)) + ", not the typed " + Quoted(text));
    // The counter follows every keystroke.
    ExpectText(host, kCounterFrame, language.counter, "the counter", true);
}

void Send(DWORD host)
{
    drive::Click(Expect(host, kSend, "the send button"));
    ExpectGone(host, kMessage, "the send dialog, once the message was handed over,", kSendMs);
}

// A date or time field takes a digit into the value it shows while the two
// stay in range, else starts a new value with it: a person types the number
// again until the field shows it.
void SetField(HWND field, int value)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        drive::PostChars(field, std::to_string(value));
        // The fields keep their width: a day may show as " 6".
        if (drive::WaitFor([&] { return _wtoi(drive::Text(field).c_str()) == value; }, 1000)) return;
    }
    Fail("a time field shows " + Quoted(drive::Text(field)) + ", not " + std::to_string(value));
}

void StepOrderPage(DWORD zhang)
{
    Say("1. 张三 and 李四 are logged in; 张三 opens the order page from the plugin's button");
    drive::Click(Expect(zhang, kPluginButton, "张三's plugin button"));
    ExpectText(zhang, kOrderBrowser, L"10001", "the order page", true);
    Sleep(500); // the page paints after it arrived
    Shot("order-page", "张三 clicks the plugin's button: the service has started, and its order page opens.");
    drive::CloseWindowOf(Expect(zhang, kOrderBrowser, "the order page"));
    ExpectGone(zhang, kOrderBrowser, "the order dialog");
}

void StepSend(DWORD zhang)
{
    Say("2. 张三 double-clicks 李四, types a message, ticks the signature and sends");
    HWND message = OpenSendDialog(zhang, L"李四", L"10002");
    TypeMessage(zhang, message, L"李四你好！周六下午三点，老地方见。See you at 3pm.");
    HWND sign = Expect(zhang, kSignCheck, "the signature box");
    if (!IsChecked(sign)) drive::Click(sign);
    ExpectChecked(sign, "the signature box");
    HWND signature = Expect(zhang, kSignature, "the signature field");
    drive::SelectAll(signature);
    drive::Type(signature, L"张三");
    ExpectText(zhang, kSignature, L"张三", "the signature field");
    Shot("send-dialog", "张三 writes to 李四: the counter counts the characters left, and the signature is ticked.");
    Send(zhang);
}

void StepReceive(DWORD zhang, DWORD li)
{
    Say("3. 李四's view dialog appears, in English; a second message turns its button into \"Next >>\"");
    ExpectText(li, kSender, L"张三(10001)", "李四's view dialog");
    ExpectText(li, kBody, L"张三:李四你好！周六下午三点，老地方见。See you at 3pm.", "the received text");
    ExpectText(li, kBackNext, kEnglish.back, "the view dialog's button");
    Shot("message-arrives", "李四's client, in English, shows 张三's message, signed, in a view dialog beside it.");

    HWND message = OpenSendDialog(zhang, L"李四", L"10002");
    ExpectChecked(Expect(zhang, kSignCheck, "the signature box"), "the stored signature");
    TypeMessage(zhang, message, L"记得带上那本书。");
    Send(zhang);
    ExpectText(li, kBackNext, kEnglish.next, "李四's view dialog's button");
    Shot("next-waiting", "A second message from 张三 waits: the button now reads \"Next >>\" (\"下一条>>\" in Chinese).");

    Say("   李四 steps to it, opens the history and replies");
    drive::Click(Expect(li, kBackNext, "the next button"));
    ExpectText(li, kBody, L"张三:记得带上那本书。", "the second message");
    ExpectText(li, kBackNext, kEnglish.back, "the view dialog's button after the last message");
    drive::Click(Expect(li, kViewHistory, "the history button"));
    HWND history = Expect(li, kHistoryList, "the history list");
    if (!drive::WaitFor([&] { return SendMessageW(history, LB_GETCOUNT, 0, 0) >= 2; }, kAppearMs))
        Fail("the history list does not hold both messages");
    Shot("history", "李四 steps to the second message and opens the history with 张三 under the dialog.");

    drive::Click(Expect(li, kReply, "the reply button"));
    HWND reply = Expect(li, kMessage, "李四's send dialog");
    ExpectText(li, kRecipient, L"张三(10001)", "the reply's recipient");
    ExpectGone(li, kSender, "the view dialog, on reply,");
    TypeMessage(li, reply, L"好的，不见不散！OK.", kEnglish);
    Shot("reply", "李四 replies: the send dialog takes the view dialog's place.");
    Send(li);
    ExpectText(zhang, kSender, L"李四(10002)", "张三's view dialog");
    ExpectText(zhang, kBody, L"好的，不见不散！OK.", "the reply's text");
    drive::CloseWindowOf(Expect(zhang, kSender, "张三's view dialog"));
    ExpectGone(zhang, kSender, "张三's view dialog");
}

void WriteClockOffset(long long seconds)
{
    FILE* file = fopen(g_clockFile.c_str(), "w");
    if (!file) Fail("cannot write the server's clock file " + g_clockFile);
    fprintf(file, "%lld\n", seconds);
    fclose(file);
}

void StepScheduled(DWORD zhang, DWORD li)
{
    Say("4. 张三 sends a message due a minute later by the server's clock");
    // The server's clock is put a few seconds before a minute's end: the
    // next minute, the earliest a person can pick, is then seconds away.
    long long offset = 0;
    if (!g_clockFile.empty()) {
        const time_t now = time(nullptr);
        offset = (52 - now % 60 + 60) % 60;
        WriteClockOffset(offset);
    }
    const time_t serverNow = time(nullptr) + offset;
    const time_t due = (serverNow / 60 + 1) * 60;
    struct tm when = *localtime(&due);

    HWND message = OpenSendDialog(zhang, L"李四", L"10002");
    TypeMessage(zhang, message, L"一分钟后见。");
    SetField(Expect(zhang, kYear, "the year field"), when.tm_year + 1900);
    ExpectChecked(Expect(zhang, kScheduleCheck, "the schedule box"), "the schedule box, once a time is typed,");
    SetField(Expect(zhang, kMonth, "the month field"), when.tm_mon + 1);
    SetField(Expect(zhang, kDay, "the day field"), when.tm_mday);
    SetField(Expect(zhang, kHour, "the hour field"), when.tm_hour);
    SetField(Expect(zhang, kMinute, "the minute field"), when.tm_min);
    Shot("scheduled", "张三 schedules a message for the next minute by the server's clock.");
    Send(zhang);

    if (due - (time(nullptr) + offset) >= 2 && drive::FindControl(li, kSender))
        Fail("the scheduled message arrived before its time");
    const DWORD wait = static_cast<DWORD>((due - serverNow) * 1000 + kAppearMs);
    ExpectText(li, kBody, L"一分钟后见。", "the scheduled message", true, wait);
    if (time(nullptr) + offset < due) Fail("the scheduled message arrived before its time");
    Shot("scheduled-arrives", "At that minute the server delivers it to 李四.");
    drive::CloseWindowOf(Expect(li, kSender, "李四's view dialog"));
}

void StepNoService(DWORD zhang)
{
    Say("5. 张三 tries 王五, who has no service, and 周九, whom the server does not know");
    PickContact(zhang, L"王五");
    HWND box = ExpectMessageBox(zhang, L"无法发送短信: 对方没有申请短信服务!");
    Shot("no-service", "王五 has not applied for the service: the plugin says so and opens nothing.");
    drive::Click(GetDlgItem(box, IDOK));
    if (!drive::WaitFor([&] { return !IsWindow(box); }, kAppearMs)) Fail("the message box did not close");

    HWND message = OpenSendDialog(zhang, L"周九", L"10009");
    TypeMessage(zhang, message, L"你在吗？");
    Send(zhang);
    ExpectText(zhang, kSender, L"系统(10009)", "the undelivery notice");
    ExpectText(zhang, kBody, L"抱歉，您给联系人 [10009] 的消息无法发出。", "the notice's text", true);
    Shot("undelivered", "周九 is unknown to the server: a notice from \"系统\" comes back to 张三.");
    drive::CloseWindowOf(Expect(zhang, kSender, "the notice"));
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--shots" && i + 1 < argc) g_shots = argv[++i];
        else if (arg == "--clock-file" && i + 1 < argc) g_clockFile = argv[++i];
        else {
            fprintf(stderr, "usage: smsdemo [--shots DIR] [--clock-file FILE]\n");
            return 2;
        }
    }
    const DWORD zhang = Host(10001, "张三");
    const DWORD li = Host(10002, "李四");
    StepOrderPage(zhang);
    StepSend(zhang);
    StepReceive(zhang, li);
    StepScheduled(zhang, li);
    StepNoService(zhang);
    Say("every step was seen; closing both hosts");
    drive::CloseWindowOf(drive::FindHostWindow(10001));
    drive::CloseWindowOf(drive::FindHostWindow(10002));
    return 0;
}
