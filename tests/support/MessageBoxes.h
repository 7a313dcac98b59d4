// Message boxes and file dialogs the test thread opens, caught and answered as they show, and a
// message box that another process shows. The real boxes and dialogs are made: what a test sees
// of a box is what the box itself shows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CaughtBox {
    std::string Text;
    std::string Caption;
    HWND Owner;
    // The MB_ flags the box shows: its buttons, icon, default button and help button. Icons are
    // told apart by this process's standard icons (another process's box shows MB_USERICON).
    UINT Type;
    UINT Icon() const { return Type & MB_ICONMASK; }
};

// A message box window as it shows itself.
CaughtBox ReadMessageBox(HWND box);
// Posts the box's answer: Yes or No when it asks, OK otherwise.
void AnswerMessageBox(HWND box, bool yes = true);

// While one is alive, every message box the constructing thread opens, from whatever code, is
// recorded and answered with OK (or Yes/No when it asks, as set). File dialogs are told apart:
// each is recorded by its title and answered with the next queued file name (OK), or cancelled
// when none is queued. One catcher at a time.
class BoxCatcher {
public:
    BoxCatcher();
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;

    // The boxes caught and not yet taken, oldest first.
    std::vector<CaughtBox> Boxes() const { return boxes; }
    // The same, handed over: later calls see only boxes caught after this one.
    std::vector<CaughtBox> Take();
    std::vector<std::string> FileDialogTitles() const { return titles; }
    void QueueFileName(const std::string& path) { queued.push_back(path); }
    void AnswerYes(bool yes) { answerYes = yes; }

private:
    static LRESULT CALLBACK Catch(int code, WPARAM wParam, LPARAM lParam);
    void Answer(HWND dialog);

    HHOOK hook = nullptr;
    std::vector<CaughtBox> boxes;
    std::vector<std::string> titles;
    std::vector<std::string> queued;
    bool answerYes = true;
};
