// Log lines of the application.
//
// Everything the application prints goes to its standard error (and from there, once start-up
// has redirected the streams, to "Details.log", which adds the date, name and process id to each
// line). Lines are fixed texts laid out as a label in 20 columns, a separator, an optional mood
// mark and values, e.g. "mkdir               :-(  '/some/path'".
#pragma once

#include <QString>

/// Writes one log line to standard error (a line break is added), whatever the debug flag.
void logStr(const QString &line);

/// Writes one log line only when the debug flag (getDEBUG) is on.
void logDebug(const QString &line);
