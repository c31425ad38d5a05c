#include "mainwindow/startup.h"

#include "extras/aboutform.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/columnform.h"
#include "mainwindow/imgviewform.h"
#include "mainwindow/mainform.h"
#include "platform/command.h"
#include "store/datamodule.h"

TTresmolApp::TTresmolApp(const QString& connectionString)
{
    Form1 = new TForm1;
    DataModule1 =
        new TDataModule1([](const QString& message) { ShowErrorBox(message); }, connectionString);
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
