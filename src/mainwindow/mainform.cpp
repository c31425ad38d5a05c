#include "mainwindow/mainform.h"

#include "dbaware/dbgrid.h"
#include "dbaware/dbgridmodel.h"
#include "export/spreadsheetexport.h"
#include "extras/aboutform.h"
#include "extras/apitext.h"
#include "extras/gpanel.h"
#include "extras/weblink.h"
#include "harvest/harvestfile.h"
#include "jetimport/jetimport.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/barlayout.h"
#include "mainwindow/columnform.h"
#include "mainwindow/imgviewform.h"
#include "mainwindow/recentbases.h"
#include "mainwindow/updown.h"
#include "pictures/image.h"
#include "pictures/picture.h"
#include "platform/apppaths.h"
#include "platform/command.h"
#include "platform/dialogs.h"
#include "platform/fitwindow.h"
#include "platform/icons.h"
#include "platform/inifile.h"
#include "platform/shell.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/picturefolder.h"
#include "store/catalogue/recordops.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"

#include "ui_mainform.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

#include <climits>

#include <malloc.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The texts of the window that are not in its form file.
const QString ConnectedText = u"Подключены к "_s;
const QString ReadOnlyText = u" (только чтение)"_s;
const QString ReadOnlyTitle = u"%1 — только чтение"_s;
const QString RecentGoneText = u"Файл базы не найден:\n%1\n\nОн убран из списка недавних баз."_s;
const QString DisconnectedText = u"Отключено"_s;
const QString PositionText = u"Запись %1 из %2"_s;
const QString DeleteQuestion = u"Вы действительно хотите удалить "_s;
const QString DeleteCaption = u"Внимание!!!"_s;
const QString ClearQuestion = u"Вы действительно хотите удалить все записи?"_s;
const QString NoFileText = u"У текущей записи не указан файл"_s;
const QString CreateBaseCaption = u"Создать базу"_s;
const QString OpenBaseCaption = u"Открыть базу"_s;
const QString CatalogueFilter = u"Базы Tresmol (*.mdb);;Все файлы (*)"_s;
const QString CatalogueSuffix = u"mdb"_s;
const QString ExportedText = u"Записан файл %1"_s;
const QString JetQuestion = u"Это каталог в формате Jet. Преобразовать его в новый каталог?"_s;
const QString ConvertCaption = u"Сохранить преобразованный каталог"_s;
const QString ConvertedText = u"Преобразован каталог %1: записей %2, картинок %3"_s;
const QString PicturesMissingText = u" (не найдено %1)"_s;
const QString NotOpenedText =
    u"Экспорт записан в файл\n%1\nНо ни одно приложение не открыло его: откройте файл сами."_s;

// The image list: the pictures of the actions, by their picture number, as the
// freedesktop names that the icon theme knows them by. Every command has a picture
// of its own.
QIcon ImageListIcon(int index)
{
    static const char16_t* const names[] = {
        u"document-save",           // 0 save
        u"system-search",           // 1 scan
        u"network-wired",           // 2 connect
        u"network-offline",         // 3 disconnect
        u"list-add",                // 4 add
        nullptr,                    // 5
        u"view-refresh",            // 6 refresh
        u"accessories-text-editor", // 7 edit
        nullptr,                    // 8
        nullptr,                    // 9
        u"document-open",           // 10 file information
        u"go-top",                  // 11 first
        u"go-down",                 // 12 next
        u"go-up",                   // 13 prior
        u"go-bottom",               // 14 last
        u"list-remove",             // 15 delete
        u"edit-delete",             // 16 clear
        u"x-office-spreadsheet",    // 17 export
    };
    if (index < 0 || index >= int(std::size(names)) || !names[index])
        return QIcon();
    return Icons::Themed(QString::fromUtf16(names[index]));
}

// A menu item bound to an action: it runs the action and follows its enabled state,
// keeping its own caption.
void BindItemToAction(QAction* item, QAction* action)
{
    item->setEnabled(action->isEnabled());
    QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, item,
                     [item, action] { item->setEnabled(action->isEnabled()); });
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<::Ui::TForm1>())
{
    ui->setupUi(this);
    FTitle = windowTitle();
    FSettingsFileName = AppPaths::SettingsFile();
    // Chosen once: every move looks a picture up in it.
    FPictureFolder = AppPaths::PictureFolder();
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setWindowIcon(ImageListIcon(1));
    ui->Splitter1->setSizes({545, 382});
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter2->setStretchFactor(0, 0);
    ui->Splitter2->setStretchFactor(1, 1);
    ui->DBGrid1->setMinimumWidth(100);
    ui->DBGrid1->resize(545, ui->DBGrid1->height());

    // The filter bar: silver to white behind its caption and the search box. The panel
    // paints the gradient itself; the controls on it keep the window's font.
    ui->GPanel1->SetBevelOuter(TPanelBevel::bvLowered);
    ui->GPanel1->SetColor_1(clSilver);
    ui->GPanel1->SetCaption(u"GPanel1"_s);
    QFont filterCaption = ui->Label16->font();
    filterCaption.setBold(true);
    ui->Label16->setFont(filterCaption);
    QPalette blueText = ui->Label16->palette();
    blueText.setColor(QPalette::WindowText, Qt::blue);
    ui->Label16->setPalette(blueText);
    // The logo: red on its black shadow, over the information box.
    TAPIText* logo = ui->APIText1;
    logo->SetText(u"Tresmol v 1.2"_s);
    logo->SetFontName(u"Arial"_s);
    logo->SetFontHeight(24);
    logo->SetFontWidth(0);
    logo->SetFontWeight(TFontWeight::Heavy);
    logo->SetItalic(true);
    logo->SetUnderline(true);
    logo->SetStrikeOut(false);
    logo->SetEscapement(0);
    logo->SetTextXPos(0);
    logo->SetTextYPos(0);
    logo->SetShadowX(2);
    logo->SetShadowY(2);
    logo->SetTransp(true);
    logo->SetColor(clSkyBlue);
    logo->SetFontColor(clRed);
    logo->SetShadowColor(clBlack);
    // The home-page link, bold in Tahoma at 8 points where the face exists.
    QFont link(u"Tahoma"_s);
    link.setPointSize(8);
    link.setBold(true);
    ui->Label7->setFont(link);
    ui->Label7->SetAddress(HomePageUrl());
    connect(ui->Label7, &TWebLink::Click, this, [this] { OpenHomePage(); });
    connect(ui->Label7, &TWebLink::MouseMove, this, [this] { HighlightHomePageLink(); });
    // The information box's values: read-only texts on the tooltip colour.
    for (TDBText* t : ui->GroupBox1->findChildren<TDBText*>()) {
        t->setAutoFillBackground(true);
        t->setBackgroundRole(QPalette::ToolTipBase);
        t->setForegroundRole(QPalette::ToolTipText);
        t->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    // Two-line captions keep both lines.
    for (QLabel* l : ui->GroupBox1->findChildren<QLabel*>())
        if (l->text().contains(u'\n'))
            l->setMinimumHeight(2 * l->fontMetrics().lineSpacing());
    ui->GroupBox1->setMinimumHeight(ui->GroupBox1->minimumSizeHint().height());
    ui->GroupBox1Layout->setColumnStretch(1, 1);
    ui->GroupBox1Layout->setColumnStretch(3, 1);
    // The information box is 224 pixels high at the designed font; it grows with the
    // font so that its two-line captions stay readable.
    ui->Splitter2->setSizes({std::max(224, ui->GroupBox1->minimumHeight()), 300});
    ui->PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    ui->PageControl1->tabBar()->setAttribute(Qt::WA_Hover);
    ui->PageControl1->setCurrentIndex(0);

    SetupActions();
    SetupStatusBar();
    SetupPopupMenu();
    SetupRegistrationPage();
    FitDetails();

    // The save button comes back when the mouse passes over the details panel while
    // the record holds a change.
    ui->Panel4->setMouseTracking(true);
    ui->Panel4->installEventFilter(this);

    connect(ui->Edit1, &QLineEdit::textChanged, this, [this] { SearchAsTyped(); });
    connect(ui->N3, &QAction::triggered, this, &QWidget::close);
    connect(ui->CloseSpeedButton1, &QToolButton::clicked, this, &QWidget::close);
    using TWindowOf = QWidget* (*)(const TWindows&);
    const std::pair<QAction*, TWindowOf> menuWindows[] = {
        {ui->N11, [](const TWindows& w) -> QWidget* { return w.AboutForm; }},
        {ui->N12, [](const TWindows& w) -> QWidget* { return w.ColumnForm; }},
        {ui->N13, [](const TWindows& w) -> QWidget* { return w.TypeDiscForm; }},
        {ui->ManufN12, [](const TWindows& w) -> QWidget* { return w.AddManufacturerForm; }},
        {ui->N28, [](const TWindows& w) -> QWidget* { return w.ProgramTypeForm; }},
        {ui->PlatformN15, [](const TWindows& w) -> QWidget* { return w.PlatformForm; }},
        {ui->N15, [](const TWindows& w) -> QWidget* { return w.CategoryForm; }},
    };
    for (const auto& [item, window] : menuWindows)
        connect(item, &QAction::triggered, this,
                [this, w = window] { ShowModalWindow(w(FWindows)); });
    // The bottom bar's buttons open the same list editors as their menu items.
    const std::pair<QToolButton*, QAction*> barItems[] = {
        {ui->TypeDSpeedButton2, ui->N13}, {ui->ManufSpeedButton4, ui->ManufN12},
        {ui->TypePSpeedButton5, ui->N28}, {ui->PlatfSpeedButton6, ui->PlatformN15},
        {ui->CategSpeedButton8, ui->N15},
    };
    for (const auto& [button, item] : barItems)
        connect(button, &QToolButton::clicked, item, &QAction::trigger);
    // Their pictures, shared with the menu items of the same commands.
    const std::pair<QAction*, const char16_t*> listPictures[] = {
        {ui->N13, u"media-optical"},
        {ui->ManufN12, u"x-office-address-book"},
        {ui->N28, u"applications-system"},
        {ui->PlatformN15, u"computer"},
        {ui->N15, u"folder"},
    };
    for (const auto& [item, name] : listPictures)
        item->setIcon(Icons::Themed(QString::fromUtf16(name)));
    for (const auto& [button, item] : barItems)
        button->setIcon(item->icon());
    ui->CloseSpeedButton1->setIcon(ui->N3->icon());
    // The bar keeps the designed 170-pixel steps while it is wide enough; narrower,
    // its buttons go on to further rows rather than off its edge.
    auto* bar = new TBarLayout(ui->Panel2, 170);
    bar->setContentsMargins(0, 0, 0, 0);
    for (QToolButton* button :
         {ui->TypeDSpeedButton2, ui->ManufSpeedButton4, ui->TypePSpeedButton5,
          ui->PlatfSpeedButton6, ui->CategSpeedButton8, ui->CloseSpeedButton1})
        bar->AddButton(button, button->size());
    ui->Panel2->setMinimumHeight(0);
    ui->Panel2->setMaximumHeight(QWIDGETSIZE_MAX);
    // The bar is as high as its rows; the grid and the details take the rest.
    if (auto* central = qobject_cast<QBoxLayout*>(ui->centralwidget->layout()))
        central->setStretchFactor(ui->Splitter1, 1);

    // The enabling rule runs whenever the program is about to wait for input.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (isVisible())
                UpdateActions();
        });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* w) { FocusWindowChanged(w); });
}

