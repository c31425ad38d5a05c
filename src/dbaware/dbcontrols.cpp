#include "dbaware/dbcontrols.h"

#include "platform/command.h"
#include "store/catalogue/dataset.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QValidator>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// The focus leaves for another control of the same window (not another window, not
// a menu): the moment a control hands over its text.
bool LeavesForControl(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason &&
           event->reason() != Qt::PopupFocusReason;
}

// Whole numbers that fit 32 bits, typed as digits with an optional leading minus;
// an empty box (no value) and a lone minus on the way to a number are let through.
class TWholeNumberValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (input.isEmpty() || input == u"-"_s)
            return Intermediate;
        bool ok = false;
        input.toInt(&ok, 10);
        const bool digits = std::all_of(input.begin() + (input.startsWith(u'-') ? 1 : 0),
                                        input.end(), [](QChar c) { return c.isDigit(); });
        return ok && digits ? Acceptable : Invalid;
    }
};

} // namespace

// ---------------------------------------------------------------- TDBEdit

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] { TextEdited(); });
    Load();
}

void TDBEdit::SetDataField(const QString& name)
{
    if (FDesignMaxLength < 0)
        FDesignMaxLength = maxLength();
    FLink.SetFieldName(name);
}

void TDBEdit::DataChange(TField*)
{
    if (FStarting)
        return;
    FHolding = false;
    Load();
}

void TDBEdit::Load()
{
    const TField* f = Field();
    setReadOnly(!FLink.CanModify());
    const int designMax = FDesignMaxLength < 0 ? maxLength() : FDesignMaxLength;
    if (f && f->DataType() == TFieldType::ftString && f->Size() > 0)
        setMaxLength(std::min(designMax, f->Size()));
    else
        setMaxLength(designMax);
    // A whole-number field takes only what it can hold: digits, a leading minus, and
    // no more of them than its 32 bits allow. The check follows the field the edit is
    // bound to now, so a box shown before its table opens accepts anything meanwhile.
    const bool integral =
        f && (f->DataType() == TFieldType::ftInteger || f->DataType() == TFieldType::ftAutoInc);
    if (integral && !validator()) {
        auto* v = new TWholeNumberValidator(this);
        FIntegerValidator = v;
        setValidator(v);
    } else if (!integral && validator() && validator() == FIntegerValidator) {
        setValidator(nullptr);
        delete FIntegerValidator;
        FIntegerValidator = nullptr;
    }
    const QString text = f ? f->AsString() : QString();
    if (text != this->text())
        setText(text);
}

void TDBEdit::AssignText(const QString& text)
{
    setText(text);
    TextEdited();
}

void TDBEdit::TextEdited()
{
    if (FHolding)
        return;
    const QString typed = text();
    const int cursor = cursorPosition();
    FStarting = true;
    const bool ok = RunCommand(window(), [this] { FLink.Edit(); });
    FStarting = false;
    if (!ok || !FLink.Editing()) {
        Load();
        return;
    }
    if (text() != typed)
        setText(typed);
    setCursorPosition(cursor);
    FHolding = true;
}

namespace {

// Writes the text a widget holds into its field; if the record refuses it, the
// widget goes on holding it so that nothing typed is lost.
void HandOverText(TFieldDataLink& link, bool& holding, const QString& text)
{
    if (!holding || !link.Field())
        return;
    holding = false;
    try {
        link.Edit();
        link.Field()->SetAsString(text);
    } catch (...) {
        holding = true;
        throw;
    }
}

} // namespace

void TDBEdit::UpdateData() { HandOverText(FLink, FHolding, text()); }

void TDBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (FHolding && LeavesForControl(event)) {
        if (!RunCommand(window(), [this] { UpdateData(); }))
            QMetaObject::invokeMethod(
                this, [this] { setFocus(); }, Qt::QueuedConnection);
    }
}

void TDBEdit::keyPressEvent(QKeyEvent* event)
{
    // Escape gives back the field's value and forgets what was typed.
    if (event->key() == Qt::Key_Escape && FHolding) {
        FHolding = false;
        Load();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// ---------------------------------------------------------------- TDBMemo

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] { TextChanged(); });
    Load();
}

