#pragma once
// TIniFile: an initialisation file with the semantics of the Windows profile
// services. Section and key names match without regard to case; integers are written
// in decimal and read also as "0x…" or "$…" hexadecimal; a missing file, section or
// key, or a value that is not a number, reads as the caller's default. Nothing is
// cached: every read opens the file afresh, so a value edited by hand while the
// program runs is seen by the next read, and every write reaches the file at once.
// The text is UTF-8, so keys built from Cyrillic names round-trip.

#include "platform/errors.h"

#include <QString>

class EIniFileError : public EError {
public:
    using EError::EError;
};

class TIniFile {
public:
    explicit TIniFile(QString fileName) : FFileName(std::move(fileName)) {}

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Each throws EIniFileError "Unable to write to <file>" when the file cannot be
    // written; what was written before stays written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

private:
    QString FFileName;
};