TForm1::~TForm1()
{
    // The grid lets go of its data as the window's children go, after this window's
    // own parts: it must find nobody here to tell.
    ui->DBGrid1->GridModel()->disconnect(this);
    ui->DBGrid1->horizontalHeader()->disconnect(this);
    if (FDataModule) {
        FDataModule->BookTable.AfterScroll = nullptr;
        FDataModule->BookTable.AfterPost = nullptr;
        FDataModule->BookTable.AfterOpen = nullptr;
        FDataModule->BookTable.BeforeClose = nullptr;
    }
}

void TForm1::SetupActions()
{
    struct TActionDef {
        QAction* Action;
        int Picture;
        void (TForm1::*Handler)();
    };
    const TActionDef actions[] = {
        {ui->ActScan, 1, &TForm1::ActScanExecute},
        {ui->ActConnect, 2, &TForm1::ActConnectExecute},
        {ui->ActDisconnect, 3, &TForm1::ActDisconnectExecute},
        {ui->ActAdd, 4, &TForm1::ActAddExecute},
        {ui->ActSave, 0, &TForm1::ActSaveExecute},
        {ui->ActRed, 7, &TForm1::ActRedExecute},
        {ui->ActDel, 15, &TForm1::ActDelExecute},
        {ui->ActRefl, 6, &TForm1::ActReflExecute},
        {ui->ActNext, 12, &TForm1::ActNextExecute},
        {ui->ActPrior, 13, &TForm1::ActPriorExecute},
        {ui->ActFirst, 11, &TForm1::ActFirstExecute},
        {ui->ActLast, 14, &TForm1::ActLastExecute},
        {ui->ActFileInfo, 10, &TForm1::ActFileInfoExecute},
        {ui->ActClear, 16, &TForm1::ActClearExecute},
        {ui->ActExcel, 17, &TForm1::ActExcelExecute},
        {ui->ActAddImg, -1, &TForm1::ActAddImgExecute},
        {ui->ActDelImg, -1, &TForm1::ActDelImgExecute},
        {ui->ActViewImg, -1, &TForm1::ActViewImgExecute},
    };
    for (const TActionDef& a : actions) {
        if (a.Picture >= 0)
            a.Action->setIcon(ImageListIcon(a.Picture));
        if (a.Handler)
            connect(a.Action, &QAction::triggered, this, [this, h = a.Handler] { (this->*h)(); });
    }
    SetupPictureStrip();

    // Menu items bound to actions.
    BindItemToAction(ui->On1, ui->ActConnect);
    BindItemToAction(ui->Off1, ui->ActDisconnect);
    BindItemToAction(ui->Excel1, ui->ActExcel);
    ui->Excel1->setIcon(ImageListIcon(17));
    ui->N3->setIcon(Icons::Themed(u"application-exit"_s));

    // Menu items with their own handlers.
    connect(ui->CreateBase1, &QAction::triggered, this, [this] { CreateCatalogue(); });
    connect(ui->OpenBase1, &QAction::triggered, this, [this] { OpenCatalogue(); });
    // Read afresh each time the menu opens: another copy of the program may have
    // changed the list meanwhile.
    connect(ui->N1, &QMenu::aboutToShow, this, [this] { FillRecentBases(); });
    FillRecentBases();
    connect(ui->N5, &QAction::triggered, this, [this] { ActAddExecute(); });
    connect(ui->N6, &QAction::triggered, this, [this] { ActDelExecute(); });
    connect(ui->N7, &QAction::triggered, this, [this] { ActRedExecute(); });
    connect(ui->N24, &QAction::triggered, this, [this] { SortByName(); });
    connect(ui->N23, &QAction::triggered, this, [this] { SortByPlatform(); });
    connect(ui->N34, &QAction::triggered, this, [this] { SortByCategory(); });
    connect(ui->N25, &QAction::triggered, this, [this] { SortByType(); });
    connect(ui->N26, &QAction::triggered, this, [this] { SortByMaker(); });
    connect(ui->N27, &QAction::triggered, this, [this] { SortBySize(); });
    // The sort in force is checked in the menu.
    auto* sortGroup = new QActionGroup(this);
    for (QAction* item : SortItems()) {
        item->setCheckable(true);
        sortGroup->addAction(item);
    }

    // The toolbar's buttons by their names, showing the image list's 24-pixel pictures.
    ui->ToolBar1->setIconSize(QSize(24, 24));
    const std::pair<QAction*, const char16_t*> buttons[] = {
        {ui->ActConnect, u"ToolButton1"}, {ui->ActDisconnect, u"ToolButton2"},
        {ui->ActAdd, u"ToolButton6"},     {ui->ActSave, u"SpeedButton3"},
        {ui->ActRed, u"ToolButton4"},     {ui->ActDel, u"ToolButton5"},
        {ui->ActRefl, u"ToolButton7"},    {ui->ActClear, u"ToolButton16"},
        {ui->ActNext, u"ToolButton9"},    {ui->ActPrior, u"ToolButton10"},
        {ui->ActFirst, u"ToolButton11"},  {ui->ActLast, u"ToolButton12"},
        {ui->ActScan, u"ToolButton13"},   {ui->ActFileInfo, u"ToolButton14"},
        {ui->ActExcel, u"ToolButton19"},
    };
    for (const auto& [action, name] : buttons)
        if (QWidget* w = ui->ToolBar1->widgetForAction(action)) {
            w->setObjectName(QString::fromUtf16(name));
            // 37 by 30 as designed, or what the picture needs with the style's margins.
            w->setFixedSize(QSize(37, 30).expandedTo(w->sizeHint()));
        }
    // 33 pixels high as designed, or what its buttons need.
    ui->ToolBar1->setFixedHeight(std::max(33, ui->ToolBar1->sizeHint().height()));
    ui->ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
}

