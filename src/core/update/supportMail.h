// The help menu's mail and subtitle rules: the "mailto:" address of a bug report or a contact
// mail, and which subtitle track of the help movie the user's language shows.
#pragma once

#include <QString>

#include <cstdint>

/// What goes into the mail address.
struct supportMailFacts {
    bool bugReport = false;
    QString appName;        ///< "CFBundleName"
    QString shortVersion;   ///< "CFBundleShortVersionString" (read as a number)
    QString buildVersion;   ///< "CFBundleVersion"; empty: "undefined rev"
    QString language;       ///< the localised "D_Langue"
    QString versionCaption; ///< the version caption of the main window
    int32_t ffRevision = 0;
    QString body; ///< the localised "D_bugreport_mail" for a bug report, else empty
};

/// The local parts and the domain of the two addresses (build settings).
QString supportMailBugLocalPartStr();
QString supportMailContactLocalPartStr();
QString supportMailDomainStr();

/// The address "mailto:<local>@<domain>?subject=<name> - version <%.02f> (<build>) -
/// <language>&body=<caption with "&" as "'n'">-r<revision>\n<body>", percent-escaped as UTF-8
/// so that no text of the subject or body can start another field.
QString supportMailUrlStr(const supportMailFacts &facts);

/// The facts of the running application (information list, language, ffmpeg's build number);
/// `versionCaption` as the main window shows it.
supportMailFacts supportMailFactsOfApp(bool bugReport, const QString &versionCaption);

/// The version caption of the main window: "<name> <short version> (<build version>)".
QString appVersionStr();

/// The 0-based index, among the help movie's subtitle tracks in track order, of the one to
/// enable: the second for French ("fr"), else the first; -1 when there is no such track (a
/// movie with one subtitle track shows none in French).
int32_t helpSubtitleTrackIndex(const QString &language, int32_t subtitleTrackCount);
