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

/// From now until redirectLogs2File, log lines are kept in memory instead of standard error,
/// and written to the log first when it is opened (a terminal front that shows the log only
/// when asked for). Lines of a run whose log is never opened are not shown.
void logHoldUntilRedirect();

#include <optional>

/// The logs folder: "$XDG_STATE_HOME/<name>" (default "~/.local/state/<name>"), no final "/".
QString logFolderPathStr();
/// The detailed log, "<logs folder>/Details.log".
QString logDetailsPathStr();
/// The summary log, "<logs folder>/Resume.log".
QString logResumePathStr();

/// Creates the logs folder and renames "Resume.log" and "Details.log" to their "Previous-" names
/// in it, replacing older ones, so exactly one previous pair is kept. False when the folder
/// can't be created or a rename fails.
bool logRotate();

/// Appends to the summary log. A missing log is first created with the UTF-8 byte-order mark and
/// "start date    : <date>" (no line break after it); then the text, when given, is appended as
/// is (callers bring their own line breaks). False when the log can't be created or written
/// ("Impossible to create destination file !" on standard error).
bool logResume(const std::optional<QString> &text = std::nullopt);

/// Sends everything written to the process's standard output and error from now on (by this
/// process and by the child processes it starts) to the end of `path`, each line prefixed with
/// the date, the application's name and the process id. With `teeToTerminal`, each line also goes
/// on, unprefixed, to the stream it was written to (the headless front's terminal). Once per
/// run: a second call only logs "if (newStdout || newStderr)" and returns false. False when the
/// file can't be opened (the streams then stay where they were).
bool redirectLogs2File(const QString &path, bool teeToTerminal = false);
/// The bytes of a UTF-8 text as one line of a terminal may show them: every control character
/// (an escape sequence, a carriage return, a line break, a tab, the 8-bit controls) written as
/// \xNN, so no name can move the cursor, rewrite the screen or begin a line of its own (a forged
/// result line). The caller ends the line.
QByteArray logTerminalSafe(const QByteArray &utf8);
/// True when the standard output the process started with (the terminal, even once the streams
/// go to the detailed log) is a terminal.
bool logTerminalIsTty();
/// Writes text meant for the person at the terminal to the standard output the process started
/// with, as it is (the caller makes it safe); `logged`, when not empty, goes to the detailed log
/// as one line. Without a redirection, to standard output only.
void logTerminalWrite(const QByteArray &text, const QString &logged = QString());
/// Ends the redirection: writes out what is pending and puts the original streams back. Runs by
/// itself at exit; harmless when there is no redirection.
void logStopRedirect();
