#include "platform/command.h"

#include "platform/dialogs.h"
#include "platform/errors.h"

using namespace Qt::Literals::StringLiterals;

QString ApplicationTitle()
{
    // The product's name, not the executable's: on this platform programs are
    // installed under lower-case file names, which no caption should show.
    return u"Tresmol"_s;
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
