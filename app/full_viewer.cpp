#include "app/full_viewer.h"

#include "export/export.h"

const ProgramDescription fullViewer = {
    /*windowInnerHeight=*/610,
    /*gadgetValue=*/{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    /*hasStatusBar=*/true,
    /*hasSelection=*/true,
    /*readsCommandLine=*/true,
    /*pollsArrowKeys=*/true,
    /*bindsScrollRepaint=*/true,
    /*cellShift=*/0,
    /*gridStyle=*/GridWithMajorLines,
    /*saveCanvasImage=*/SaveCanvasImage,
    /*saveByteRange=*/SaveByteRange,
    /*saveSelectionBits=*/SaveSelectionBits,
};
