#pragma once
// The package read in this process by msitools' libmsi. libmsi crashes on some damaged
// packages, so only the helper tresmol-msi calls this; the program reads packages
// through TMsiPackage, which asks the helper.

#include "harvest/msipackage.h"

#include <QByteArray>
#include <QString>

namespace Harvest {

// What the package at NATIVEPATH says (see TPackageFacts), its paths and cabinets only
// with CONTENTS; false with WHY when libmsi cannot open it.
bool ReadPackageFacts(const QByteArray& nativePath, bool contents, TPackageFacts& facts,
                      QString& why);

// Up to LIMIT bytes of the package's embedded stream NAME into OUT; false when there
// is no such stream or it is longer than LIMIT.
bool ReadPackageStream(const QByteArray& nativePath, const QString& name, qint64 limit,
                       QByteArray& out);

} // namespace Harvest
