// What a screen reader is told of the window's own widgets where Qt's defaults say the wrong
// thing: a segmented control is a group (its name from its label or its group box, as Qt names
// a field), an alert is an alert, not a plain dialog. Installed once per process, before the
// first such widget is made (their constructors call it).
#pragma once

#include <QString>

/// Installs the accessibility factory for the window's own widget classes (once).
void accessibilityInstall();

/// A label's text as the name of the field it labels: without its mnemonic's '&' and the
/// trailing colon ("Save to:" names the field "Save to"; "Enregistrer dans :" likewise).
QString accessibleNameOfLabel(const QString &labelText);
