// Process-wide values shared by every part of the application, each with a getter and a setter,
// and the application's fixed names. All of them are used from the main thread only.
#pragma once

#include <QString>

#include <cstdint>

/// The application's name (the information list's bundle name), "Fluxaro".
QString appNameStr();
/// The application's identifier (the information list's bundle identifier).
QString appIdentifierStr();

bool getDEBUG();
void setDEBUG(bool value);

/// Sources may be added (drops, Open command); false while an analysis adds sources.
bool getOPENPERM();
void setOPENPERM(bool value);

/// The Apple Intermediate Codec can be written (output format 1).
int32_t getAIC();
void setAIC(int32_t value);
/// A ProRes codec is available (decoder check).
int32_t getPRORESdec();
void setPRORESdec(int32_t value);
/// ProRes encoders are available (output format 2).
int32_t getPRORES();
void setPRORES(int32_t value);
/// Sixth answer of the codec check, only logged.
int32_t getMTS();
void setMTS(int32_t value);

/// The application's temporary folder; before start-up has set one, the fallback
/// "/tmp/<name>" (without a final "/"), which is not stored.
QString getTMPFOLDER();
/// Keeps the given folder; the empty text clears it.
void setTMPFOLDER(const QString &path);
