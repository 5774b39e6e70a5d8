// Finds the plugin's message boxes, on any thread of the test process, records
// what each one said and closes it, so a test can assert on the real box.
//
// While a UiRobot lives, a background thread looks every few milliseconds for
// visible dialog-class windows of this process with a plugin box's caption
// (IsPluginBoxCaption). The configuration dialog has another caption and is
// left alone. Each box is recorded once, when first seen, then dismissed with OK.
// Keep one robot alive at a time: two would race, and a box one of them
// closes may never be seen by the other.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;   // the message text, as the box shows it
    DWORD threadId;     // the thread that raised the box (and waits in it)
    HWND window;        // valid only while the box is still open
    HWND owner;         // the box's owner window, null for none
    std::vector<int> buttons;  // ids of the buttons it shows, in the box's order
    bool icon;          // whether it shows an icon
};

class UiRobot {
public:
    UiRobot();
    // Dismisses every box still open, then stops looking.
    ~UiRobot();
    UiRobot(const UiRobot&) = delete;
    UiRobot& operator=(const UiRobot&) = delete;

    // Every box seen so far, in the order they appeared.
    std::vector<SeenBox> Boxes() const;

    // Waits until at least `count` boxes have been seen; false on time-out.
    bool WaitForBoxes(size_t count, DWORD timeoutMs) const;

    // With dismissing off, boxes are recorded but left open (the thread that
    // raised one stays blocked in it); turning it on again closes them.
    void SetDismissing(bool dismiss);

private:
    void Run();
    void Sweep();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    bool dismissing_ = true;
    std::vector<SeenBox> boxes_;
    std::set<HWND> recorded_;   // open boxes already in boxes_
    std::set<HWND> dismissed_;  // open boxes already sent OK
    std::thread thread_;
};
