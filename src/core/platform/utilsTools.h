// Blocking shell commands: run one /bin/sh command line to its end and return what it printed on
// standard output. For short queries only (versions, stream reports, recording dates); long runs
// go through the task chain runner.
//
// Any path that enters the command line must be quoted with shellQuote (shellQuote.h).
// Both functions block the calling thread, keep no state and may be called from any thread.
#pragma once

#include <QString>

#include <optional>

/// Runs `/bin/sh -c cmd` with the application's environment plus LC_CTYPE set to a UTF-8 locale,
/// in `folder` when it is given and not empty (logged "cd : <folder>"), else in the current
/// folder. Standard input and error stay the application's own (a command line that wants its
/// errors too adds "2>&1"); the exit status is not looked at.
/// Returns the output unchanged (final line breaks kept); the empty text when the output is not
/// valid UTF-8; nothing (logged "stringOutput        :-/ ''") when the command printed nothing
/// or could not be started.
std::optional<QString> taskWithStr(const QString &cmd, const QString &folder = {});

/// Like taskWithStr without working folder and without log lines: returns the output with one
/// final "\n" removed when it ends with one; the empty text for no output; nothing when the
/// output is not valid UTF-8.
std::optional<QString> taskWithStrBasic(const QString &cmd);