void TForm1::FitDetails()
{
    // The designed sizes assume a smaller font than this platform's: every caption,
    // box and button of the details side grows to what its text needs, and the side
    // is never made smaller than that. Where the window leaves less room, the side
    // scrolls rather than cut anything.
    FitWindow::GrowControls(ui->Panel4);
    ui->UpDown1->setMinimumSize(ui->UpDown1->sizeHint());
    ui->GPanel1->setFixedHeight(std::max(40, ui->GPanel1->layout()->sizeHint().height()));
    // As high as its rows need: its layout's least size, which its own hint leaves out.
    ui->GroupBox1->layout()->activate();
    ui->GroupBox1->setMinimumHeight(std::max(ui->GroupBox1->minimumSizeHint().height(),
                                             ui->GroupBox1->layout()->totalMinimumSize().height()));
    ui->Splitter2->setSizes({std::max(224, ui->GroupBox1->minimumHeight()), 300});
    ui->Panel4->setMinimumSize(ui->Panel4->sizeHint());
}

void TForm1::SetupStatusBar()
{
    // The designed widths are the least each panel takes; a panel grows with its text
    // at the current font, and the last one, which tells what a command did, takes
    // the rest of the bar.
    const int widths[] = {150, 150, 50};
    for (int i = 0; i < 3; ++i) {
        FPanels[i] = new QLabel(ui->StatusBar1);
        FPanels[i]->setObjectName(u"StatusPanel%1"_s.arg(i));
        FPanels[i]->setMinimumWidth(widths[i]);
        FPanels[i]->setFrameShape(QFrame::StyledPanel);
        FPanels[i]->setFrameShadow(QFrame::Sunken);
        ui->StatusBar1->addWidget(FPanels[i], i == 2 ? 1 : 0);
    }
    FProgressBar = new QProgressBar(ui->StatusBar1);
    FProgressBar->setObjectName(u"ProgressBar"_s);
    FProgressBar->setFixedSize(146, 16);
    FProgressBar->setTextVisible(false);
    ui->StatusBar1->addWidget(FProgressBar);
    FProgressBar->hide();
    ui->StatusBar1->setSizeGripEnabled(true);
}

void TForm1::SetupPopupMenu()
{
    FPopupMenu = new QMenu(this);
    FPopupMenu->setObjectName(u"PopupMenu"_s);
    FPopupMenu->addAction(ui->N18);
    FPopupMenu->addAction(ui->N19);
    FPopupMenu->addAction(ui->N16);
    FPopupMenu->addAction(ui->N33);
    FPopupMenu->addAction(ui->N31);
    FPopupMenu->addAction(ui->N14);
    FPopupMenu->addAction(ui->N29);
    FPopupMenu->addSeparator()->setObjectName(u"N21"_s);
    FPopupMenu->addAction(ui->N20);
    ui->N33->setIcon(ui->ActViewImg->icon());
    ui->N14->setIcon(ImageListIcon(1));
    ui->N29->setIcon(Icons::Themed(u"dialog-information"_s));
    ui->N20->setIcon(ImageListIcon(0));
    BindItemToAction(ui->N33, ui->ActViewImg);
    // The shortcuts act while the grid has the focus.
    ui->DBGrid1->addActions({ui->N18, ui->N19, ui->N20});
    connect(ui->N18, &QAction::triggered, this, [this] { ActAddExecute(); });
    connect(ui->N19, &QAction::triggered, this, [this] { ActDelExecute(); });
    connect(ui->N16, &QAction::triggered, this, [this] { ActRedExecute(); });
    connect(ui->N14, &QAction::triggered, this, [this] { ScanMedium(); });
    connect(ui->N29, &QAction::triggered, this, [this] { ShowFileInformation(); });
    connect(ui->N20, &QAction::triggered, this, [this] { SaveRecord(); });
    connect(ui->DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        FPopupMenu->popup(ui->DBGrid1->viewport()->mapToGlobal(at));
    });
}

void TForm1::SetupRegistrationPage()
{
    FRegistrationRows = {
        {ui->EnableButtonCheckBox0, ui->NameDBEdit, ui->RegistrationnameSpeedButton},
        {ui->EnableButtonCheckBox, ui->RegistryDBEdit, ui->RegistrykeySpeedButton},
        {ui->EnableButtonCheckBox1, ui->SerialNumberDBEdit, ui->SerialnumberSpeedButton},
        {ui->EnableButtonCheckBox2, ui->ActivationCodeDBEdit, ui->ActivationcodeSpeedButton},
        {ui->EnableButtonCheckBox3, ui->ArticleSerialNumberDBEdit,
         ui->ArticleserialnumberSpeedButton},
        {ui->EnableButtonCheckBox4, ui->InstallationIDDBEdit, ui->InstallationIDSpeedButton},
        {ui->DBCheckBox2, ui->RusificatorDBEdit, ui->RusificatorSpeedButton},
        {ui->DBCheckBox3, ui->CrackDBEdit, ui->CrackSpeedButton},
    };
    for (int i = 0; i < FRegistrationRows.size(); ++i) {
        const TRegistrationRow& row = FRegistrationRows[i];
        QFont bold = row.Button->font();
        bold.setBold(true);
        row.Button->setFont(bold);
        // Blue while it can be pressed; greyed by the style's own colour when not, so
        // that a locked row's button looks locked.
        QPalette blue = row.Button->palette();
        blue.setColor(QPalette::Active, QPalette::ButtonText, Qt::blue);
        blue.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::blue);
        row.Button->setPalette(blue);
        // The state changes by a click and whenever another record is shown.
        connect(row.CheckBox, &QCheckBox::stateChanged, this,
                [this, i] { EnableRegistrationRow(i); });
        connect(row.Button, &QToolButton::clicked, this, [this, i] { ChooseRegistrationFile(i); });
        EnableRegistrationRow(i);
    }

    connect(ui->UpDown1, &TUpDown::Click, this, [this](bool up) { StepRating(up); });
    connect(ui->N31, &QAction::triggered, this, [this] { StartAnyFile(); });
}

