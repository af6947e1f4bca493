#include "movie/QTCodecs.h"

#include "platform/constants.h"
#include "platform/log.h"

namespace {

QStringList gProresChoices;

// The first four characters of a code's text (the whole text when shorter).
QString firstFour(const QString &text) {
    return text.left(4);
}

QString listText(const QList<int> &answers) {
    QStringList parts;
    for (const int answer : answers) {
        parts.append(QString::number(answer));
    }
    return QStringLiteral("(%1)").arg(parts.join(QStringLiteral(", ")));
}

QString mood(bool available) {
    return available ? QStringLiteral(")") : QStringLiteral("(");
}

} // namespace

QList<QTCompDesc> componentsCollecte() {
    // Every present component: any type, subtype and manufacturer, the "is missing" flag clear.
    const toolbox::ComponentDescription looking{0, 0, 0, 0, toolbox::kCmpIsMissing};
    QList<QTCompDesc> components;
    components.reserve(static_cast<qsizetype>(toolbox::countComponents(looking)));
    for (const toolbox::Component *component = toolbox::findNextComponent(nullptr, looking);
         component != nullptr; component = toolbox::findNextComponent(component, looking)) {
        components.append(QTCompDesc::withComponent(component));
    }
    return components;
}

QList<int> codecsCheckIn(const QList<QTCompDesc> &components, const QStringList &wanted) {
    QList<int> answers;
    for (const QString &code : wanted) {
        logDebug(QStringLiteral("codec available     ? '%1' …").arg(code));
        int found = 0;
        for (const QTCompDesc &component : components) {
            const QString subType = component.subType();
            if (subType.isEmpty()) {
                continue;
            }
            if (firstFour(subType).toUpper().contains(code)) {
                logStr(QStringLiteral("%1                :-)").arg(code));
                found = 1;
                break;
            }
        }
        answers.append(found);
    }
    return answers;
}

QList<int> codecsCheck(const QStringList &wanted) {
    logDebug(QStringLiteral("CheckAllCodecs       - debut"));
    const QList<int> answers = codecsCheckIn(componentsCollecte(), wanted);
    logDebug(QStringLiteral("ma : %1").arg(listText(answers)));
    return answers;
}

std::optional<QStringList> codecsProresCheckIn(const QList<QTCompDesc> &components) {
    QStringList wanted;
    for (const char *code : {"ap4h", "apch", "apco", "apcs"}) {
        wanted.append(QStringLiteral("imco:%1:appl").arg(QLatin1String(code)));
    }
    QStringList found;
    for (const QString &text : wanted) {
        for (const QTCompDesc &component : components) {
            const QString key =
                QStringLiteral("%1:%2:%3")
                    .arg(firstFour(component.type()), firstFour(component.subType()),
                         firstFour(component.manufacturer()));
            if (key.contains(text)) {
                logStr(QStringLiteral("ProRes name         : %1").arg(component.name()));
                found.append(QStringLiteral("%1   (%2)").arg(component.name(), key));
                break;
            }
        }
    }
    logDebug(QStringLiteral("ma : %1").arg(found.join(QStringLiteral(", "))));
    if (found.isEmpty()) {
        return std::nullopt;
    }
    return found;
}

std::optional<QStringList> codecsProresCheck() {
    return codecsProresCheckIn(componentsCollecte());
}

QStringList codecsStartupWanted() {
    return {QStringLiteral("WMV "), QStringLiteral("VP60"), QStringLiteral("ICOD"),
            QStringLiteral("APCH")};
}

void codecsStartupCheck() {
    const QList<int> answers = codecsCheck(codecsStartupWanted());
    // The Apple Intermediate Codec is an output format: it counts only with an encoder. The
    // registry lists FFmpeg's AIC decoder, which answers the check but writes nothing.
    const bool aicEncoder = toolbox::findImageCompressor(toolbox::fourCharCode("icod")) != nullptr;
    setAIC(answers.value(2, 0) != 0 && aicEncoder ? 1 : 0);
    setPRORESdec(answers.value(3, 0));
    if (answers.size() > 5) {
        setMTS(answers.at(5));
    }
    logStr(QStringLiteral("aic                 :-%1").arg(mood(getAIC() != 0)));
    logStr(QStringLiteral("mts                 :-%1").arg(mood(getMTS() != 0)));
    logStr(QStringLiteral("prores dec          :-%1").arg(mood(getPRORESdec() != 0)));

    const std::optional<QStringList> encoders = codecsProresCheck();
    setPRORES(encoders ? 1 : 0);
    gProresChoices = encoders.value_or(QStringList{});
    logStr(QStringLiteral("prores enc          :-%1").arg(mood(getPRORES() != 0)));
}

QStringList codecsProresChoices() {
    return gProresChoices;
}
