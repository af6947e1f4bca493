// The authorities the update site's certificate is checked against: the system's, or, for a
// private mirror or a test site, only those of the PEM file that FLUXARO_UPDATE_CA_FILE names.
#pragma once

#include <QString>

/// The file FLUXARO_UPDATE_CA_FILE names; empty when the variable is not set.
QString updateTrustFileStr();

/// At start-up, before any request: with FLUXARO_UPDATE_CA_FILE set, the process's default TLS
/// configuration trusts the certificates of that file and no other (none when it can't be read
/// or holds none: then no site is trusted, never the system's authorities instead). Logs what
/// it trusts and whether TLS is available at all. False when the file gives no certificate.
bool updateTrustSetUp();
