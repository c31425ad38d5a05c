#include "platform/command.h"

#include "platform/dialogs.h"
#include "platform/errors.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

QString ApplicationTitle()
{
    const QString path = QCoreApplication::applicationFilePath();
    QString name = QFileInfo(path).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name.left(1) + name.mid(1).toLower();
}

void ShowErrorBox(const QString& message, QWidget* parent)
{
    Dialogs().MessageBox(parent, ErrorBoxText(message), ApplicationTitle(), TMsgButtons::mbOK,
                         TMsgIcon::miStop);
}

bool RunCommand(QWidget* parent, const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const EError& e) {
        ShowErrorBox(e.Message(), parent);
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), parent);
    } catch (...) {
        ShowErrorBox(u"Unexpected failure"_s, parent);
    }
    return false;
}
