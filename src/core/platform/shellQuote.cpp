#include "platform/shellQuote.h"

QString shellQuote(const QString &text) {
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(QLatin1Char('\''));
    for (const QChar c : text) {
        if (c == QLatin1Char('\'')) {
            quoted.append(QLatin1String("'\\''"));
        } else {
            quoted.append(c);
        }
    }
    quoted.append(QLatin1Char('\''));
    return quoted;
}
