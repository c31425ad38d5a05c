#pragma once
// The About window: the logo, a picture, the credits and a link to the home page. It
// holds no data; the link's colour and the list's selection stay as the user left them
// from one showing to the next.

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutForm;
}

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    void CloseWindow();
    void OpenHomePage();
    void HighlightHomePageLink();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutForm> ui;
};
