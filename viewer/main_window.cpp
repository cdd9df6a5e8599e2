// Start-up, the event loop and its dispatch tables, and shutdown.
#include <cstdint>

#include "platform/files.h"
#include "viewer/redraw.h"
#include "viewer/viewer.h"

ViewerState viewerState;
const ProgramDescription* program = nullptr;

void ResetViewerState() {
    viewerState.fileData = nullptr;
    viewerState.fileSize = 0;
    viewerState.zoom = 1;
    viewerState.bytesPerRow = 1;
    viewerState.currentPath.clear();
    viewerState.selStartX = viewerState.selStartY = 0;
    viewerState.selEndX = viewerState.selEndY = 0;
    viewerState.quitRequested = false;
}

namespace {

void BuildMenu() {
    static const MenuEntry full[] = {
        {EntryDropDown, 0, "Project"},
        {EntryItem, MenuOpen, "Open.."},
        {EntryItem, MenuSaveImage, "Save image.."},
        {EntryItem, MenuSaveBinary, "Save binary.."},
        {EntrySeparator, 0, nullptr},
        {EntryItem, MenuQuit, "Quit"},
        {EntryBarItem, MenuZoom1, "x1"},
        {EntryBarItem, MenuZoom2, "x2"},
        {EntryBarItem, MenuZoom8, "x8"},
        {EntryBarItem, MenuSaveSelected, "Save selected"},
    };
    const int count = program->hasSelection ? 10 : 9;  // the compact viewer has no "Save selected"
    if (!TkCreateMenuBar(full, count)) return;        // the window goes on without menus
    if (program->hasSelection) TkEnableMenuItem(MenuSaveSelected, false);
}

struct ControlPlace {
    GadgetId id;
    ControlKind kind;
    int x, y, w, h;
    const char* text;
};

// The controls in the order they are created.
const ControlPlace kControls[] = {
    {CanvasView, KindCanvas, 0, 0, 641, 481, nullptr},
    {WidthScroll, KindHScroll, 0, 500, 640, 17, nullptr},
    {RowScroll, KindVScroll, 641, 0, 14, 470, nullptr},
    {GridCheck, KindCheckBox, 0, 520, 80, 20, "Grid"},
    {InvertCheck, KindCheckBox, 0, 540, 80, 20, "Invert"},
    {ColumnsCheck, KindCheckBox, 80, 520, 80, 20, "MultiColumns"},
    {AlignCheck, KindCheckBox, 80, 540, 80, 20, "Align to grid"},
    {OffsetLabel, KindLabel, 160, 520, 80, 20, "offset"},
    {OffsetSpin, KindSpinBox, 240, 520, 80, 20, ""},
    {GridXLabel, KindLabel, 320, 520, 80, 20, "grid sizeX"},
    {GridXSpin, KindNumericSpinBox, 400, 520, 80, 20, ""},
    {GridYLabel, KindLabel, 320, 540, 80, 20, "grid sizeY"},
    {GridYSpin, KindNumericSpinBox, 400, 540, 80, 20, ""},
    {DispLabel, KindLabel, 170, 540, 70, 20, "disp"},
    {DispField, KindDigitsField, 240, 540, 80, 20, "1234567"},
    {DispGoButton, KindButton, 320, 540, 20, 20, ">"},
};

void SetUpControl(GadgetId g) {
    const int id = Ctl(g);
    switch (g) {
        case WidthScroll:
            TkSetScrollMaximum(id, 272);
            TkSetScrollMinimum(id, 1);
            TkSetScrollPage(id, 16);
            TkSetScrollPosition(id, 1);
            if (program->bindsScrollRepaint) TkBindProcedure(id, Redraw);
            break;
        case RowScroll:
            TkSetScrollMaximum(id, 481);
            TkSetScrollMinimum(id, 0);
            TkSetScrollPage(id, 32);
            TkSetScrollPosition(id, 0);
            if (program->bindsScrollRepaint) TkBindProcedure(id, Redraw);
            break;
        case OffsetSpin:
            TkSetSpinMaximum(id, 1);
            TkSetSpinMinimum(id, 0);
            TkSetSpinValue(id, 0);
            TkSetText(id, "");
            break;
        case GridXSpin:
        case GridYSpin:
            TkSetSpinMaximum(id, 25);
            TkSetSpinMinimum(id, 1);
            TkSetSpinValue(id, 8);
            TkSetText(id, "8");
            break;
        default:
            break;
    }
}

void CreateControls() {
    for (const ControlPlace& c : kControls) {
        if (Ctl(c.id) < 0) continue;  // not in this program
        TkCreateControl(Ctl(c.id), c.kind, c.x, c.y, c.w, c.h, c.text);
        SetUpControl(c.id);
    }
}

// The control behind a toolkit id, or GadgetCount for none.
GadgetId GadgetOf(int id) {
    for (int g = 0; g < GadgetCount; ++g)
        if (program->gadgetValue[g] == id) return static_cast<GadgetId>(g);
    return GadgetCount;
}

void DispatchControl(GadgetId g) {
    switch (g) {
        case CanvasView:
            if (program->hasSelection) OnCanvasEvent();
            break;
        case RowScroll: Redraw(); break;
        case WidthScroll: OnWidthScroll(); break;
        case GridCheck:
        case ColumnsCheck:
        case InvertCheck:
        case AlignCheck: Redraw(); break;
        case OffsetSpin: OnOffsetSpin(); break;
        case GridXSpin:
        case GridYSpin: OnGridSpin(g); break;
        case DispGoButton: OnDispGo(); break;
        default: break;  // the field and the labels do nothing
    }
}

void DispatchMenu(int id) {
    switch (id) {
        case MenuOpen: OnMenuOpen(); break;
        case MenuSaveImage: program->saveCanvasImage(); break;
        case MenuSaveBinary: program->saveByteRange(); break;
        case MenuQuit: viewerState.quitRequested = true; break;
        case MenuZoom1: SetZoom(1); break;
        case MenuZoom2: SetZoom(2); break;
        case MenuZoom8: SetZoom(8); break;
        case MenuSaveSelected:
            if (program->saveSelectionBits) program->saveSelectionBits();
            break;
        default: break;
    }
}

void DispatchDrop() {
    const std::string& paths = TkDroppedPaths();
    viewerState.currentPath = paths.substr(0, paths.find('\n'));
    OpenDataFile(viewerState.currentPath);
    Redraw();
}

}  // namespace

