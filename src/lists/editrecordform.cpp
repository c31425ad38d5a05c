#include "lists/editrecordform.h"

#include "platform/command.h"
#include "platform/fitwindow.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"

#include "ui_editrecordform.h"

using namespace Qt::Literals::StringLiterals;

TEditRecordForm::TEditRecordForm(TDataModule1* dm, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<::Ui::TEditRecordForm>()), FDataModule(dm)
{
    ui->setupUi(this);
    FitWindow::PlaceWhenShown(this, FitWindow::TPlace::FirstOnOwner);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // The designed 653 by 406, or more where the current font needs it.
    setFixedSize(FitWindow::ContentSize(this, QSize(653, 406)));
    if (parent)
        setWindowIcon(parent->windowIcon());

    const QString silver = u"background-color: silver;"_s;
    for (QWidget* w : findChildren<QWidget*>())
        if (w->objectName().startsWith(u"DBEdit"_s) || w->objectName().startsWith(u"DBLookup"_s))
            w->setStyleSheet(silver);

    if (dm) {
        // The edit boxes and the columns they edit.
        const std::pair<TDBEdit*, QString> edits[] = {
            {ui->DBEdit1, u"Номер"_s},
            {ui->DBEdit2, u"ProductName"_s},
            {ui->DBEdit18, u"Language"_s},
            {ui->DBEdit9, u"Year"_s},
            {ui->DBEdit8, u"Comments"_s},
            {ui->DBEdit5, u"Size"_s},
            {ui->DBEdit7, u"Label"_s},
            {ui->DBEdit3, u"ProductVersion"_s},
            {ui->DBEdit4, u"FileDescription"_s},
            {ui->DBEdit6, u"CompanyName"_s},
            {ui->DBEdit10, u"FileVersion"_s},
            {ui->DBEdit11, u"InternalName"_s},
            {ui->DBEdit12, u"LegalCopyright"_s},
            {ui->DBEdit13, u"LegalTrademarks"_s},
            {ui->DBEdit14, u"OriginalFilename"_s},
            {ui->DBEdit15, u"PlacingProgram"_s},
            {ui->DBEdit16, u"FileName"_s},
            {ui->DBEdit17, u"ExtractFileName"_s},
            {ui->DBEdit19, u"LangID"_s},
            {ui->DBEdit20, u"CodePage"_s},
        };
        for (const auto& [edit, field] : edits) {
            edit->SetDataSource(&dm->DataSource);
            edit->SetDataField(field);
        }
        struct TLookup {
            TDBLookupComboBox* Box;
            QString Field;
            TDataSource* List;
            QString Key, Text;
        };
        const TLookup lookups[] = {
            {ui->DBLookupComboBox1, u"TypeDisc"_s, &dm->TypeDiscDataSource, u"key1"_s,
             u"TypeDisc"_s},
            {ui->DBLookupComboBox2, u"ManufacturerDisc"_s, &dm->ManufacturerDataSource, u"key6"_s,
             u"ManufacturerDiscType"_s},
            {ui->DBLookupComboBox9, u"Platform"_s, &dm->PlatformDataSource, u"key2"_s,
             u"TypePlatform"_s},
            {ui->DBLookupComboBox11, u"Category"_s, &dm->CategoryDataSource, u"key3"_s,
             u"CategoryType"_s},
            {ui->DBLookupComboBox12, u"Programtype"_s, &dm->ProgramTypeDataSource, u"key5"_s,
             u"ProgramtypeType"_s},
        };
        for (const TLookup& l : lookups) {
            l.Box->SetDataSource(&dm->DataSource);
            l.Box->SetDataField(l.Field);
            l.Box->SetListSource(l.List, l.Key, l.Text);
        }
    }

    for (QToolButton* b : {ui->SpeedButton2, ui->SpeedButton1})
        connect(b, &QToolButton::clicked, this, [this] { SaveRecord(); });
    for (QToolButton* b : {ui->SpeedButton4, ui->SpeedButton3})
        connect(b, &QToolButton::clicked, this, [this] { CloseWindow(); });
}

TEditRecordForm::~TEditRecordForm() = default;

void TEditRecordForm::SaveRecord()
{
    RunCommand(this, [this] {
        if (FDataModule)
            RecordOps::SaveIfModified(FDataModule->BookTable);
    });
}

void TEditRecordForm::CloseWindow() { close(); }

void TEditRecordForm::done(int result)
{
    // What the boxes still hold becomes the record's pending value as the window
    // closes, so that the main window shows what the record will be saved with. The
    // record is neither posted nor cancelled. A value the record refuses keeps the
    // window open, with the error shown, rather than vanish with it.
    if (FDataModule && FDataModule->BookTable.Active() &&
        !RunCommand(this, [this] { FDataModule->BookTable.UpdateRecord(); }))
        return;
    QDialog::done(result);
}
