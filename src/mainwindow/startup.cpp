#include "mainwindow/startup.h"

#include "extras/aboutform.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "jetimport/jetimport.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/columnform.h"
#include "mainwindow/imgviewform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/recentbases.h"
#include "platform/command.h"
#include "platform/errors.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/startcatalogue.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

TStartCatalogue ChooseStartCatalogue(const QString& argument, const QString& settings,
                                     const std::function<void(const QString&)>& report)
{
    TStartCatalogue start;
    if (argument.isEmpty()) {
        StartCatalogue::TChoice plain;
        try {
            plain = StartCatalogue::Choose(QString());
        } catch (const EError&) {
            // Only a name given on the command line can be refused.
        }
        if (plain.Source != StartCatalogue::TSource::WorkingDirectory) {
            const QString last = RecentBases::Last(settings);
            // A broken symbolic link counts as gone: nothing is made through it.
            if (!last.isEmpty() && QFileInfo::exists(last)) {
                start.ConnectionString = StartCatalogue::Prepare(last, report);
                return start;
            }
            if (!last.isEmpty())
                start.Note = u"Последняя база не найдена: %1. Открыта база пользователя."_s.arg(
                    QDir::toNativeSeparators(last));
        }
    }
    start.ConnectionString = StartCatalogue::Prepare(argument, report);
    return start;
}

TTresmolApp::TTresmolApp(const QString& connectionString)
{
    Form1 = new TForm1;
    // A catalogue from Windows in its Jet form is not opened: the window offers to
    // convert it when it connects, so the failure to open it as a catalogue goes unsaid.
    QString jet = ConnectionStringValue(connectionString, u"Data Source"_s);
    if (!jet.isEmpty())
        jet = QDir::current().absoluteFilePath(jet);
    if (jet.isEmpty() || !JetImport::IsJetFile(jet))
        jet.clear();
    DataModule1 = new TDataModule1(
        [quiet = !jet.isEmpty()](const QString& message) {
            if (!quiet)
                ShowErrorBox(message);
        },
        connectionString);
    Form1->BindDataModule(DataModule1);
    EditRecordForm = new TEditRecordForm(DataModule1, Form1);
    AddManufacturerForm = new TAddManufacturerForm(DataModule1, Form1);
    TypeDiscForm = new TTypeDiscForm(DataModule1, Form1);
    AboutForm = new TAboutForm(Form1);
    ColumnForm = new TColumnForm(Form1);
    MasterForm = new TMasterForm(Form1);
    PlatformForm = new TPlatformForm(DataModule1, Form1);
    CategoryForm = new TCategoryForm(DataModule1, Form1);
    ProgramTypeForm = new TProgramTypeForm(DataModule1, Form1);
    InfoForm = new TInfoForm(Form1, &DataModule1->DataSource);
    ImgViewForm = new TImgViewForm(Form1);
    Form1->SetWindows({EditRecordForm, AddManufacturerForm, TypeDiscForm, AboutForm, ColumnForm,
                       MasterForm, PlatformForm, CategoryForm, ProgramTypeForm, InfoForm,
                       ImgViewForm});
}

TTresmolApp::~TTresmolApp()
{
    // The secondary windows are the main window's children and go with it.
    delete Form1;
    delete DataModule1;
}