void TDBMemo::DataChange(TField*)
{
    if (FStarting)
        return;
    FHolding = false;
    Load();
}

void TDBMemo::Load()
{
    const TField* f = Field();
    setReadOnly(!FLink.CanModify());
    const QString text = f ? f->AsString() : QString();
    if (text != toPlainText()) {
        FLoading = true;
        setPlainText(text);
        FLoading = false;
    }
}

void TDBMemo::TextChanged()
{
    if (FLoading || FHolding || isReadOnly())
        return;
    const QString typed = toPlainText();
    const int cursor = textCursor().position();
    FStarting = true;
    const bool ok = RunCommand(window(), [this] { FLink.Edit(); });
    FStarting = false;
    if (!ok || !FLink.Editing()) {
        Load();
        return;
    }
    if (toPlainText() != typed) {
        FLoading = true;
        setPlainText(typed);
        FLoading = false;
        QTextCursor c = textCursor();
        c.setPosition(std::min(cursor, int(typed.size())));
        setTextCursor(c);
    }
    FHolding = true;
}

void TDBMemo::UpdateData() { HandOverText(FLink, FHolding, toPlainText()); }

void TDBMemo::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (FHolding && LeavesForControl(event))
        RunCommand(window(), [this] { UpdateData(); });
}

// ---------------------------------------------------------------- TDBCheckBox

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent)
{
    connect(this, &QCheckBox::clicked, this, [this](bool checked) { Clicked(checked); });
    Load();
}

void TDBCheckBox::DataChange(TField*) { Load(); }

void TDBCheckBox::Load()
{
    const TField* f = Field();
    setEnabled(FLink.CanModify());
    // A closed table shows a clear box; a flag that holds no value yet (no record, a
    // new record) shows grey, neither ticked nor unticked.
    if (!f)
        setCheckState(Qt::Unchecked);
    else if (f->IsNull())
        setCheckState(Qt::PartiallyChecked);
    else
        setCheckState(f->AsBoolean() ? Qt::Checked : Qt::Unchecked);
}

void TDBCheckBox::nextCheckState()
{
    // The user only ever ticks or unticks; grey is for a flag without a value.
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void TDBCheckBox::Clicked(bool checked)
{
    RunCommand(window(), [&] {
        FLink.Edit();
        if (TField* f = Field())
            f->SetAsBoolean(checked);
    });
    Load();
}

// ---------------------------------------------------------------- TDBText

TDBText::TDBText(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void TDBText::DataChange(TField*)
{
    const TField* f = FLink.Field();
    setText(f ? f->AsString() : QString());
}

// ---------------------------------------------------------------- TDBLookupComboBox

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) { Choose(index); });
}

void TDBLookupComboBox::SetListSource(TDataSource* ds, const QString& keyField,
                                      const QString& listField)
{
    FKeyField = keyField;
    FListField = listField;
    FListLink.SetDataSource(ds);
    LoadList();
}

void TDBLookupComboBox::LoadList()
{
    FLoading = true;
    clear();
    TDataSet* list = FListLink.DataSet();
    if (list && list->Active() && !FKeyField.isEmpty() && !FListField.isEmpty()) {
        const TField* key = list->FindField(FKeyField);
        const TField* text = list->FindField(FListField);
        if (key && text)
            for (int row = 0; row < list->ViewRowCount(); ++row)
                addItem(list->ViewText(row, text->Index()), list->ViewValue(row, key->Index()));
    }
    FLoading = false;
    Load();
}

void TDBLookupComboBox::DataChange(TField*) { Load(); }

void TDBLookupComboBox::Load()
{
    FLoading = true;
    const TField* f = Field();
    setEnabled(FLink.CanModify());
    const QVariant key = f ? f->Value() : QVariant();
    int index = -1;
    if (!key.isNull())
        for (int i = 0; i < count() && index < 0; ++i)
            if (itemData(i).toInt() == key.toInt())
                index = i;
    setCurrentIndex(index);
    FLoading = false;
}

void TDBLookupComboBox::Choose(int index)
{
    if (FLoading || index < 0 || index >= count())
        return;
    const QVariant key = itemData(index);
    RunCommand(window(), [&] {
        FLink.Edit();
        if (TField* f = Field())
            f->SetValue(key);
    });
    Load();
}
