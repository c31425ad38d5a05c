#include "extras/aboutform.h"

#include "extras/aboutpicture.h"
#include "extras/weblink.h"
#include "platform/fitwindow.h"
#include "platform/shell.h"
#include "ui_aboutform.h"

#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TAboutForm>())
{
    ui->setupUi(this);
    // A fixed frame with the close box and the system menu only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(341, 170);
    // The texts are placed for MS Sans Serif; where it is missing, a face of about its
    // width keeps them inside the window.
    QFont small = font();
    small.setFamilies({u"MS Sans Serif"_s, u"Liberation Sans"_s});
    setFont(small);
    setWindowIcon(QIcon(QPixmap::fromImage(PaintAboutPicture().copy(16, 40, 80, 80))));

    ui->Panel1->SetBevelOuter(TPanelBevel::bvLowered);
    ui->Panel1->SetBevelInner(TPanelBevel::bvSpace);
    ui->Image1->setPixmap(QPixmap::fromImage(PaintAboutPicture()));

    // The logo: yellow on a blue box, its shadow in the button-text colour.
    TAPIText* logo = ui->APIText1;
    logo->SetText(u"Tresmol v 1.2"_s);
    logo->SetFontName(u"Arial"_s);
    logo->SetFontHeight(24);
    logo->SetFontWidth(0);
    logo->SetFontWeight(TFontWeight::Medium);
    logo->SetItalic(true);
    logo->SetUnderline(true);
    logo->SetStrikeOut(false);
    logo->SetEscapement(0);
    logo->SetTextXPos(0);
    logo->SetTextYPos(0);
    logo->SetShadowX(2);
    logo->SetShadowY(2);
    logo->SetTransp(false);
    logo->SetColor(clBlue);
    logo->SetFontColor(clYellow);
    logo->SetShadowColor(clBtnText);

    ui->Label9->SetAddress(HomePageUrl(), u" "_s);

    // The one entry, in the hot-track colour on the light 3-D face.
    QPalette list = ui->ListBox1->palette();
    list.setColor(QPalette::Base, ColorToRGB(cl3DLight, palette()));
    list.setColor(QPalette::Text, ColorToRGB(clHotLight, palette()));
    ui->ListBox1->setPalette(list);

    connect(ui->SpeedButton1, &QToolButton::clicked, this, &TAboutForm::CloseWindow);
    connect(ui->Label9, &TWebLink::Click, this, &TAboutForm::OpenHomePage);
    connect(ui->Label9, &TWebLink::MouseMove, this, &TAboutForm::HighlightHomePageLink);
}

TAboutForm::~TAboutForm() = default;

// The close box and "OK" take the same road: the window closes and the modal call
// returns.
void TAboutForm::CloseWindow() { close(); }

void TAboutForm::OpenHomePage() { OpenLink(this, ui->Label9->Address()); }

void TAboutForm::HighlightHomePageLink() { ui->Label9->SetLinkColor(ColorToRGB(clRed, palette())); }

void TAboutForm::keyPressEvent(QKeyEvent* event)
{
    // No default and no cancel button: Enter and Escape leave the window open.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TAboutForm::showEvent(QShowEvent* event)
{
    FitWindow::CentreFrame(this, false);
    QDialog::showEvent(event);
}
