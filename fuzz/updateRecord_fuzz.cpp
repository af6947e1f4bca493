// The update server's answer: whatever comes back over the network, read for its pairs of
// markers, judged by the offer rule, and its download planned (an HTTPS address, a readable
// length and digest, or a refusal).
#include "update/updateRecord.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<updateRecordDico> record = updateRecordParse(text);
    if (record) {
        (void)updateOffered(*record, 1.0F, 12.0F);
        const updateDownloadPlan plan =
            updateDownloadPlanOf(QStringLiteral("https://u.example/"), *record);
        // A plan that is taken downloads over HTTPS only, with a whole digest or none.
        if (plan.refusal.isEmpty() && (!updateUrlIsSecure(plan.url) || plan.length < -1 ||
                                       (!plan.sha256.isEmpty() && plan.sha256.size() != 32))) {
            std::abort();
        }
    }
    return 0;
}
