#include "verifyFront.h"

#include "controller/encPlans.h"
#include "controller/exportPreset.h"
#include "platform/log.h"
#include "verify/outputVerdict.h"

#include <QFile>
#include <QVariantMap>

#include <cstdio>

namespace {

/// The facts of a file, or the reader's words in `why`.
std::optional<toolbox::MovieFacts> factsOf(const QString &path, QString *why) {
    toolbox::MovieFacts facts;
    const toolbox::MovieStatus status =
        toolbox::readMovieFacts(QFile::encodeName(path).toStdString(), facts);
    if (!status) {
        *why = QString::fromStdString(status.message);
        return std::nullopt;
    }
    return facts;
}

} // namespace

QString verifyPairLine(const QString &source, const QString &output, int32_t format, int32_t mode,
                       bool *holds) {
    *holds = false;
    QString why;
    const std::optional<toolbox::MovieFacts> from = factsOf(source, &why);
    if (!from) {
        return QStringLiteral("not verified: the source can't be read (%1)").arg(why);
    }
    const std::optional<toolbox::MovieFacts> made = factsOf(output, &why);
    if (!made) {
        return QStringLiteral("not verified: %1").arg(verifyUnreadable(why).logWords);
    }
    // The plan a batch makes for such a source: its rate and height choose the export's preset.
    const toolbox::PictureFacts picture = from->picture.value_or(toolbox::PictureFacts{});
    mediaFacts facts;
    facts.fpsText = QString::number(picture.rate.value(), 'f', 3);
    facts.fps = picture.rate.value();
    facts.height = picture.height;
    facts.width = picture.width;
    const verifyPlan plan = encVerifyPlan(facts, std::nullopt, format, mode, true, picture.rate);
    const verifyVerdict verdict = verifyOutput(verifyExpectOf(*from, plan), *made);
    *holds = verdict.holds;
    return verdict.holds ? verdict.logWords
                         : QStringLiteral("not verified: %1 (%2)")
                               .arg(verdict.failureLogWords(), verdict.logWords);
}

int verifyRun(const commandLine &line) {
    bool holds = false;
    const QString said = verifyPairLine(line.batch.sources.value(0), line.batch.sources.value(1),
                                        line.batch.format.value_or(outRewrap),
                                        line.batch.mode.value_or(fpsNormal), &holds);
    std::fprintf(stdout, "%s\n", logTerminalSafe(said.toUtf8()).constData());
    std::fflush(stdout);
    return holds ? 0 : 1;
}
