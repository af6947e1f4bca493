// The question Stop asks: its answers by what the batch is doing, the safe one first, Escape's
// the one that changes nothing, and every answer read back to its choice, in both languages.
#include "batchStop.h"
#include "settings/localisation.h"

#include <gtest/gtest.h>

TEST(batchStop, questionByWhatTheBatchDoes) {
    const struct {
        const char *lang;
        const char *clip;
        bool pending;
        QStringList buttons;
        QList<batchStopChoice> choices;
        const char *messageStart;
    } cases[] = {
        {"en",
         "00003.MTS",
         false,
         {"Stop after this clip", "Stop Now", "Continue"},
         {batchStopChoice::afterThisClip, batchStopChoice::stopNow, batchStopChoice::keepGoing},
         "00003.MTS is being converted."},
        {"en",
         "00003.MTS",
         true,
         {"Stop Now", "Continue"},
         {batchStopChoice::stopNow, batchStopChoice::keepGoing},
         "The conversion stops once 00003.MTS is converted."},
        // Between two clips nothing would be lost: nothing to finish first.
        {"en",
         "",
         false,
         {"Stop Now", "Continue"},
         {batchStopChoice::stopNow, batchStopChoice::keepGoing},
         "The clips not converted"},
        {"fr",
         "00003.MTS",
         false,
         {"Arrêter après cette séquence", "Arrêter maintenant", "Continuer"},
         {batchStopChoice::afterThisClip, batchStopChoice::stopNow, batchStopChoice::keepGoing},
         "00003.MTS est en cours de conversion."},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(loadTranslations(QString::fromLatin1(c.lang)));
        const batchStopQuestion question = batchStopQuestionFor(c.clip, c.pending);
        EXPECT_EQ(question.plan.buttons, c.buttons) << c.lang << " " << c.clip;
        EXPECT_EQ(question.choices, c.choices);
        EXPECT_TRUE(question.plan.message.startsWith(QString::fromUtf8(c.messageStart)))
            << question.plan.message.toStdString();
        EXPECT_FALSE(question.plan.title.startsWith("D_"));
        EXPECT_TRUE(question.plan.warning);
        ASSERT_GE(question.plan.cancelButton, 0);
        EXPECT_EQ(question.choices.at(question.plan.cancelButton), batchStopChoice::keepGoing);
        for (int32_t button = 0; button < question.choices.size(); ++button) {
            EXPECT_EQ(batchStopChoiceOf(question, {button, false}), question.choices.at(button));
        }
        // Closed by itself or answered out of range: nothing is stopped.
        EXPECT_EQ(batchStopChoiceOf(question, {-1, false}), batchStopChoice::keepGoing);
        EXPECT_EQ(batchStopChoiceOf(question, {7, false}), batchStopChoice::keepGoing);
    }
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
}
