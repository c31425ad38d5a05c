#include "harvestwindows/infoform.h"

#include "dbaware/dbcontrols.h"
#include "harvest/harvestfile.h"
#include "platform/command.h"
#include "platform/dialogs.h"
#include "platform/fitwindow.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"
#include "ui_infoform.h"

#include <QHash>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

// Executables first; the second entry lists every file. The pattern "*." of other
// platforms' dialogs means every file there, but here it would match only names
// ending in a dot, so it is written "*".
const QString TInfoForm::OpenDialog3Filter = u"Exe файлы (*.exe);;Все файлы (*)"_s;

namespace {

// The column of each edit, DBEdit1 to DBEdit16.
const QStringList EditColumns = {
    u"CompanyName"_s,     u"FileDescription"_s, u"FileVersion"_s,      u"InternalName"_s,
    u"LegalCopyright"_s,  u"LegalTrademarks"_s, u"OriginalFilename"_s, u"ProductName"_s,
    u"ProductVersion"_s,  u"Comments"_s,        u"PlacingProgram"_s,   u"FileName"_s,
    u"ExtractFileName"_s, u"Language"_s,        u"LangID"_s,           u"CodePage"_s,
};

} // namespace

TInfoForm::TInfoForm(QWidget* parent, TDataSource* source)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TInfoForm>())
{
    ui->setupUi(this);
    FitWindow::PlaceWhenShown(this, FitWindow::TPlace::OnOwner);
    setObjectName(u"InfoForm"_s);
    const QList<TDBEdit*> edits = Edits();
    for (int i = 0; i < edits.size(); ++i)
        edits[i]->SetDataField(EditColumns[i]);
    SetDataSource(source);
    // The designed 650 by 490, or more where the current font needs it.
    resize(FitWindow::ContentSize(this, QSize(650, 490)));
    connect(ui->SpeedButton1, &QPushButton::clicked, this,
            [this] { RunCommand(this, [this] { ChooseFile(); }); });
    connect(ui->SpeedButton2, &QPushButton::clicked, this,
            [this] { RunCommand(this, [this] { SaveRecord(); }); });
    connect(ui->SpeedButton3, &QPushButton::clicked, this,
            [this] { RunCommand(this, [this] { CloseWithoutSaving(); }); });
}

TInfoForm::~TInfoForm() = default;

void TInfoForm::SetDataSource(TDataSource* source)
{
    FSource = source;
    for (TDBEdit* e : Edits())
        e->SetDataSource(source);
}

QList<TDBEdit*> TInfoForm::Edits() const
{
    return {ui->DBEdit1,  ui->DBEdit2,  ui->DBEdit3,  ui->DBEdit4,  ui->DBEdit5,  ui->DBEdit6,
            ui->DBEdit7,  ui->DBEdit8,  ui->DBEdit9,  ui->DBEdit10, ui->DBEdit11, ui->DBEdit12,
            ui->DBEdit13, ui->DBEdit14, ui->DBEdit15, ui->DBEdit16};
}

void TInfoForm::ChooseFile()
{
    const QString path = Dialogs().OpenFileName(this, QString(), OpenDialog3Filter);
    if (path.isEmpty())
        return;
    // A file without version information raises the reader's error: no edit changes.
    const Harvest::TVersionValues values = Harvest::VersionValues(*Harvest::ReadVerInfo(path));
    // The same values harvesting stores, and beside them where the file lies.
    QHash<QString, QString> texts;
    for (const Harvest::TVersionValue& v : values)
        texts.insert(v.Column.toString(), v.Value);
    const qsizetype slash = path.lastIndexOf(u'/');
    texts.insert(u"PlacingProgram"_s, path.left(slash + 1));
    texts.insert(u"FileName"_s, path);
    texts.insert(u"ExtractFileName"_s, path.mid(slash + 1));
    for (TDBEdit* edit : Edits())
        edit->AssignText(texts.value(edit->DataField()));
}

void TInfoForm::SaveRecord()
{
    // What "Обзор" or the user put into the edits counts as a change, whether or not
    // the focus has left the edit yet.
    if (TDataSet* table = FSource ? FSource->DataSet() : nullptr)
        RecordOps::SaveIfModified(*table);
    accept();
}

void TInfoForm::CloseWithoutSaving() { reject(); }

void TInfoForm::done(int result)
{
    // A new record that nothing was put into would otherwise linger in the grid as a
    // numberless row until the next move; it goes when the window closes. One whose
    // values still wait in the edits stays, so that they are not lost.
    if (TDataSet* table = FSource ? FSource->DataSet() : nullptr) {
        const QList<TDBEdit*> edits = Edits();
        const bool held =
            std::any_of(edits.begin(), edits.end(), [](const TDBEdit* e) { return e->Holding(); });
        if (table->State() == TDataSetState::dsInsert && !table->Modified() && !held)
            RunCommand(this, [table] { table->Cancel(); });
    }
    QDialog::done(result);
}
