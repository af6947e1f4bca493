#include "constants.h"
#include "log.h"

#include <QCoreApplication>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(appNameStr());
    logStr(QStringLiteral("app                 : %1").arg(appNameStr()));
    return 0;
}
