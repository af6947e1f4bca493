// Codec availability: the components of the movie toolbox's registry, and the two checks that
// start-up runs on them (which wanted codec codes have a component, which ProRes encoders are
// there). Nothing is cached: each check lists the registry again.
#pragma once

#include "movie/QTCompDesc.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// One record per present component (the "is missing" flag clear), in registry order.
QList<QTCompDesc> componentsCollecte();

/// For each wanted code (upper case, e.g. "ICOD", "WMV "), in order: 1 when some component's
/// subtype, its first four characters upper-cased, contains the code; 0 otherwise. Components of
/// every type count (a decoder answers as well as an encoder).
QList<int> codecsCheck(const QStringList &wanted);
/// The same check over a given list of components.
QList<int> codecsCheckIn(const QList<QTCompDesc> &components, const QStringList &wanted);

/// The ProRes encoders found, in the order 4444, 422 HQ, 422 Proxy, 422 LT: each as the
/// component's name, three blanks and its key in parentheses ("... (imco:apch:appl)"). Nothing
/// when none is found.
std::optional<QStringList> codecsProresCheck();
/// The same check over a given list of components.
std::optional<QStringList> codecsProresCheckIn(const QList<QTCompDesc> &components);

/// The codes of the start-up codec check, in the order of its answers.
QStringList codecsStartupWanted();

/// Start-up's codec checks: sets getAIC (answer for "ICOD", and only when an encoder for it
/// exists: a decoder can't make the output), getPRORESdec ("APCH"), getMTS (a
/// sixth answer, when there is one) and getPRORES (ProRes encoders found), logs them, and keeps
/// the ProRes encoder texts for the ProRes choice of the preferences (codecsProresChoices).
void codecsStartupCheck();

/// The ProRes encoder texts found by the last codecsStartupCheck (empty before it runs).
QStringList codecsProresChoices();