void TForm1::BindDataModule(TDataModule1* dm)
{
    FDataModule = dm;
    TDataSource* source = &dm->DataSource;
    ui->DBGrid1->SetDataSource(source);
    const std::pair<TDBText*, const char16_t*> texts[] = {
        {ui->DBText1, u"Номер"},
        {ui->DBText2, u"ProductName"},
        {ui->DBText3, u"CompanyName"},
        {ui->DBText4, u"Programtype"},
        {ui->DBText5, u"Platform"},
        {ui->DBText6, u"FileVersion"},
        {ui->DBText7, u"InternalName"},
        {ui->DBText8, u"LegalCopyright"},
        {ui->DBText9, u"Year"},
        {ui->DBText10, u"TypeDisc"},
        {ui->DBText11, u"Comments"},
        {ui->DBText12, u"Language"},
        {ui->DBText13, u"Category"},
        {ui->DBText14, u"OriginalFilename"},
        {ui->DBText15, u"LegalTrademarks"},
        {ui->DBText16, u"LangID"},
        {ui->DBText17, u"CodePage"},
        {ui->DBText18, u"ExtractFileName"},
    };
    for (const auto& [text, field] : texts) {
        text->SetDataSource(source);
        text->SetDataField(QString::fromUtf16(field));
    }
    const std::pair<TDBEdit*, const char16_t*> edits[] = {
        {ui->DBEdit6, u"ProductVersion"}, {ui->DBEdit2, u"FileVersion"}, {ui->DBEdit3, u"FileName"},
        {ui->DBEdit4, u"PlacingProgram"}, {ui->DBEdit5, u"Rating"},      {ui->DBEdit1, u"Images"},
    };
    for (const auto& [edit, field] : edits) {
        edit->SetDataSource(source);
        edit->SetDataField(QString::fromUtf16(field));
    }
    ui->DBMemo1->SetDataSource(source);
    ui->DBMemo1->SetDataField(u"FileDescription"_s);
    ui->DBCheckBox1->SetDataSource(source);
    ui->DBCheckBox1->SetDataField(u"Installed"_s);
    const char16_t* const registrationColumns[][2] = {
        {u"Ch0", u"Registrationname"},     {u"Ch1", u"Registrykey"},
        {u"Ch2", u"Serialnumber"},         {u"Ch3", u"Activationcode"},
        {u"Ch4", u"Article serialnumber"}, {u"Ch5", u"InstallationID"},
        {u"Ch6", u"Rusificator"},          {u"Ch7", u"Crack"},
    };
    for (int i = 0; i < FRegistrationRows.size(); ++i) {
        FRegistrationRows[i].CheckBox->SetDataSource(source);
        FRegistrationRows[i].CheckBox->SetDataField(QString::fromUtf16(registrationColumns[i][0]));
        FRegistrationRows[i].Edit->SetDataSource(source);
        FRegistrationRows[i].Edit->SetDataField(QString::fromUtf16(registrationColumns[i][1]));
    }

    FRecordWatch = std::make_unique<TRecordWatch>([this] { BookTableRecordModified(); });
    FRecordWatch->SetDataSource(source);
    // The sort indicator follows the grid's columns as they are rebuilt.
    const TDBGridModel* model = ui->DBGrid1->GridModel();
    connect(model, &QAbstractItemModel::modelReset, this, [this] { ShowSort(); });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { ShowSort(); });
    connect(model, &QAbstractItemModel::columnsInserted, this, [this] { ShowSort(); });
    connect(model, &QAbstractItemModel::columnsRemoved, this, [this] { ShowSort(); });
    // A click on the title of a column that shows one of the sort keys sorts by it, as
    // its menu item does; other columns sort nothing. Either way the indicator, which
    // the header turns over by itself, goes back to the sort in force.
    connect(ui->DBGrid1->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this] { ShowSort(); });
    connect(ui->DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { HeaderClick(column); });

    TDataSet& table = dm->BookTable;
    table.AfterScroll = [this](TDataSet& ds) { BookTableAfterScroll(ds); };
    table.AfterPost = [this](TDataSet& ds) { BookTableAfterPost(ds); };
    table.AfterOpen = [this](TDataSet& ds) { BookTableAfterOpen(ds); };
    table.BeforeClose = [this](TDataSet& ds) { BookTableBeforeClose(ds); };
    if (const TField* installed = table.FindField(u"Installed"_s))
        FInstalledField = installed->Index();
    ui->DBGrid1->SetOnDrawColumnCell(
        [this](int row, int column, bool selected, TCellColors& colors) {
            ColourGridCell(row, column, selected, colors);
        });
}

void TForm1::SetWindows(const TWindows& windows)
{
    FWindows = windows;
    if (FWindows.ColumnForm && FDataModule)
        FWindows.ColumnForm->Bind(&FDataModule->BookTable, ui->DBGrid1);
}

void TForm1::ShowModalWindow(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->exec();
}

void TForm1::CatalogueCommand(const std::function<void()>& body)
{
    if (FClearing)
        return; // the catalogue is being cleared; nothing else touches it meanwhile
    RunCommand(this, [&] {
        if (!FDataModule)
            throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
        body();
    });
}

// ---------------------------------------------------------------- connection

void TForm1::ActConnectExecute()
{
    // The catalogue named at start-up may be one from Windows in its Jet form.
    if (FDataModule && !FDataModule->ADOConnection.Connected()) {
        const QString source = FDataModule->ADOConnection.DataSourcePath();
        if (!source.isEmpty() && JetImport::IsJetFile(source)) {
            ConvertJetCatalogue(source);
            return;
        }
    }
    const bool wasOpen = FDataModule && FDataModule->BookTable.Active();
    CatalogueCommand([this] {
        TDataModule1& dm = *FDataModule;
        if (!dm.ADOConnection.Connected())
            dm.ADOConnection.Open();
        dm.BookTable.Open();
        for (TDataSet* ref : dm.ReferenceTables())
            if (!ref->Active())
                ref->Open();
        ShowConnection();
    });
    if (!wasOpen && FDataModule && FDataModule->BookTable.Active()) {
        // The next start opens the catalogue worked in last. The list is a convenience:
        // a settings file that cannot be written keeps the catalogue from nothing.
        try {
            RecentBases::Remember(FSettingsFileName, FDataModule->ADOConnection.DataSourcePath());
        } catch (const EError&) {
        }
    }
    UpdateActions();
}

void TForm1::ShowConnection()
{
    const TADOConnection& connection = FDataModule->ADOConnection;
    // Said as the catalogue opens rather than first by a save that fails: a disc, a
    // folder or a file the user may not write, or a connection asked to only read.
    const bool readOnly =
        connection.Connected() && (connection.ReadOnlyMedia() || connection.ReadOnlyMode() ||
                                   !QFileInfo(connection.DataSourcePath()).isWritable());
    setWindowTitle(readOnly ? ReadOnlyTitle.arg(FTitle) : FTitle);
    if (const std::optional<QString> name = connection.DataSourceName())
        FPanels[0]->setText(ConnectedText + *name + (readOnly ? ReadOnlyText : QString()));
}

void TForm1::ActDisconnectExecute()
{
    CatalogueCommand([this] {
        TDataModule1& dm = *FDataModule;
        // A change the record still holds is saved, as leaving the row would; if that
        // fails the catalogue stays connected and the change stays on screen.
        if (dm.BookTable.Active())
            dm.BookTable.CheckBrowseMode();
        dm.ADOConnection.Close();
        dm.BookTable.Close();
        for (TDataSet* ref : dm.ReferenceTables())
            ref->Close();
        // A large catalogue leaves the heap full of holes that the allocator keeps for
        // reuse; a window left open for hours on a small catalogue should not hold them.
        malloc_trim(0);
        FPanels[0]->setText(DisconnectedText);
        setWindowTitle(FTitle);
    });
    UpdateActions();
}

void TForm1::CreateCatalogue()
{
    CatalogueCommand([this] {
        QString path = Dialogs().SaveFileName(this, CreateBaseCaption, CatalogueFilter);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += u'.' + CatalogueSuffix;
        // The change goes in before anything is made, so that a post that fails leaves
        // no new file behind.
        if (FDataModule->BookTable.Active())
            FDataModule->BookTable.CheckBrowseMode();
        Catalogue::CreateNew(path);
        SwitchCatalogue(path);
    });
}

void TForm1::OpenCatalogue()
{
    CatalogueCommand([this] {
        const QString path = Dialogs().OpenFileName(this, OpenBaseCaption, CatalogueFilter);
        if (!path.isEmpty())
            SwitchCatalogue(path);
    });
}

