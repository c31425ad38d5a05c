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

namespace Startup {

void CreateForms(const QString& connectionString)
{
    Form1 = new TForm1;
    DataModule1 = new TDataModule1([](const QString& message) { ShowErrorBox(message); },
                                   connectionString);
    Form1->BindDataModule(DataModule1);
    EditRecordForm = new TEditRecordForm(DataModule1, Form1);
    AddManufacturerForm = new TAddManufacturerForm(Form1);
    TypeDiscForm = new TTypeDiscForm(Form1);
    AboutForm = new TAboutForm(Form1);
    ColumnForm = new TColumnForm(Form1);
    MasterForm = new TMasterForm(Form1);
    PlatformForm = new TPlatformForm(Form1);
    CategoryForm = new TCategoryForm(Form1);
    ProgramTypeForm = new TProgramTypeForm(Form1);
    InfoForm = new TInfoForm(Form1);
    ImgViewForm = new TImgViewForm(Form1);
}

void DestroyForms()
{
    // The secondary windows are the main window's children and go with it.
    delete Form1;
    Form1 = nullptr;
    EditRecordForm = nullptr;
    AddManufacturerForm = nullptr;
    TypeDiscForm = nullptr;
    AboutForm = nullptr;
    ColumnForm = nullptr;
    MasterForm = nullptr;
    PlatformForm = nullptr;
    CategoryForm = nullptr;
    ProgramTypeForm = nullptr;
    InfoForm = nullptr;
    ImgViewForm = nullptr;
    delete DataModule1;
    DataModule1 = nullptr;
}

} // namespace Startup