bool StartViewer(const ProgramDescription& description, const std::string& commandLineFile) {
    program = &description;
    ResetViewerState();
    if (!TkOpenMainWindow("Vexelor", 660, program->windowInnerHeight)) return false;
    BuildMenu();
    CreateControls();
    TkAcceptDrops();
    if (program->hasStatusBar) {
        TkCreateStatusBar();
        TkSetStatusText("selection:");
    }
    // Any file with bytes in it goes to the loader, which refuses, with a
    // message, what is too large to show.
    if (program->readsCommandLine && FileSize(commandLineFile) > 0) OpenDataFile(commandLineFile);
    Redraw();
    return true;
}

void DispatchMessage(MessageKind kind) {
    switch (kind) {
        case MessageDrop: DispatchDrop(); break;
        case MessageControl: DispatchControl(GadgetOf(TkMessageId())); break;
        case MessageMenu: DispatchMenu(TkMessageId()); break;
        default: break;
    }
}

void RunEventLoop() {
    for (;;) {
        if (program->pollsArrowKeys) PollArrowKeys();
        MessageKind kind = TkWait();
        viewerState.quitRequested = false;
        DispatchMessage(kind);
        if (kind == MessageClose || viewerState.quitRequested) break;
    }
}

void EndViewer() {
    ReleaseBlock(viewerState.fileData, viewerState.fileSize);
    viewerState.fileData = nullptr;
    viewerState.fileSize = 0;
}

int RunViewer(const ProgramDescription& description, int argc, char** argv) {
    if (!StartViewer(description, FirstCommandLineArgument(argc, argv))) return 0;
    RunEventLoop();
    EndViewer();
    return 0;
}
