#include "tests/support/test_backend.h"

#include <memory>
#include <stdexcept>

#include "viewer/viewer.h"

bool TestBackend::openWindow(const char* title, int, int) {
    titles.push_back(title);
    return windowOpens;
}

bool TestBackend::createMenuBar(const MenuEntry* entries, int count) {
    if (!menuBarWorks) return false;
    menu.assign(entries, entries + count);
    return true;
}

void TestBackend::waitOnce() {
    if (!onWait) throw std::logic_error("the program waits, but the test has scripted no user action");
    onWait();
}

std::string TestBackend::openFileDialog(const char* title, const std::string& defaultName, const char* patterns) {
    openCalls.push_back({title, defaultName, patterns});
    if (openAnswers.empty()) return "";
    std::string a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

std::string TestBackend::saveFileDialog(const char* title, const std::string& proposedPath, const char* patterns,
                                        int* chosenPattern) {
    saveCalls.push_back({title, proposedPath, patterns});
    if (saveAnswers.empty()) return "";
    SaveAnswer a = saveAnswers.front();
    saveAnswers.pop_front();
    *chosenPattern = a.pattern;
    return a.path;
}

std::string TestBackend::inputBox(const char* title, const char* prompt, const char* initialText) {
    inputCalls.push_back({title, prompt, initialText});
    if (inputAnswers.empty()) return "";
    std::string a = inputAnswers.front();
    inputAnswers.pop_front();
    return a;
}

void TestBackend::messageBox(const std::string& title, const std::string& text) {
    messageBoxes.emplace_back(title, text);
}

bool TestBackend::askYesNo(const std::string& title, const std::string& text) {
    questions.emplace_back(title, text);
    if (yesNoAnswers.empty()) return false;
    bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
}

namespace {
std::unique_ptr<TestBackend> current;
}

TestBackend& StartTestViewer(const ProgramDescription& description, const std::string& commandLineFile,
                             const std::function<void(TestBackend&)>& prepare) {
    if (viewerState.fileData) EndViewer();
    current = std::make_unique<TestBackend>();
    TkSetBackend(current.get());
    TkReset();
    if (prepare) prepare(*current);
    StartViewer(description, commandLineFile);
    return *current;
}

TestBackend& CurrentTestBackend() { return *current; }
