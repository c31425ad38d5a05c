#pragma once
// Data-aware controls bound to one field of a data source: an edit box, a multi-line
// edit box, a check box, a read-only text and a lookup list.
//
// The edit boxes hold typed text until the record takes it in: when the record is
// posted or left (the dataset asks every bound control through UpdateData), or when
// the focus moves to another control of the same window. Typing starts editing the
// record. The check box and the lookup list write their field at once; the check box
// shows a flag without a value as a grey box.

#include "dbaware/fieldlink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

class TDataSource;

class TDBEdit : public QLineEdit, private TFieldLinkClient {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FLink.DataSource(); }
    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    const QString& DataField() const { return FLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FLink.Field(); }
    // Text typed that the record has not taken in yet.
    bool Holding() const { return FHolding; }
    // Puts TEXT into the edit as if the user had typed it: the record starts editing
    // and the edit holds the text until the record takes it in.
    void AssignText(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DataChange(TField* changed) override;
    void UpdateData() override;
    void Load();
    void TextEdited();

    TFieldDataLink FLink{this};
    bool FHolding = false;
    bool FStarting = false;
    int FDesignMaxLength = -1;
    const QValidator* FIntegerValidator = nullptr; // set while bound to a whole number
};

class TDBMemo : public QPlainTextEdit, private TFieldLinkClient {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FLink.DataSource(); }
    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    const QString& DataField() const { return FLink.FieldName(); }
    void SetDataField(const QString& name) { FLink.SetFieldName(name); }
    TField* Field() const { return FLink.Field(); }
    bool Holding() const { return FHolding; }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DataChange(TField* changed) override;
    void UpdateData() override;
    void Load();
    void TextChanged();

    TFieldDataLink FLink{this};
    bool FHolding = false;
    bool FLoading = false;
    bool FStarting = false;
};

class TDBCheckBox : public QCheckBox, private TFieldLinkClient {
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);

    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    void SetDataField(const QString& name) { FLink.SetFieldName(name); }
    TField* Field() const { return FLink.Field(); }

protected:
    void nextCheckState() override;

private:
    void DataChange(TField* changed) override;
    void Load();
    void Clicked(bool checked);

    TFieldDataLink FLink{this};
};

// A read-only text showing a field's value.
class TDBText : public QLabel, private TFieldLinkClient {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    const QString& DataField() const { return FLink.FieldName(); }
    void SetDataField(const QString& name) { FLink.SetFieldName(name); }

private:
    void DataChange(TField* changed) override;

    TFieldDataLink FLink{this};
};

// A drop-down list of a reference table's texts; shows the text of the entry whose
// key equals the record's field, and writes the chosen entry's key into it.
class TDBLookupComboBox : public QComboBox, private TFieldLinkClient {
    Q_OBJECT
public:
    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    void SetDataField(const QString& name) { FLink.SetFieldName(name); }
    TField* Field() const { return FLink.Field(); }
    // The reference list: its data source, key column and text column.
    void SetListSource(TDataSource* ds, const QString& keyField, const QString& listField);
    // Chooses the entry at INDEX as the user does.
    void Choose(int index);

private:
    void DataChange(TField* changed) override;
    void LoadList();
    void Load();

    TFieldDataLink FLink{this};
    TListDataLink FListLink{[this] { LoadList(); }};
    QString FKeyField, FListField;
    bool FLoading = false;
};
