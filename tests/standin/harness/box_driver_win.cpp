#include <windows.h>
#include <tlhelp32.h>

#include <map>

#include "harness/box_driver.h"

namespace tavrelo::standin::test {

namespace {

constexpr int kIconControl = 0x440; // the icon and text controls of the system's message box
constexpr int kTextControl = 0xFFFF;

std::u16string windowText(HWND window) {
    wchar_t buffer[8192] = {};
    GetWindowTextW(window, buffer, 8192);
    return reinterpret_cast<const char16_t*>(buffer);
}

// The processes started, directly or not, by the watched ones.
std::set<unsigned long> family(const std::set<unsigned long>& roots) {
    std::set<unsigned long> all = roots;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return all;
    std::multimap<unsigned long, unsigned long> children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        children.emplace(entry.th32ParentProcessID, entry.th32ProcessID);
    CloseHandle(snapshot);
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [parent, child] : children)
            if (all.count(parent) && !all.count(child)) grew = all.insert(child).second || grew;
    }
    return all;
}

std::vector<COLORREF> pixels(HDC source, int x, int y, int w, int h) {
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
    std::vector<COLORREF> out(static_cast<std::size_t>(w * h));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out[static_cast<std::size_t>(j * w + i)] = GetPixel(memory, i, j);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return out;
}

std::vector<COLORREF> rendered(HICON icon, int w, int h, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, w, h};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> out(static_cast<std::size_t>(w * h));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out[static_cast<std::size_t>(j * w + i)] = GetPixel(memory, i, j);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

// Icon handles belong to the process that shows the box, so the icon is recognised by its
// pixels on the screen: each system icon is drawn here and compared where it is opaque.
unsigned iconStyle(HWND box) {
    HWND control = GetDlgItem(box, kIconControl);
    if (!control || !IsWindowVisible(control) || !SendMessageW(control, STM_GETICON, 0, 0)) return 0;
    RECT r;
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || w > 256 || h > 256) return 0xF0;
    HDC screen = GetDC(nullptr);
    const std::vector<COLORREF> shot = pixels(screen, r.left, r.top, w, h);
    ReleaseDC(nullptr, screen);
    const std::pair<const wchar_t*, unsigned> candidates[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const auto& [id, style] : candidates) {
        HICON icon = LoadIconW(nullptr, id);
        const auto onBlack = rendered(icon, w, h, RGB(0, 0, 0));
        const auto onWhite = rendered(icon, w, h, RGB(255, 255, 255));
        std::size_t opaque = 0, differ = 0;
        for (std::size_t i = 0; i < shot.size(); ++i) {
            if (onBlack[i] != onWhite[i]) continue;
            ++opaque;
            if (onBlack[i] != shot[i]) ++differ;
        }
        if (opaque > 0 && differ * 50 < opaque) return style;
    }
    return 0xF0;
}

unsigned buttonStyle(const std::set<int>& ids) {
    const std::pair<std::set<int>, unsigned> kinds[] = {
        {{IDOK}, MB_OK},
        {{IDOK, IDCANCEL}, MB_OKCANCEL},
        {{IDABORT, IDRETRY, IDIGNORE}, MB_ABORTRETRYIGNORE},
        {{IDYES, IDNO, IDCANCEL}, MB_YESNOCANCEL},
        {{IDYES, IDNO}, MB_YESNO},
        {{IDRETRY, IDCANCEL}, MB_RETRYCANCEL},
        {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, MB_CANCELTRYCONTINUE}};
    for (const auto& [set, style] : kinds)
        if (set == ids) return style;
    return 0xF;
}

struct TopLevel {
    const std::set<unsigned long>* processes;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collectBox(HWND window, LPARAM context) {
    auto* c = reinterpret_cast<TopLevel*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (c->processes->count(process) && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window))
        c->boxes.push_back(window);
    return TRUE;
}

BOOL CALLBACK collectButton(HWND child, LPARAM context) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Button") == 0 && IsWindowVisible(child))
        reinterpret_cast<std::map<int, HWND>*>(context)->emplace(GetDlgCtrlID(child), child);
    return TRUE;
}

} // namespace

std::vector<unsigned long> screenPixels(int x, int y, int width, int height) {
    HDC screen = GetDC(nullptr);
    const std::vector<COLORREF> out = pixels(screen, x, y, width, height);
    ReleaseDC(nullptr, screen);
    return {out.begin(), out.end()};
}

BoxDriver::BoxDriver(std::vector<int> answers) : answers_(std::move(answers)) {
    thread_ = std::thread([this] { run(); });
}

BoxDriver::~BoxDriver() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void BoxDriver::watch(unsigned long processId) {
    std::lock_guard<std::mutex> lock(mutex_);
    roots_.insert(processId);
}

std::vector<BoxRecord> BoxDriver::boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

bool BoxDriver::waitFor(std::size_t count, unsigned timeoutMs) const {
    const DWORD start = GetTickCount();
    while (boxes().size() < count) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

void BoxDriver::run() {
    while (!stop_) {
        poll();
        Sleep(50);
    }
}

void BoxDriver::poll() {
    std::set<unsigned long> processes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (roots_.empty()) return;
        processes = family(roots_);
    }
    TopLevel found{&processes, {}};
    EnumWindows(&collectBox, reinterpret_cast<LPARAM>(&found));
    // Forget boxes that have gone, so that a new box with a reused handle is seen.
    for (auto it = handled_.begin(); it != handled_.end();)
        it = IsWindow(static_cast<HWND>(*it)) ? std::next(it) : handled_.erase(it);
    for (HWND box : found.boxes) {
        if (handled_.count(box)) continue;
        Sleep(200); // let the box finish laying itself out and painting before it is read
        if (!IsWindow(box)) continue;
        BoxRecord record;
        record.caption = windowText(box);
        HWND text = GetDlgItem(box, kTextControl);
        record.text = text ? windowText(text) : std::u16string();
        std::map<int, HWND> buttons;
        EnumChildWindows(box, &collectButton, reinterpret_cast<LPARAM>(&buttons));
        std::set<int> ids;
        for (const auto& [id, window] : buttons) ids.insert(id);
        record.buttons = buttonStyle(ids);
        record.icon = iconStyle(box);

        int answer = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (nextAnswer_ < answers_.size()) answer = answers_[nextAnswer_++];
        }
        if (!answer || !buttons.count(answer)) {
            record.expected = false;
            answer = buttons.count(IDNO) ? IDNO : buttons.count(IDCANCEL) ? IDCANCEL : IDOK;
        }
        record.pressed = answer;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(buttons.count(answer) ? buttons[answer] : nullptr));
        handled_.insert(box);
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(std::move(record));
    }
}

} // namespace tavrelo::standin::test
