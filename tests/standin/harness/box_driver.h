// The message-box driver: watches the top-level message boxes of processes under test (and of
// the processes they start), records what each box says and how it looks, and presses the
// button the test asked for. Needs a display: run the Windows tests under xvfb-run.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tavrelo::standin::test {

struct BoxRecord {
    std::u16string caption;
    std::u16string text;
    unsigned icon = 0;    // 0 none, 0x10 stop, 0x20 question, 0x30 warning, 0x40 information; 0xF0 unknown
    unsigned buttons = 0; // MB_OK 0, MB_OKCANCEL 1, MB_ABORTRETRYIGNORE 2, MB_YESNOCANCEL 3, MB_YESNO 4...
    int pressed = 0;      // IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7...
    bool expected = true; // false when no answer was left for it, or the answer's button was missing
    // The MessageBoxW style the box was shown with, without MB_TOPMOST (which wine does not show).
    [[nodiscard]] unsigned style() const { return icon | buttons; }
};

class BoxDriver {
public:
    // Answers boxes in order with `answers` (IDYES, IDNO, IDOK...). A box beyond them, or whose
    // buttons lack the answer, is closed with No, Cancel or OK and recorded as not expected.
    explicit BoxDriver(std::vector<int> answers = {});
    ~BoxDriver();
    BoxDriver(const BoxDriver&) = delete;
    BoxDriver& operator=(const BoxDriver&) = delete;

    // Watches this process and every process it starts.
    void watch(unsigned long processId);
    // The boxes handled so far, in the order they appeared.
    [[nodiscard]] std::vector<BoxRecord> boxes() const;
    // Waits until `count` boxes were handled or `timeoutMs` passed; true when they were.
    bool waitFor(std::size_t count, unsigned timeoutMs) const;

private:
    void run();
    void poll();

    std::vector<int> answers_;
    std::size_t nextAnswer_ = 0;
    std::set<unsigned long> roots_;
    std::set<void*> handled_;
    std::vector<BoxRecord> boxes_;
    mutable std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The Win32 answer and button codes, so tests need not include <windows.h>.
// The screen's pixels in a rectangle, rows from the top, as COLORREF values: what a user sees.
std::vector<unsigned long> screenPixels(int x, int y, int width, int height);

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

} // namespace tavrelo::standin::test
