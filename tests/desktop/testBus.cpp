#include "testBus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

testBus::testBus(const QString &type) {
    const QString config = dir_.path() + QStringLiteral("/bus.conf");
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("<busconfig><type>%2</type>"
                                  "<listen>unix:dir=%1</listen>"
                                  "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                  "<allow own=\"*\"/><allow receive_type=\"*\"/></policy>"
                                  "</busconfig>\n")
                       .arg(dir_.path(), type)
                       .toUtf8());
    }
    file.close();
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForStarted(5000)) {
        const QDeadlineTimer deadline(5000);
        while (!daemon_.canReadLine() && !deadline.hasExpired()) {
            daemon_.waitForReadyRead(100);
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
}

testBus::~testBus() {
    stopRecorder();
    daemon_.terminate();
    if (!daemon_.waitForFinished(3000)) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

bool testBus::startRecorder(bool withServices) {
    stopRecorder();
    recorder_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    recorder_->setProcessEnvironment(env);
    const QString records = dir_.path() + QStringLiteral("/records.txt");
    QFile::remove(records);
    QStringList args{records};
    if (!withServices) {
        args << QStringLiteral("--no-services");
    }
    recorder_->start(QStringLiteral(FLUXARO_BINARY_DIR "/tests/dbusRecorder"), args);
    if (!recorder_->waitForStarted(5000)) {
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!recorder_->canReadLine() && !deadline.hasExpired() &&
           recorder_->state() == QProcess::Running) {
        recorder_->waitForReadyRead(100);
    }
    return recorder_->readLine().trimmed() == "ready";
}

void testBus::stopRecorder() {
    if (!recorder_) {
        return;
    }
    recorder_->terminate();
    if (!recorder_->waitForFinished(3000)) {
        recorder_->kill();
        recorder_->waitForFinished();
    }
    recorder_.reset();
}

QStringList testBus::records(int atLeast, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    QStringList lines;
    do {
        // The caller's replies and signals are handled on its event loop meanwhile.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QFile file(dir_.path() + QStringLiteral("/records.txt"));
        lines.clear();
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    lines << QString::fromUtf8(line);
                }
            }
        }
        if (lines.size() >= atLeast) {
            break;
        }
        QThread::msleep(20);
    } while (!deadline.hasExpired());
    return lines;
}
