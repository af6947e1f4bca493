#include "platform/constants.h"

namespace {
bool gDebug = false;
bool gOpenPerm = true;
int32_t gAic = 0;
int32_t gProresDec = 0;
int32_t gProres = 0;
int32_t gMts = 0;
QString gTmpFolder;
} // namespace

QString appNameStr() {
    return QStringLiteral("Fluxaro");
}
QString appIdentifierStr() {
    return QStringLiteral("org.fluxaro.Fluxaro");
}

bool getDEBUG() {
    return gDebug;
}
void setDEBUG(bool value) {
    gDebug = value;
}

bool getOPENPERM() {
    return gOpenPerm;
}
void setOPENPERM(bool value) {
    gOpenPerm = value;
}

int32_t getAIC() {
    return gAic;
}
void setAIC(int32_t value) {
    gAic = value;
}
int32_t getPRORESdec() {
    return gProresDec;
}
void setPRORESdec(int32_t value) {
    gProresDec = value;
}
int32_t getPRORES() {
    return gProres;
}
void setPRORES(int32_t value) {
    gProres = value;
}
int32_t getMTS() {
    return gMts;
}
void setMTS(int32_t value) {
    gMts = value;
}

QString getTMPFOLDER() {
    if (!gTmpFolder.isEmpty()) {
        return gTmpFolder;
    }
    return QStringLiteral("/tmp/%1").arg(appNameStr());
}

void setTMPFOLDER(const QString &path) {
    gTmpFolder = path;
}
