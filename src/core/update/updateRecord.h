// The update server's addresses and its answer: the update record, read by its four markers,
// and the rule that decides whether it offers a newer version.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

/// The update record: text keys ("version", "systemVersionMin", "dlPath") and text values.
using updateRecordDico = QMap<QString, QString>;

/// The base address of the update site, ending with "/": the environment's FLUXARO_UPDATE_URL
/// when set, else the address fixed when the program was built; empty when neither is set
/// (the check then behaves as with no network).
QString updateBaseUrlStr();
/// The product's short code (the "s" parameter and the folder of the connectivity probe).
QString updateProductCodeStr();
/// The product's web site (a build setting; may be empty).
QString updateWebSiteUrlStr();
/// "fr" when the localised "D_Langue" is "fr", otherwise "en".
QString updateLanguageStr();

/// "<base><code>/isConnected.htm"; empty when the base is empty.
QString updateProbeUrlStr(const QString &base, const QString &code);
/// "<base>dlCenter/update.php?s=<code>&l=<language>&os=<%f of the system version>".
QString updateQueryUrlStr(const QString &base, const QString &code, const QString &language,
                          float systemVersion);
/// "<base>dlCenter/update.php?s=<code>&l=<language>&h" (the release notes page).
QString updateNotesUrlStr(const QString &base, const QString &code, const QString &language);
/// Where "dlPath" is downloaded from: itself when it is an absolute "http://" or "https://"
/// address (in any case), otherwise "<base>dlCenter/<dlPath>".
QString updateDownloadUrlStr(const QString &base, const QString &dlPath);

/// True for an address the update takes: a well-formed "https://" address with a host. Updates
/// come over HTTPS only, the site as every link of its record.
bool updateUrlIsSecure(const QString &url);

/// What the record's download is, checked before anything is fetched: the address and what the
/// archive must be. The record may give the archive's length ("dlLength", decimal bytes) and
/// its SHA-256 ("dlSha256", 64 hexadecimal digits).
struct updateDownloadPlan {
    QString url;
    int64_t length = -1; ///< the record's length; -1 when it gives none
    QByteArray sha256;   ///< the record's digest (32 bytes); empty when it gives none
    /// Why the download is refused (for the log and the terminal); empty when it is taken.
    QString refusal;
    /// The address refused for not being HTTPS; empty when the refusal is another.
    QString insecureUrl;
};

/// The download the record offers from the site at `base`: refused when the site or the
/// download address is not HTTPS, or when a length or digest is given and cannot be read.
updateDownloadPlan updateDownloadPlanOf(const QString &base, const updateRecordDico &record);

/// Reads the record from the server's answer: nothing when the text lacks one of "<key>",
/// "</key>", "<value>", "</value>". Each piece after a "<key>" names a key (the text before
/// "</key>") and, when it holds a "<value>", its value (after the first "<value>", cut before
/// "</value>"); pieces without both are ignored, later pieces win.
std::optional<updateRecordDico> updateRecordParse(const QString &text);

/// A version text read as a 32-bit number the way the record is compared: the first decimal
/// number of the text, so "2.1.3" reads as 2.1.
float updateVersionFloat(const QString &text);

/// True when the record's "version" is above the running version and the system's version is at
/// least the record's "systemVersionMin" (all three compared as 32-bit floats).
bool updateOffered(const updateRecordDico &record, float appVersion, float systemVersion);