void TForm1::SwitchCatalogue(const QString& path)
{
    // A catalogue from Windows comes in its Jet form: it is converted, never opened.
    if (JetImport::IsJetFile(path)) {
        ConvertJetCatalogue(path);
        return;
    }
    TDataModule1& dm = *FDataModule;
    const QString next = Catalogue::ConnectionStringFor(path);
    const QString previous = dm.ADOConnection.ConnectionString();
    const bool wasConnected = dm.BookTable.Active();
    ActDisconnectExecute();
    if (dm.ADOConnection.Connected())
        return; // the pending change could not be posted; its error has been shown
    dm.ADOConnection.SetConnectionString(next);
    // The position, the outcome of the last command and the picture belong to the
    // catalogue left behind.
    FPanels[1]->clear();
    ShowOutcome(QString());
    ActConnectExecute();
    // An empty catalogue runs no after-scroll step that would replace the picture.
    ShowRecordImage();
    if (dm.BookTable.Active())
        return;
    // The chosen file is no catalogue (the connect routine said why): the previous one
    // comes back, connected when it was.
    RunCommand(this, [&] {
        dm.ADOConnection.Close();
        dm.ADOConnection.SetConnectionString(previous);
    });
    if (wasConnected)
        ActConnectExecute();
}

void TForm1::ConvertJetCatalogue(const QString& path)
{
    CatalogueCommand([&] {
        if (Dialogs().MessageBox(this, JetQuestion, ApplicationTitle(), TMsgButtons::mbYesNo,
                                 TMsgIcon::miQuestion) != TMsgResult::mrYes)
            return;
        QString target = Dialogs().SaveFileName(this, ConvertCaption, CatalogueFilter,
                                                JetImport::ProposedName(path));
        if (target.isEmpty())
            return;
        if (QFileInfo(target).suffix().isEmpty())
            target += u'.' + CatalogueSuffix;
        // The change goes in before anything is made, as for a new catalogue.
        if (FDataModule->BookTable.Active())
            FDataModule->BookTable.CheckBrowseMode();
        FExporting = true;
        const auto end = qScopeGuard([this] {
            FProgressBar->hide();
            FExporting = false;
        });
        QElapsedTimer clock;
        clock.start();
        JetImport::TOptions options;
        options.PictureFolder = PictureFolder();
        options.Progress = [&](qint64 done, qint64 total) {
            // A small catalogue comes across before a bar would be seen.
            if (clock.elapsed() < 300)
                return;
            FProgressBar->setMaximum(1000);
            FProgressBar->setValue(total > 0 ? int(done * 1000 / total) : 0);
            if (!FProgressBar->isVisible())
                FProgressBar->show();
            // The window keeps painting; the user's input waits for the end.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        const JetImport::TSummary summary = JetImport::Convert(path, target, options);
        FProgressBar->hide();
        SwitchCatalogue(target);
        QString outcome = ConvertedText.arg(QDir::toNativeSeparators(path))
                              .arg(summary.Tables.value(0).Rows)
                              .arg(summary.PicturesCopied);
        if (summary.PicturesMissing > 0)
            outcome += PicturesMissingText.arg(summary.PicturesMissing);
        ShowOutcome(outcome);
    });
    if (FCloseRequested)
        close();
}

void TForm1::OpenRecentBase(const QString& path)
{
    CatalogueCommand([&] {
        if (!QFileInfo::exists(path)) {
            RecentBases::Forget(FSettingsFileName, path);
            FillRecentBases();
            Dialogs().MessageBox(this, RecentGoneText.arg(QDir::toNativeSeparators(path)),
                                 ApplicationTitle(), TMsgButtons::mbOK, TMsgIcon::miWarning);
            return;
        }
        if (FDataModule->ADOConnection.Connected() &&
            QFileInfo(FDataModule->ADOConnection.DataSourcePath()) == QFileInfo(path))
            return; // the catalogue open now
        SwitchCatalogue(path);
    });
}

void TForm1::FillRecentBases()
{
    QMenu* menu = ui->RecentBases1;
    menu->clear();
    const QStringList recent = RecentBases::Read(FSettingsFileName);
    for (int i = 0; i < recent.size(); ++i) {
        // The number is the item's key; the path is shown whole, as the file is found.
        QString shown = QDir::toNativeSeparators(recent[i]);
        shown.replace(u'&', u"&&"_s);
        QAction* item = menu->addAction(u"&%1 %2"_s.arg(i + 1).arg(shown));
        item->setObjectName(u"RecentBase%1"_s.arg(i + 1));
        connect(item, &QAction::triggered, this, [this, path = recent[i]] {
            // Run once the menu has closed, so that a message or an error box opens
            // over the window and not over a menu on its way out.
            QMetaObject::invokeMethod(
                this, [this, path] { OpenRecentBase(path); }, Qt::QueuedConnection);
        });
    }
    menu->setEnabled(!recent.isEmpty());
}

void TForm1::UpdateActions()
{
    const bool connected = FDataModule && FDataModule->ADOConnection.Connected();
    ui->ActConnect->setEnabled(!connected);
    for (QAction* a : {ui->ActDisconnect, ui->ActScan, ui->ActClear, ui->ActAdd, ui->ActSave,
                       ui->ActRed, ui->ActDel, ui->ActRefl, ui->ActNext, ui->ActPrior, ui->ActLast,
                       ui->ActFirst, ui->ActFileInfo})
        a->setEnabled(connected); // passed on to buttons only when it changes
}

void TForm1::FocusWindowChanged(QWindow* window)
{
    QWindow* previous = FLastFocusWindow;
    FLastFocusWindow = window;
    if (!window || window != windowHandle())
        return;
    // The window became the program's active window: at start-up, and when the focus
    // comes back from the picture viewer (the one window not shown modally).
    const bool fromViewer =
        previous && FWindows.ImgViewForm && previous == FWindows.ImgViewForm->windowHandle();
    if (!FActivated || fromViewer) {
        FActivated = true;
        ActConnectExecute();
    }
}

// ---------------------------------------------------------------- catalogue events

void TForm1::ShowStatusPosition(TDataSet& ds)
{
    FPanels[1]->setText(PositionText.arg(ds.RecNo()).arg(ds.RecordCount()));
}

void TForm1::ShowCurrentPosition()
{
    if (FDataModule && FDataModule->BookTable.Active() && !FDataModule->BookTable.IsEmpty())
        ShowStatusPosition(FDataModule->BookTable);
}

void TForm1::BookTableAfterScroll(TDataSet& ds)
{
    ShowStatusPosition(ds);
    ShowRecordImage();
}

void TForm1::BookTableAfterPost(TDataSet& ds)
{
    ShowStatusPosition(ds);
    ShowRecordImage();
}

namespace {

const QString ColumnsSection = u"Columns"_s;
const QString VisibleKey = u"Visible"_s;
const QString WidthKey = u"Width"_s;

} // namespace

void TForm1::BookTableAfterOpen(TDataSet& ds)
{
    const TIniFile ini(FSettingsFileName);
    for (int i = 0; i < ds.FieldCount(); ++i) {
        TField* field = ds.Fields(i);
        const bool now = field->Visible();
        const bool byName = ini.ReadBool(ColumnsSection, field->FieldName() + VisibleKey, now);
        // The first fields have a second key, the column chooser's tick (Visible0 for
        // the first item). Both are written alike, so where they differ one was edited
        // by hand, and the one that asks for a change is taken up.
        const bool byItem = i < TColumnForm::ItemCount
                                ? ini.ReadBool(ColumnsSection, VisibleKey + QString::number(i), now)
                                : now;
        field->SetVisible(byName != now ? byName : byItem);
    }
    TDBGrid* grid = ui->DBGrid1;
    grid->RefreshColumns();
    for (int c = 0; c < grid->GridModel()->columnCount(); ++c)
        if (const TField* field = grid->GridModel()->ColumnField(c))
            grid->setColumnWidth(c, ini.ReadInteger(ColumnsSection, field->FieldName() + WidthKey,
                                                    grid->columnWidth(c)));
}

void TForm1::BookTableBeforeClose(TDataSet& ds)
{
    // While the window closes, its own writes gather these too; a disconnection
    // writes them at once, in one replacement of the file.
    TIniFile own(FSettingsFileName);
    TIniFile& ini = FClosingSettings ? *FClosingSettings : own;
    if (!FClosingSettings)
        own.BeginUpdate();
    for (int i = 0; i < ds.FieldCount(); ++i) {
        const TField* field = ds.Fields(i);
        ini.WriteBool(ColumnsSection, field->FieldName() + VisibleKey, field->Visible());
    }
    // The chooser's keys, read at the next open like the rest.
    for (int i = 0; i < TColumnForm::ItemCount && i < ds.FieldCount(); ++i)
        ini.WriteBool(ColumnsSection, VisibleKey + QString::number(i), ds.Fields(i)->Visible());
    const TDBGrid* grid = ui->DBGrid1;
    for (int c = 0; c < grid->GridModel()->columnCount(); ++c)
        if (const TField* field = grid->GridModel()->ColumnField(c))
            ini.WriteInteger(ColumnsSection, field->FieldName() + WidthKey, grid->columnWidth(c));
    if (!FClosingSettings)
        WriteSettings([&] { own.EndUpdate(); });
}

void TForm1::WriteSettings(const std::function<void()>& body)
{
    if (!RunCommand(this, body))
        FSettingsWriteFailed = true;
}

void TForm1::ColourGridCell(int row, int, bool selected, TCellColors& colors)
{
    const TDataSet* ds = FDataModule ? &FDataModule->BookTable : nullptr;
    if (ds && FInstalledField >= 0 && ds->ViewValue(row, FInstalledField).toBool()) {
        colors.Background = QApplication::palette().color(QPalette::Active, QPalette::ToolTipBase);
        colors.Text = Qt::black;
    }
    // The current cell stands out whether the grid has the focus or not.
    if (selected) {
        const QPalette& palette = ui->DBGrid1->palette();
        colors.Background = palette.color(QPalette::Active, QPalette::Highlight);
        colors.Text = palette.color(QPalette::Active, QPalette::HighlightedText);
    }
}

// ---------------------------------------------------------------- pictures

void TForm1::SetupPictureStrip()
{
    // The pictures of the picture commands come from the desktop's icon theme, each
    // its own: adding and deleting a record have "list-add" and "list-remove".
    const std::tuple<QAction*, const char*, QStyle::StandardPixmap> pictures[] = {
        {ui->ActViewImg, "zoom-in", QStyle::SP_FileDialogContentsView},
        {ui->ActAddImg, "insert-image", QStyle::SP_FileDialogNewFolder},
        {ui->ActDelImg, "edit-cut", QStyle::SP_DialogDiscardButton},
    };
    for (const auto& [action, name, fallback] : pictures) {
        const QIcon themed = Icons::Themed(QString::fromLatin1(name));
        action->setIcon(themed.isNull() ? style()->standardIcon(fallback) : themed);
    }
    ui->N33->setIcon(ui->ActViewImg->icon());
    ui->SpeedButton2->setDefaultAction(ui->ActViewImg);
    ui->SpeedButton1->setDefaultAction(ui->ActAddImg);
    ui->DeleteImage->setDefaultAction(ui->ActDelImg);
    for (QToolButton* b : {ui->SpeedButton2, ui->SpeedButton1, ui->DeleteImage})
        b->setIconSize(QSize(16, 16));
}

void TForm1::ShowRecordImage()
{
    const TDataSet* table = FDataModule ? &FDataModule->BookTable : nullptr;
    const TField* images = table && table->Active() ? table->FindField(u"Images"_s) : nullptr;
    // Only a name of a file directly inside the picture folder is looked up.
    const QString path =
        images ? TPictureFolder(PictureFolder()).FilePath(images->AsString()) : QString();
    ui->Image1->SetPicture(path.isEmpty() ? TPicture() : TPicture::Load(path));
}

void TForm1::ActAddImgExecute()
{
    CatalogueCommand([this] {
        const QString source = Dialogs().OpenPictureName(
            this, QString(), TPicture::FileFilter(), [](const QString& path, const QSize& size) {
                const TPicture picture = TPicture::Load(path);
                return picture.Render(FitCentred(picture.Size(), QRect(QPoint(), size)).size());
            });
        if (source.isEmpty())
            return;
        TDataSet& table = FDataModule->BookTable;
        TField* images = table.FieldByName(u"Images"_s);
        // Editing starts before the copy, so that a catalogue that cannot be edited
        // fails with nothing copied. A record that was only shown goes back to that
        // when the rest fails; one that holds the user's edits keeps them.
        const bool wasBrowsing = table.State() == TDataSetState::dsBrowse;
        table.Edit(); // a new record when there is none
        const TPictureFolder folder(PictureFolder());
        QString name;
        try {
            name = folder.Store(source, images->Size());
        } catch (...) {
            if (wasBrowsing)
                table.Cancel();
            throw;
        }
        const QString before = images->AsString();
        images->SetAsString(name);
        try {
            table.Post();
        } catch (...) {
            // The copy goes with the failed post, unless it is a file that was there
            // already and other records name.
            if (wasBrowsing)
                table.Cancel();
            else
                images->SetAsString(before);
            try {
                if (PictureUses(*table.Connection(), name) == 0)
                    folder.Remove(name);
            } catch (const EError&) {
            }
            throw;
        }
    });
}

void TForm1::ActDelImgExecute()
{
    CatalogueCommand([this] {
        TDataSet& table = FDataModule->BookTable;
        TField* images = table.FieldByName(u"Images"_s);
        // With no record there is no picture to remove; editing would start a new,
        // empty record.
        if (table.Active() && table.IsEmpty())
            return;
        const QString name = images->AsString();
        table.Edit();
        images->SetAsString(QString());
        // The file goes only once the record no longer names it, and only when no other
        // record of the catalogue names it too.
        table.Post();
        if (!name.isEmpty() && PictureUses(*table.Connection(), name) == 0)
            TPictureFolder(PictureFolder()).Remove(name);
    });
}

// ---------------------------------------------------------------- record commands

void TForm1::ActAddExecute()
{
    CatalogueCommand([this] {
        FDataModule->BookTable.Insert();
        ShowModalWindow(FWindows.EditRecordForm);
    });
}

void TForm1::ActRedExecute()
{
    CatalogueCommand([this] { ShowModalWindow(FWindows.EditRecordForm); });
}

void TForm1::ActDelExecute()
{
    CatalogueCommand([this] {
        TDataSet& table = FDataModule->BookTable;
        const QString name = table.FieldByName(u"ProductName"_s)->AsString();
        if (Dialogs().MessageBox(this, DeleteQuestion + name, DeleteCaption,
                                 TMsgButtons::mbOKCancel, TMsgIcon::miNone) != TMsgResult::mrOK)
            return;
        table.Delete();
    });
}

void TForm1::ActSaveExecute()
{
    // Greyed only when the record is saved (or had nothing to save); after a failure
    // the change is still there to be saved again.
    if (TrySaveRecord())
        ui->ToolBar1->widgetForAction(ui->ActSave)->setEnabled(false);
}

void TForm1::SaveRecord() { TrySaveRecord(); }

bool TForm1::TrySaveRecord()
{
    if (FClearing)
        return false;
    return RunCommand(this, [this] {
        if (!FDataModule)
            throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
        RecordOps::SaveIfModified(FDataModule->BookTable);
    });
}

void TForm1::BookTableRecordModified()
{
    // Any change after a save, typed or chosen, can be saved from the toolbar again.
    const TDataSet& table = FDataModule->BookTable;
    if (table.State() == TDataSetState::dsEdit || table.State() == TDataSetState::dsInsert)
        if (QWidget* button = ui->ToolBar1->widgetForAction(ui->ActSave))
            button->setEnabled(ui->ActSave->isEnabled());
}

void TForm1::ActReflExecute()
{
    // The current record may stand elsewhere in the refreshed rows.
    CatalogueCommand([this] {
        FDataModule->BookTable.Refresh();
        ShowCurrentPosition();
    });
}

void TForm1::ActNextExecute()
{
    CatalogueCommand([this] { FDataModule->BookTable.Next(); });
}

void TForm1::ActPriorExecute()
{
    CatalogueCommand([this] { FDataModule->BookTable.Prior(); });
}

void TForm1::ActFirstExecute()
{
    CatalogueCommand([this] { FDataModule->BookTable.First(); });
}

void TForm1::ActLastExecute()
{
    CatalogueCommand([this] { FDataModule->BookTable.Last(); });
}

void TForm1::ActClearExecute()
{
    CatalogueCommand([this] {
        if (Dialogs().MessageBox(this, ClearQuestion, ApplicationTitle(), TMsgButtons::mbYesNo,
                                 TMsgIcon::miQuestion) != TMsgResult::mrYes)
            return;
        TDataSet& table = FDataModule->BookTable;
        FProgressBar->setMaximum(table.RecordCount());
        FProgressBar->setValue(0);
        FProgressBar->show();
        // While the loop lets the window handle its messages, nothing else may touch
        // the catalogue: commands are refused, the search box and the grid wait.
        FClearing = true;
        ui->Edit1->setReadOnly(true);
        ui->DBGrid1->setEnabled(false);
        const auto end = qScopeGuard([this] {
            FClearing = false;
            ui->Edit1->setReadOnly(false);
            ui->DBGrid1->setEnabled(true);
        });
        // Between records the window repaints; a close asked for meanwhile stops the
        // loop after the record it is on.
        RecordOps::DeleteAll(table, [this](int remaining) {
            FProgressBar->setValue(FProgressBar->maximum() - remaining);
            QCoreApplication::processEvents();
            return !FCloseRequested;
        });
        FProgressBar->hide();
    });
    if (FCloseRequested)
        close();
}

// ---------------------------------------------------------------- search and sort

void TForm1::OpenHomePage() { OpenLink(this, ui->Label7->Address()); }

void TForm1::HighlightHomePageLink() { ui->Label7->SetLinkColor(ColorToRGB(clRed, palette())); }

void TForm1::SearchAsTyped()
{
    if (FClearing || !FDataModule)
        return;
    RunCommand(this, [this] { Search::Apply(*FDataModule, ui->Edit1->text()); });
}

void TForm1::Sort(int keyIndex)
{
    // The current record keeps its place in the catalogue but not its number.
    CatalogueCommand([&] {
        FDataModule->BookTable.SetSort(Search::SortKeys().at(keyIndex).Field);
        ShowCurrentPosition();
    });
    ShowSort();
}

QList<QAction*> TForm1::SortItems() const
{
    return {ui->N24, ui->N23, ui->N34, ui->N25, ui->N26, ui->N27};
}

void TForm1::ShowSort()
{
    const QString field = FDataModule ? FDataModule->BookTable.Sort() : QString();
    const QVector<TSortKey>& keys = Search::SortKeys();
    const QList<QAction*> items = SortItems();
    for (int i = 0; i < items.size() && i < keys.size(); ++i)
        items[i]->setChecked(keys[i].Field.compare(field, Qt::CaseInsensitive) == 0);

    // The column that shows the sort field: the field itself, or, for a stored key,
    // the lookup column that shows its text (the grid shows names, not numbers).
    int column = -1;
    const TDBGridModel* model = ui->DBGrid1->GridModel();
    if (!field.isEmpty())
        for (int c = 0; c < model->columnCount() && column < 0; ++c)
            if (const TField* f = model->ColumnField(c))
                if (f->FieldName().compare(field, Qt::CaseInsensitive) == 0)
                    column = c;
    if (!field.isEmpty())
        for (int c = 0; c < model->columnCount() && column < 0; ++c)
            if (const TField* f = model->ColumnField(c))
                if (f->IsLookup() && f->Def().KeyFields.compare(field, Qt::CaseInsensitive) == 0)
                    column = c;
    QHeaderView* header = ui->DBGrid1->horizontalHeader();
    const QSignalBlocker quiet(header);
    header->setSortIndicatorShown(column >= 0);
    header->setSortIndicator(column, Qt::AscendingOrder);
    header->viewport()->update();
}

void TForm1::HeaderClick(int column)
{
    const TField* f = ui->DBGrid1->GridModel()->ColumnField(column);
    if (!f)
        return;
    const QVector<TSortKey>& keys = Search::SortKeys();
    const QList<QAction*> items = SortItems();
    // The column of a stored key shows the looked-up text under another name.
    for (int i = 0; i < keys.size() && i < items.size(); ++i)
        if (f->FieldName().compare(keys[i].Field, Qt::CaseInsensitive) == 0 ||
            (f->IsLookup() &&
             f->Def().KeyFields.compare(keys[i].Field, Qt::CaseInsensitive) == 0)) {
            items[i]->trigger();
            return;
        }
    ShowSort();
}

void TForm1::SortByName() { Sort(0); }
void TForm1::SortByPlatform() { Sort(1); }
void TForm1::SortByCategory() { Sort(2); }
void TForm1::SortByType() { Sort(3); }
void TForm1::SortByMaker() { Sort(4); }
void TForm1::SortBySize() { Sort(5); }

// ---------------------------------------------------------------- other commands

void TForm1::ActExcelExecute()
{
    CatalogueCommand([this] {
        FExporting = true;
        const auto end = qScopeGuard([this] {
            FProgressBar->hide();
            FExporting = false;
        });
        const QString path =
            SpreadsheetExport::ExportCatalogue(*FDataModule, [this](int done, int total) {
                FProgressBar->setMaximum(std::max(total, 1));
                FProgressBar->setValue(done);
                if (!FProgressBar->isVisible())
                    FProgressBar->show();
                // The window keeps painting; the user's input waits for the end.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            });
        ShowOutcome(ExportedText.arg(QDir::toNativeSeparators(path)));
        // Without an application for workbooks the user still learns where it is.
        if (!Shell::OpenFile(path))
            Dialogs().MessageBox(this, NotOpenedText.arg(QDir::toNativeSeparators(path)),
                                 ApplicationTitle(), TMsgButtons::mbOK, TMsgIcon::miInformation);
    });
    // A close asked for while the workbook was written.
    if (FCloseRequested)
        close();
}

void TForm1::ShowOutcome(const QString& text)
{
    FPanels[2]->setText(text);
    FPanels[2]->setToolTip(text);
}

void TForm1::ActViewImgExecute()
{
    TImgViewForm* viewer = FWindows.ImgViewForm;
    if (!viewer)
        return;
    // The viewer keeps its own copy at the picture's own size; later moves in the
    // catalogue leave it alone.
    const TPicture& shown = ui->Image1->Picture();
    const TPicture copy = TPicture::FromImage(shown.Render(shown.Size()));
    // Without a picture there is nothing to show: a window of no size could be
    // neither seen nor clicked away.
    if (copy.IsNull()) {
        viewer->hide();
        return;
    }
    viewer->ShowPicture(copy);
}

void TForm1::ShowFileInformation()
{
    CatalogueCommand([this] {
        const QString path = FDataModule->BookTable.FieldByName(u"FileName"_s)->AsString();
        if (path.isEmpty())
            throw EError(NoFileText);
        // What harvesting would store for the file, line by line.
        const Harvest::TVersionValues values = Harvest::VersionValues(*Harvest::ReadVerInfo(path));
        const std::pair<const char16_t*, const char16_t*> labels[] = {
            {u"ProductName", u"Название"},
            {u"CompanyName", u"Производитель"},
            {u"FileDescription", u"Описание"},
            {u"ProductVersion", u"Версия продукта"},
            {u"FileVersion", u"Версия файла"},
            {u"InternalName", u"Внутреннее имя"},
            {u"OriginalFilename", u"Исходное имя файла"},
            {u"LegalCopyright", u"Авторские права"},
            {u"LegalTrademarks", u"Товарные знаки"},
            {u"Comments", u"Комментарии"},
            {u"Language", u"Язык"},
            {u"LangID", u"Language ID"},
            {u"CodePage", u"Code Page"},
        };
        QStringList lines{path, QString()};
        for (const auto& [column, label] : labels)
            lines << QString::fromUtf16(label) + u": "_s +
                         Harvest::ValueOf(values, QStringView(column));
        Dialogs().MessageBox(this, lines.join(u'\n'), ui->N29->text(), TMsgButtons::mbOK,
                             TMsgIcon::miInformation);
    });
}

// ---------------------------------------------------------------- registration details

void TForm1::EnableRegistrationRow(int row)
{
    const TRegistrationRow& r = FRegistrationRows.at(row);
    // A grey box (no value) counts as unticked.
    const bool on = r.CheckBox->checkState() == Qt::Checked;
    r.Edit->setEnabled(on);
    r.Button->setEnabled(on);
}

void TForm1::ChooseRegistrationFile(int row)
{
    CatalogueCommand([this, row] {
        // CrackOpenDialog: every file, one at a time.
        const QString path = Dialogs().OpenFileName(this, QString(), QString());
        if (path.isEmpty())
            return;
        // As if typed: the record starts editing, so the path is kept until the record
        // is saved or the change is cancelled, rather than lost on the next read.
        FRegistrationRows.at(row).Edit->AssignText(QDir::toNativeSeparators(path));
    });
}

void TForm1::StepRating(bool up)
{
    CatalogueCommand([this, up] {
        TDataSet& table = FDataModule->BookTable;
        table.Edit(); // a new record when there is none
        TField* rating = table.FieldByName(u"Rating"_s);
        rating->SetAsInteger(rating->AsInteger() + (up ? 1 : -1)); // null reads as 0
    });
}

void TForm1::StartAnyFile()
{
    RunCommand(this, [this] {
        const QString path = Dialogs().OpenFileName(this, QString(), QString());
        if (path.isEmpty())
            return;
        if (const QString reason = Shell::StartFile(path); !reason.isEmpty())
            throw EError(reason);
    });
}

// ---------------------------------------------------------------- window events

void TForm1::showEvent(QShowEvent* event)
{
    if (!FShown && !event->spontaneous()) {
        FShown = true;
        FormShow();
    }
    QMainWindow::showEvent(event);
}

namespace {

const QString GridSection = u"DBGrid"_s;
const QString FormSection = u"Form1"_s;

} // namespace

void TForm1::SetGridWidth(int width)
{
    // The grid does not stretch with the window, so the width set here stays when the
    // window is later maximised. A stored width is kept between the grid's least width
    // and the room there is, whatever the file says.
    const QList<int> sizes = ui->Splitter1->sizes();
    const int total = sizes.size() == 2 ? sizes[0] + sizes[1] : ui->DBGrid1->minimumWidth();
    const int least = ui->DBGrid1->minimumWidth();
    width = std::clamp(width, least, std::max(least, total));
    ui->Splitter1->setSizes({width, std::max(0, total - width)});
}

namespace {

// V brought within LEAST and MOST; V may be any value a settings file holds.
int Within(qint64 v, int least, int most)
{
    return int(std::clamp<qint64>(v, least, std::max(least, most)));
}

} // namespace

void TForm1::FormShow()
{
    const TIniFile ini(FSettingsFileName);
    const int gridWidth = ini.ReadInteger(GridSection, WidthKey, ui->DBGrid1->width());

    // The stored size is given to the window in its normal state: a window shown
    // maximised keeps it for when the user restores it.
    const bool maximized = windowState() & Qt::WindowMaximized;
    if (maximized)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    const QSize frame = frameGeometry().size() - size();
    // The outer size, then the client size, which has the last word. The file may
    // have been written on a larger screen, or by hand: the window is kept to the
    // screen it opens on, frame and all, so that its title bar can be reached and it
    // never asks for more than the screen can show.
    const qint64 outerHeight = ini.ReadInteger(FormSection, u"Height"_s, frameGeometry().height());
    const qint64 outerWidth = ini.ReadInteger(FormSection, u"Width"_s, frameGeometry().width());
    const int clientHeight = ini.ReadInteger(FormSection, u"ClientHeight"_s,
                                             Within(outerHeight - frame.height(), 0, INT_MAX));
    const int clientWidth = ini.ReadInteger(FormSection, u"ClientWidth"_s,
                                            Within(outerWidth - frame.width(), 0, INT_MAX));
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 640, 480);
    const QSize least = minimumSizeHint().expandedTo(minimumSize()).boundedTo(area.size());
    resize(Within(clientWidth, least.width(), area.width() - frame.width()),
           Within(clientHeight, least.height(), area.height() - frame.height()));

    // The grid's width within the window's new size.
    if (QLayout* l = layout())
        l->activate();
    SetGridWidth(gridWidth);

    // The designed placement: centred on the screen with this size; the stored
    // position has no say.
    QRect placed(QPoint(), frameGeometry().size());
    placed.moveCenter(area.center());
    move(placed.topLeft());
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::FormClose()
{
    FSettingsWriteFailed = false;
    // Everything the closing writes reaches the file at once, at the end: one new file
    // renamed over the old rather than a rewrite per key.
    TIniFile ini(FSettingsFileName);
    ini.BeginUpdate();
    FClosingSettings = &ini;
    const auto done = qScopeGuard([this] { FClosingSettings = nullptr; });
    if (FDataModule) {
        TDataSet& table = FDataModule->BookTable;
        RunCommand(this, [&] { table.Close(); });
    }
    ini.WriteInteger(GridSection, WidthKey, ui->DBGrid1->width());
    // A maximised window is saved with the size it takes when restored.
    QRect client = geometry();
    QRect outer = frameGeometry();
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        const QMargins margins(geometry().left() - outer.left(), geometry().top() - outer.top(),
                               outer.right() - geometry().right(),
                               outer.bottom() - geometry().bottom());
        client = normalGeometry();
        outer = client.marginsAdded(margins);
    }
    ini.WriteInteger(FormSection, u"Left"_s, outer.x());
    ini.WriteInteger(FormSection, u"Top"_s, outer.y());
    ini.WriteInteger(FormSection, u"Height"_s, outer.height());
    ini.WriteInteger(FormSection, u"Width"_s, outer.width());
    ini.WriteInteger(FormSection, u"ClientHeight"_s, client.height());
    ini.WriteInteger(FormSection, u"ClientWidth"_s, client.width());
    WriteSettings([&] { ini.EndUpdate(); });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (FClearing || FScanning || FExporting) {
        // Clearing stops after the record it is on, a scan or an export runs to its
        // end; the window closes then.
        FCloseRequested = true;
        event->ignore();
        return;
    }
    FCloseRequested = false;
    if (FDataModule) {
        TDataSet& table = FDataModule->BookTable;
        // A change the record still holds is saved, as leaving the row would, and so is
        // a row typed into a reference list and left pending there; if that fails the
        // window stays open so that nothing is lost unseen.
        if (!RunCommand(this, [&] {
                if (table.Active())
                    table.CheckBrowseMode();
                for (TDataSet* list : FDataModule->ReferenceTables())
                    if (list->Active())
                        list->CheckBrowseMode();
            })) {
            event->ignore();
            return;
        }
    }
    // A settings file that cannot be written is reported, and the window closes all
    // the same: the layout is not worth keeping the user from leaving.
    FormClose();
    if (FWindows.ImgViewForm)
        FWindows.ImgViewForm->close();
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Panel4 && event->type() == QEvent::MouseMove && FDataModule &&
        FDataModule->BookTable.Active() && FDataModule->BookTable.Modified())
        ui->ToolBar1->widgetForAction(ui->ActSave)->setEnabled(true);
    return QMainWindow::eventFilter(watched, event);
}
