// Where the application finds the files it ships with.
#pragma once

#include <QString>

/// The resource folder, without a final "/": the environment variable FLUXARO_RESOURCE_DIR when
/// it is set and not empty (tests), otherwise "<folder of the executable>/../share/fluxaro"
/// cleaned. That is <prefix>/share/fluxaro when installed and build/share/fluxaro in the build
/// tree (programs in build/bin, test programs in build/tests).
QString resourcePathStr();

/// The "tools" folder of the resource folder (ffmpeg link, trakmill, clipdater), without a
/// final "/": callers write toolsPathStr() + "/clipdater".
QString toolsPathStr();

/// The file or folder `name` inside the resource folder ("Info.plist", "translations", ...).
QString resourceFilePathStr(const QString &name);
