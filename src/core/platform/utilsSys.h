// Facts about the machine, written to the log at start-up, and a web probe.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

/// The running system's version as a number (versionStr2Float of its dotted form, e.g. Debian
/// 12.8 -> 12.08), logged "Operating System    : <dotted>"; 0 when unknown.
float versionOS();
/// The version of the media libraries behind the movie toolbox (libavformat) as a number,
/// logged "QuickTime           : <dotted>"; 0 when unknown.
float versionQT();
/// Number of processors (cores) the process may use, logged.
int32_t nbProcessors();
/// What a front learnt about the display it draws on: whether it draws with graphics-card
/// acceleration, and the facts to log (one "INFORMATION" line each).
struct graphicsFacts {
    bool accelerated = false;
    QStringList information;
};
/// Installs the display check of the graphical front (none: the headless check below).
void setGraphicsProbe(std::function<graphicsFacts()> probe);
/// True when the display is drawn with graphics-card acceleration: the installed probe's answer
/// (an OpenGL context of the session's display), else whether the machine has a graphics
/// device with direct rendering (a DRI render node). Logs the answer and its facts.
bool quartzExtremeCard();
/// Always false on Linux (there is no processor subtype setting to read); logs "cpu > G3".
bool cpuG3();
/// True for an x86 build.
bool archIntel();
/// True when the address answers with text readable as ASCII (an empty page counts); false on
/// any failure. Blocks the calling thread until the fetch ends (60 s at most).
bool internetConnexionCheck(const QString &url);
