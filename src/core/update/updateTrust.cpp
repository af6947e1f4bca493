#include "update/updateTrust.h"

#include "platform/log.h"

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

QString updateTrustFileStr() {
    return qEnvironmentVariable("FLUXARO_UPDATE_CA_FILE");
}

bool updateTrustSetUp() {
    if (!QSslSocket::supportsSsl()) {
        logStr(QStringLiteral("update              :-( no TLS library: HTTPS requests fail"));
    }
    const QString file = updateTrustFileStr();
    if (file.isEmpty()) {
        return true;
    }
    const QList<QSslCertificate> authorities =
        QSslCertificate::fromPath(file, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    // Setting the list also stops Qt from loading the system's authorities on demand.
    configuration.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(configuration);
    if (authorities.isEmpty()) {
        logStr(QStringLiteral("update              :-( no certificate in '%1': no site is trusted")
                   .arg(file));
        return false;
    }
    logStr(QStringLiteral("update              : trusting only the %1 certificates of '%2'")
               .arg(authorities.size())
               .arg(file));
    return true;
}
