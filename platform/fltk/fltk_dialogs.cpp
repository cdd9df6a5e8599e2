#include "platform/fltk/fltk_dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "platform/files.h"

namespace {

// "Name|*.ext|Name|*.*" as FLTK's chooser wants it: "Name (*.ext)\tName (*)".
std::string ChooserFilter(const char* patterns) {
    std::string in = patterns ? patterns : "", out;
    size_t at = 0;
    while (at < in.size()) {
        size_t bar = in.find('|', at);
        if (bar == std::string::npos) break;
        size_t next = in.find('|', bar + 1);
        if (next == std::string::npos) next = in.size();
        std::string name = in.substr(at, bar - at), pattern = in.substr(bar + 1, next - bar - 1);
        if (pattern == "*.*") pattern = "*";  // every file, dot or not
        if (!out.empty()) out += '\t';
        // The chooser reads the pattern from the first "(" to the last ")" of
        // the entry, so a name that shows a pattern of its own ("Any(*.*)")
        // gets the one that is used in its place, or it would list nothing.
        const size_t open = name.find('(');
        if (open != std::string::npos && !name.empty() && name.back() == ')')
            out += name.substr(0, open) + "(" + pattern + ")";
        else
            out += name + " (" + pattern + ")";
        at = next + 1;
    }
    return out;
}

void Centre(Fl_Window* w) { w->position((Fl::w() - w->w()) / 2, (Fl::h() - w->h()) / 2); }

void RunModal(Fl_Window* w) {
    w->set_modal();
    Centre(w);
    w->show();
    while (w->shown()) Fl::wait();
}

// Width of a text in the dialogs' font, for laying them out.
int TextWidthOf(const std::string& text) {
    fl_font(FL_HELVETICA, 14);
    int w = 0, h = 0;
    fl_measure(text.c_str(), w, h, 0);
    return w;
}

struct Answer {
    Fl_Window* window;
    int value;
};

void Answered(Fl_Widget* w, void* value) {
    Answer* a = static_cast<Answer*>(w->window()->user_data());
    a->value = static_cast<int>(reinterpret_cast<intptr_t>(value));
    a->window->hide();
}

void Closed(Fl_Widget* w, void*) {
    Answer* a = static_cast<Answer*>(w->user_data());
    a->value = 0;
    a->window->hide();
}

}  // namespace

std::string RunFileChooser(const char* title, const std::string& start, const char* patterns, int* chosenPattern) {
    std::string path = start;
    if (path.empty() || path[0] != kPathSeparator) path = CurrentDirectory() + kPathSeparator + path;
    const std::string filter = ChooserFilter(patterns);
    Fl_File_Chooser chooser(path.c_str(), filter.c_str(), Fl_File_Chooser::CREATE, title);
    chooser.preview(0);
    chooser.filter_value(0);
    chooser.value(path.c_str());
    chooser.show();
    while (chooser.shown()) Fl::wait();
    *chosenPattern = chooser.filter_value();
    const char* answer = chooser.count() > 0 ? chooser.value() : nullptr;
    return answer ? std::string(answer) : std::string();
}

std::string RunInputBox(const char* title, const char* prompt, const char* initialText) {
    const int w = std::max(300, TextWidthOf(prompt) + 30);
    Fl_Window win(w, 105);
    win.copy_label(title);
    Answer answer{&win, 0};
    win.user_data(&answer);
    win.callback(Closed, &answer);
    Fl_Box label(10, 8, w - 20, 20, prompt);
    label.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    Fl_Input input(10, 32, w - 20, 25);
    input.value(initialText);
    input.position(input.size(), 0);  // all selected: typing replaces it
    Fl_Return_Button ok(w - 180, 68, 80, 25, "OK");
    ok.callback(Answered, reinterpret_cast<void*>(1));
    Fl_Button cancel(w - 90, 68, 80, 25, "Cancel");
    cancel.callback(Answered, reinterpret_cast<void*>(0));
    win.end();
    RunModal(&win);
    return answer.value == 1 ? std::string(input.value()) : std::string();
}

void RunMessageBox(const std::string& title, const std::string& text) {
    const int w = std::max(240, TextWidthOf(text) + 40);
    Fl_Window win(w, 90);
    win.copy_label(title.c_str());
    Answer answer{&win, 0};
    win.user_data(&answer);
    win.callback(Closed, &answer);
    Fl_Box label(10, 10, w - 20, 35);
    label.copy_label(text.c_str());
    Fl_Return_Button ok((w - 80) / 2, 55, 80, 25, "OK");
    ok.callback(Answered, reinterpret_cast<void*>(1));
    win.end();
    RunModal(&win);
}

bool RunYesNo(const std::string& title, const std::string& text) {
    const int w = std::max(260, TextWidthOf(text) + 40);
    Fl_Window win(w, 90);
    win.copy_label(title.c_str());
    Answer answer{&win, 0};
    win.user_data(&answer);
    win.callback(Closed, &answer);  // the close box and Escape answer No
    Fl_Box label(10, 10, w - 20, 35);
    label.copy_label(text.c_str());
    Fl_Button yes(w / 2 - 90, 55, 80, 25, "Yes");
    yes.callback(Answered, reinterpret_cast<void*>(1));
    Fl_Button no(w / 2 + 10, 55, 80, 25, "No");
    no.callback(Answered, reinterpret_cast<void*>(0));
    win.end();
    RunModal(&win);
    return answer.value == 1;
}
