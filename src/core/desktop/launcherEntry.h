// Progress on the application's launcher icon: the com.canonical.Unity.LauncherEntry "Update"
// signal, which docks, KDE's task manager and shell extensions show.
#pragma once

#include <QVariantMap>

#include <optional>

/// Shows `fraction` (0 to 1, clamped) as the launcher icon's progress.
void launcherEntryProgress(double fraction);
/// Hides the launcher icon's progress.
void launcherEntryDone();
/// The properties of the Update signal for a fraction (none: progress hidden).
QVariantMap launcherEntryProperties(std::optional<double> fraction);
