#include "frontApi/appControls.h"

plainAppControls::plainAppControls()
    : stopBt({QStringLiteral("btPause"), QStringLiteral("btStop")}),
      analysisStop({QStringLiteral("btStop")}) {
    goBt.setEnabled(false);
    stopBt.setHidden(true);
    analysisStop.setHidden(true);
}

appControls plainAppControls::controls() {
    appControls c;
    c.batchEncGoBt = &goBt;
    c.encStopBt = &stopBt;
    c.encTaskProgress = &progress;
    c.taskProgressWheel = &progressWheel;
    c.encProgressPercentStr = &percent;
    c.encProgressActionStr = &action;
    c.dropArea = &dropArea;
    c.analysisWheelProgInd = &analysisWheel;
    c.analysisCaptionStr = &analysisCaption;
    c.analysisStopBt = &analysisStop;
    c.batchDrawer = &drawer;
    return c;
}
