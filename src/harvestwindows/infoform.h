#pragma once
// The file information window: sixteen edits bound to the catalogue record that
// "Инфа с файла" has just inserted, filled from a file the user picks ("Обзор"),
// corrected by hand and saved ("Сохранить").

#include <QDialog>

#include <memory>

class TDataSource;
class TDBEdit;
namespace Ui {
class TInfoForm;
}

class TInfoForm : public QDialog {
    Q_OBJECT
public:
    // The edits bind to SOURCE, the catalogue's data source (to none when null).
    explicit TInfoForm(QWidget* parent = nullptr, TDataSource* source = nullptr);
    ~TInfoForm() override;

    void SetDataSource(TDataSource* source);
    // The sixteen edits in the order "Обзор" fills them (DBEdit1 ... DBEdit16).
    QList<TDBEdit*> Edits() const;

    // The two filter entries of the file dialog.
    static const QString OpenDialog3Filter;

    void ChooseFile();         // "Обзор"
    void SaveRecord();         // "Сохранить"
    void CloseWithoutSaving(); // "Выход"

    // Closing by any way: a new record left untouched is dropped.
    void done(int result) override;

private:
    std::unique_ptr<Ui::TInfoForm> ui;
    TDataSource* FSource = nullptr;
};
