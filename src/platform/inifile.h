#pragma once
// TIniFile: an initialisation file with the semantics of the Windows profile
// services. Section and key names match without regard to case; integers are written
// in decimal and read also as "0x…" or "$…" hexadecimal; a missing file, section or
// key, or a value that is not a number, reads as the caller's default. Nothing is
// cached: every read opens the file afresh, so a value edited by hand while the
// program runs is seen by the next read, and every write reaches the file at once,
// unless writes are gathered between BeginUpdate and EndUpdate. The file is always
// replaced whole (a new file renamed over the old), never rewritten in place.
// The text is UTF-8, so keys built from Cyrillic names round-trip.

#include "platform/errors.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

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

    // From BeginUpdate on, writes are held in memory (and seen by this object's reads)
    // until EndUpdate, which reads the file again, applies them in their order and
    // replaces the file once: hand edits made meanwhile to other keys are kept.
    // EndUpdate throws as the writes do; the held writes are dropped either way.
    void BeginUpdate();
    void EndUpdate();
    // Drops the held writes; the file stays as it is.
    void CancelUpdate();

private:
    struct THeldWrite {
        QString Section;
        QString Key;
        QString Value;
    };
    std::optional<QString> Find(const QString& section, const QString& key) const;
    void Save(const QStringList& lines) const;

    QString FFileName;
    std::optional<QList<THeldWrite>> FHeld;
};
