#pragma once
// TTresmolApp: the application object. It owns the program's windows and its data
// module, creates them once at start-up in a fixed order and destroys them at exit.

#include <QString>

#include <functional>

class TAboutForm;
class TAddManufacturerForm;
class TCategoryForm;
class TColumnForm;
class TDataModule1;
class TEditRecordForm;
class TForm1;
class TImgViewForm;
class TInfoForm;
class TMasterForm;
class TPlatformForm;
class TProgramTypeForm;
class TTypeDiscForm;

// The catalogue the program starts on, and what the status bar says about the choice.
struct TStartCatalogue {
    QString ConnectionString;
    // Set when the catalogue worked in last is gone and the user's catalogue opens in
    // its place.
    QString Note;
};

// The catalogue named by ARGUMENT; without one, Tresmol.mdb in the working directory;
// else the catalogue worked in last, as the settings file SETTINGS names it; else,
// when there is none or it is gone, the user's own catalogue, made on the first start.
// A failure to make it goes to REPORT.
TStartCatalogue ChooseStartCatalogue(const QString& argument, const QString& settings,
                                     const std::function<void(const QString&)>& report);

class TTresmolApp {
public:
    // Creates, all hidden and in this order: the main window, the data module (which
    // opens the connection and the five reference cursors, each failure shown in the
    // standard error box), the record editor, the disc-maker and disc-type list editors,
    // the About window, the column chooser, the wizard, the platform, category and
    // program-type list editors, the file information window and the picture viewer.
    // The main window then gets the windows it opens. A catalogue in its old Jet form
    // is not reported as unreadable: the main window offers to convert it on connecting.
    explicit TTresmolApp(const QString& connectionString);
    // Destroys every window, then the data module (which closes the connection).
    ~TTresmolApp();
    TTresmolApp(const TTresmolApp&) = delete;
    TTresmolApp& operator=(const TTresmolApp&) = delete;

    // In their start-up order; set by the constructor, never changed afterwards. The
    // secondary windows are the main window's children.
    TForm1* Form1 = nullptr;
    TDataModule1* DataModule1 = nullptr;
    TEditRecordForm* EditRecordForm = nullptr;
    TAddManufacturerForm* AddManufacturerForm = nullptr;
    TTypeDiscForm* TypeDiscForm = nullptr;
    TAboutForm* AboutForm = nullptr;
    TColumnForm* ColumnForm = nullptr;
    TMasterForm* MasterForm = nullptr;
    TPlatformForm* PlatformForm = nullptr;
    TCategoryForm* CategoryForm = nullptr;
    TProgramTypeForm* ProgramTypeForm = nullptr;
    TInfoForm* InfoForm = nullptr;
    TImgViewForm* ImgViewForm = nullptr;
};
