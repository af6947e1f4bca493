// Facts about the machine, written to the log at start-up, and a web probe.
#pragma once

#include <QString>

#include <cstdint>

/// The running system's version as a number (versionStr2Float of its dotted form, e.g. Debian
/// 12.8 -> 12.08), logged "Operating System    : <dotted>"; 0 when unknown.
float versionOS();
/// The version of the media libraries behind the movie toolbox (libavformat) as a number,
/// logged "QuickTime           : <dotted>"; 0 when unknown.
float versionQT();
/// Number of processors (cores) the process may use, logged.
int32_t nbProcessors();
/// True when the machine has a graphics device with direct rendering (a DRI render node).
bool quartzExtremeCard();
/// Always false on Linux (there is no processor subtype setting to read); logs "cpu > G3".
bool cpuG3();
/// True for an x86 build.
bool archIntel();
/// True when the address answers with text readable as ASCII (an empty page counts); false on
/// any failure. Blocks the calling thread until the fetch ends (60 s at most).
bool internetConnexionCheck(const QString &url);
