#pragma once
// TWebLink: a label that stands for a web address. It starts blue with a hand pointer;
// the first time the pointer moves over it, it turns red and stays red, so the user
// sees which links have been visited with the pointer. A click asks its window to
// open the address; the window's handler does that through the shell.

#include <QLabel>
#include <QString>
#include <QUrl>

class TWebLink : public QLabel {
    Q_OBJECT
public:
    explicit TWebLink(QWidget* parent = nullptr);

    // The text shown: PREFIX then ADDRESS, shortened in the middle when it does not fit
    // the label; the whole address is the tooltip.
    void SetAddress(const QUrl& address, const QString& prefix = QString());
    QUrl Address() const { return FAddress; }
    // The current text colour: blue, or red once the pointer has moved over the link.
    QColor LinkColor() const;
    void SetLinkColor(const QColor& color);

signals:
    void Click();
    void MouseMove();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowCaption();

    QUrl FAddress;
    QString FPrefix;
    bool FPressed = false;
};

// The product's home page. Until the product has a public page, that is its README:
// the one installed with the program, else the one of the source tree it was built
// from.
QUrl HomePageUrl();

// Opens URL as a click on a link does. Where the desktop cannot open it (no browser,
// no desktop at all) an information box over WINDOW gives the address, so that the
// user can copy it.
void OpenLink(QWidget* window, const QUrl& url);
