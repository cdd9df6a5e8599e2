// A back end without a display for unit tests: it records what the program
// shows and answers dialogs from scripts the test sets up.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "viewer/viewer_state.h"

// Thrown where the program would end the process.
struct ProcessExit {
    int code;
};

struct SaveAnswer {
    std::string path;  // "" cancels
    int pattern = 0;   // index of the pattern selected when the dialog closed
};

struct DialogCall {
    std::string title, proposed, patterns;
};

class TestBackend : public Backend {
public:
    // Scripts.
    bool windowOpens = true;
    bool menuBarWorks = true;
    std::deque<std::string> openAnswers;
    std::deque<SaveAnswer> saveAnswers;
    std::deque<std::string> inputAnswers;
    std::deque<bool> yesNoAnswers;  // an empty script answers No
    // Runs when the program waits; it may report user actions through Tk*User*.
    std::function<void()> onWait;

    // Records.
    std::vector<std::pair<std::string, std::string>> messageBoxes;  // title, text
    std::vector<std::pair<std::string, std::string>> questions;
    std::vector<DialogCall> openCalls, saveCalls, inputCalls;
    std::vector<std::string> titles;
    std::string status;
    bool statusBarCreated = false;
    bool dropsAccepted = false;
    int presents = 0;
    int cursorMoves = 0;
    std::map<int, bool> menuEnabledShown;
    std::vector<MenuEntry> menu;

    bool openWindow(const char* title, int, int) override;
    void setTitle(const std::string& title) override { titles.push_back(title); }
    bool createMenuBar(const MenuEntry* entries, int count) override;
    void setMenuItemEnabled(int id, bool enabled) override { menuEnabledShown[id] = enabled; }
    void acceptDrops() override { dropsAccepted = true; }
    void createStatusBar() override { statusBarCreated = true; }
    void setStatusText(const std::string& text) override { status = text; }
    void createControl(int, const ControlModel&) override {}
    void showControl(int, const ControlModel&) override {}
    void moveCursorToEnd(int) override { ++cursorMoves; }
    void presentCanvas(const CanvasImage&) override { ++presents; }
    void waitOnce() override;
    std::string openFileDialog(const char* title, const std::string& defaultName, const char* patterns) override;
    std::string saveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                               int* chosenPattern) override;
    std::string inputBox(const char* title, const char* prompt, const char* initialText) override;
    void messageBox(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    void shutdown(int code) override { throw ProcessExit{code}; }
};

// Installs a fresh test back end, lets the test prepare its scripts, and
// starts the viewer on it.
TestBackend& StartTestViewer(const ProgramDescription& description, const std::string& commandLineFile = "",
                             const std::function<void(TestBackend&)>& prepare = nullptr);
TestBackend& CurrentTestBackend();
