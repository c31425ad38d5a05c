#pragma once
// TEditRecordForm: the record editor. It works on the catalogue table's current record
// through the data module's data source, so whatever it changes shows in the main
// window at once. Its lookup lists choose the five reference entries; its edit boxes
// edit the columns whose names and captions they bear.

#include <QDialog>

#include <memory>

class TDataModule1;
namespace Ui {
class TEditRecordForm;
}

class TEditRecordForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditRecordForm(TDataModule1* dm, QWidget* parent = nullptr);
    ~TEditRecordForm() override;

    // "Сохранить": takes in what the boxes hold, then posts the record if it changed.
    void SaveRecord();
    // "Выход" and the close box: closes, neither posting nor cancelling.
    void CloseWindow();

    // Every way of closing: text the boxes hold is taken into the record first.
    void done(int result) override;

private:
    std::unique_ptr<::Ui::TEditRecordForm> ui;
    TDataModule1* FDataModule;
};
