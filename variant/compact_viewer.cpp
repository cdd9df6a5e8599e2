#include "variant/compact_viewer.h"

#include "export/export.h"

// The compact viewer numbers its controls differently and has no
// displacement field, ">" button, status bar or selection.
const ProgramDescription compactViewer = {
    /*windowInnerHeight=*/600,
    /*gadgetValue=*/{
        /*CanvasView=*/0, /*RowScroll=*/1, /*WidthScroll=*/2, /*GridCheck=*/4, /*ColumnsCheck=*/5,
        /*OffsetLabel=*/6, /*OffsetSpin=*/7, /*GridXLabel=*/8, /*GridXSpin=*/9, /*GridYLabel=*/10,
        /*GridYSpin=*/11, /*InvertCheck=*/12, /*AlignCheck=*/14, /*DispLabel=*/-1, /*DispField=*/-1,
        /*DispGoButton=*/-1},
    /*hasStatusBar=*/false,
    /*hasSelection=*/false,
    /*readsCommandLine=*/false,
    /*pollsArrowKeys=*/false,
    /*bindsScrollRepaint=*/false,
    /*cellShift=*/1,
    /*gridStyle=*/GridWithRowLabels,
    /*saveCanvasImage=*/SaveCanvasJpeg,
    /*saveByteRange=*/SaveByteRange,
    /*saveSelectionBits=*/nullptr,
};
