// The controls of the main window that the application controller drives, and a bundle of plain
// controls (state only) that the headless front and the tests hand to it.
#pragma once

#include "frontApi/uiControls.h"

/// Pointers to the window's controls; none is owned. Optional ones may be null.
struct appControls {
    uiButton *batchEncGoBt = nullptr;             ///< Go: on while a batch runs
    uiSegmented *encStopBt = nullptr;             ///< pause/play and stop of the conversion run
    uiProgressBar *encTaskProgress = nullptr;     ///< the run's progress bar
    uiProgressBar *taskProgressWheel = nullptr;   ///< optional spinner beside it
    uiTextField *encProgressPercentStr = nullptr; ///< "42 %"
    uiTextField *encProgressActionStr = nullptr;  ///< the source being converted
    uiTextField *encDstPathStr = nullptr;         ///< the destination folder
    uiDropArea *dropArea = nullptr;
    uiProgressBar *analysisWheelProgInd = nullptr; ///< animated while sources are analysed
    uiTextField *analysisCaptionStr = nullptr;     ///< "1/3"
    uiSegmented *analysisStopBt = nullptr;
    uiDrawer *batchDrawer = nullptr;
    uiSegmented *prefCheckMatrix = nullptr; ///< output format for new rows
    uiSegmented *prefSpeed = nullptr;       ///< frame-rate mode for new rows
    uiButton *prefSurrondBt = nullptr;      ///< on: keep multichannel sound for new rows
    uiButton *prefJoinBt = nullptr; ///< on (or absent): join the pieces of spanned recordings
};

/// Plain controls for every slot of appControls, set up as the window shows them at start.
class plainAppControls {
public:
    plainAppControls();
    plainAppControls(const plainAppControls &) = delete;
    plainAppControls &operator=(const plainAppControls &) = delete;

    appControls controls();

    plainButton goBt;
    plainSegmented stopBt;
    plainProgressBar progress;
    plainProgressBar progressWheel;
    plainTextField percent;
    plainTextField action;
    plainTextField destination;
    plainDropArea dropArea;
    plainProgressBar analysisWheel;
    plainTextField analysisCaption;
    plainSegmented analysisStop;
    plainDrawer drawer;
    plainSegmented checkMatrix;
    plainSegmented speed;
    plainButton surround;
    plainButton join;
};
