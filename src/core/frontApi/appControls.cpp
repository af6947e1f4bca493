#include "frontApi/appControls.h"

plainAppControls::plainAppControls()
    : stopBt({QStringLiteral("btPause"), QStringLiteral("btStop")}),
      analysisStop({QStringLiteral("btStop")}),
      checkMatrix({QStringLiteral("rewrap"), QStringLiteral("aic"), QStringLiteral("prores")},
                  {QStringLiteral("Rewrap"), QStringLiteral("AIC"), QStringLiteral("ProRes")}),
      speed({QStringLiteral("fpsNormal"), QStringLiteral("fpsHalf"), QStringLiteral("fpsSlow")},
            {QStringLiteral("normal"), QStringLiteral("half"), QStringLiteral("slow")}) {
    goBt.setEnabled(false);
    stopBt.setHidden(true);
    analysisStop.setHidden(true);
    checkMatrix.setSelectedSegment(0);
    speed.setSelectedSegment(0);
    join.setOn(true);
}

appControls plainAppControls::controls() {
    appControls c;
    c.batchEncGoBt = &goBt;
    c.encStopBt = &stopBt;
    c.encTaskProgress = &progress;
    c.taskProgressWheel = &progressWheel;
    c.encProgressPercentStr = &percent;
    c.encProgressActionStr = &action;
    c.encDstPathStr = &destination;
    c.dropArea = &dropArea;
    c.analysisWheelProgInd = &analysisWheel;
    c.analysisCaptionStr = &analysisCaption;
    c.analysisStopBt = &analysisStop;
    c.batchDrawer = &drawer;
    c.prefCheckMatrix = &checkMatrix;
    c.prefSpeed = &speed;
    c.prefSurrondBt = &surround;
    c.prefJoinBt = &join;
    return c;
}
