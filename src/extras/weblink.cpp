#include "extras/weblink.h"

#include "platform/command.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>

using namespace Qt::Literals::StringLiterals;

TWebLink::TWebLink(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    SetLinkColor(Qt::blue);
}

void TWebLink::SetAddress(const QUrl& address, const QString& prefix)
{
    FAddress = address;
    FPrefix = prefix;
    setToolTip(address.toString());
    ShowCaption();
}

QColor TWebLink::LinkColor() const { return palette().color(QPalette::WindowText); }

void TWebLink::SetLinkColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TWebLink::ShowCaption()
{
    const QString caption = FPrefix + FAddress.toString();
    setText(width() > 0 ? fontMetrics().elidedText(caption, Qt::ElideMiddle, width()) : caption);
}

void TWebLink::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove();
    QLabel::mouseMoveEvent(event);
}

void TWebLink::mousePressEvent(QMouseEvent* event)
{
    FPressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TWebLink::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release of the left button over the link.
    const bool click = FPressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    FPressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit Click();
}

void TWebLink::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    ShowCaption();
}

QUrl HomePageUrl()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        exeDir + u"/README.md"_s,
        exeDir + u"/../share/doc/tresmol/README.md"_s,
        QStringLiteral(TRESMOL_SOURCE_README),
    };
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
    return QUrl::fromLocalFile(QStringLiteral(TRESMOL_SOURCE_README));
}

void OpenLink(QWidget* window, const QUrl& url)
{
    if (Shell::OpenUrl(url))
        return;
    Dialogs().MessageBox(window,
                         u"Не удалось открыть адрес в браузере. Откройте его сами:\n\n"_s +
                             url.toDisplayString(QUrl::PreferLocalFile),
                         ApplicationTitle(), TMsgButtons::mbOK, TMsgIcon::miInformation);
}
