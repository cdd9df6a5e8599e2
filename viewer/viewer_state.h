// The viewer's one global state record, the ids of its controls and menu
// items, and the description that tells the two programs apart.
#pragma once

#include <cstdint>
#include <string>

struct ViewerState {
    uint8_t* fileData;        // the loaded bytes, fileSize long; nullptr when none
    int32_t fileSize;         // 0 when nothing is loaded
    int32_t zoom;             // screen pixels per bit: 1, 2 or 8
    int32_t bytesPerRow;      // sprite width, copied from WidthScroll by every repaint
    std::string currentPath;  // last path from the open dialog, a drop or the image save dialog
    int32_t selStartX, selStartY;  // canvas pixel where the selection drag began
    int32_t selEndX, selEndY;      // the selection's opposite corner
    bool quitRequested;       // set by "Quit", cleared after every wait
};

extern ViewerState viewerState;

// Controls of the main window, numbered as in the full viewer.
enum GadgetId {
    CanvasView = 0,
    RowScroll = 1,
    WidthScroll = 2,
    GridCheck = 3,
    ColumnsCheck = 4,
    OffsetLabel = 5,
    OffsetSpin = 6,
    GridXLabel = 7,
    GridXSpin = 8,
    GridYLabel = 9,
    GridYSpin = 10,
    InvertCheck = 11,
    AlignCheck = 12,
    DispLabel = 13,
    DispField = 14,
    DispGoButton = 15,
    GadgetCount = 16,
};

enum MenuId {
    MenuOpen = 1,
    MenuSaveImage = 2,
    MenuSaveBinary = 3,
    MenuQuit = 4,
    MenuZoom1 = 5,
    MenuZoom2 = 6,
    MenuZoom8 = 7,
    MenuSaveSelected = 8,
};

enum GridStyle {
    GridWithMajorLines,  // lines from the first spacing on, every spacing-squared one green
    GridWithRowLabels,   // red lines from 0 on, every other row line labelled in green
};

// What one program is: which controls it has and under which values, and
// which of the viewer's features it carries.
struct ProgramDescription {
    int windowInnerHeight;
    int gadgetValue[GadgetCount];  // the toolkit id of each control; -1 where it has none
    bool hasStatusBar;
    bool hasSelection;       // canvas mouse, selection box, "Save selected"
    bool readsCommandLine;
    bool pollsArrowKeys;
    bool bindsScrollRepaint;
    int cellShift;           // pixels the bit picture is moved right
    GridStyle gridStyle;
    void (*saveCanvasImage)();    // the "Save image.." export
    void (*saveByteRange)();      // the "Save binary.." export
    void (*saveSelectionBits)();  // the "Save selected" export, where there is a selection
};

// The description of the program that is running.
extern const ProgramDescription* program;

// The toolkit id of a control in this program.
inline int Ctl(GadgetId g) { return program->gadgetValue[g]; }

// Sets every field to its initial value, releasing nothing.
void ResetViewerState();
