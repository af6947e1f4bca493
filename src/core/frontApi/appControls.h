// The controls of the main window that the application controller drives, and a bundle of plain
// controls (state only) that the headless front and the tests hand to it. What the person
// chooses reaches the controller as a value (batchChoices), never through these.
#pragma once

#include "frontApi/uiControls.h"

/// Pointers to the window's controls; none is owned. Optional ones may be null.
struct appControls {
    uiButton *batchEncGoBt = nullptr;             ///< Go: on while a batch runs
    uiSegmented *encStopBt = nullptr;             ///< pause/play and stop: shown while a tool runs
    uiProgressBar *encTaskProgress = nullptr;     ///< the run's progress bar
    uiProgressBar *taskProgressWheel = nullptr;   ///< optional spinner beside it
    uiTextField *encProgressPercentStr = nullptr; ///< "42 %"
    uiTextField *encProgressActionStr = nullptr;  ///< the source being converted
    uiDropArea *dropArea = nullptr;
    uiProgressBar *analysisWheelProgInd = nullptr; ///< animated while sources are analysed
    uiTextField *analysisCaptionStr = nullptr;     ///< "1/3"
    uiSegmented *analysisStopBt = nullptr;
    uiDrawer *batchDrawer = nullptr;
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
    plainDropArea dropArea;
    plainProgressBar analysisWheel;
    plainTextField analysisCaption;
    plainSegmented analysisStop;
    plainDrawer drawer;
};
