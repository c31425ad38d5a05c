#pragma once
// The main window's controls that its tests press and read, found by their names.

#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "tests/common/controls.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>

struct TForm1Controls {
    explicit TForm1Controls(const QWidget* form) : Form(form) {}

    // The text of status bar panel INDEX (0 to 2).
    QString StatusText(int index) const
    {
        return Control<QLabel>(Form, QStringLiteral("StatusPanel%1").arg(index))->text();
    }

    const QWidget* Form;

    // The action list.
    QAction* ActConnect = Find<QAction>(u"ActConnect");
    QAction* ActDisconnect = Find<QAction>(u"ActDisconnect");
    QAction* ActScan = Find<QAction>(u"ActScan");
    QAction* ActClear = Find<QAction>(u"ActClear");
    QAction* ActAdd = Find<QAction>(u"ActAdd");
    QAction* ActSave = Find<QAction>(u"ActSave");
    QAction* ActRed = Find<QAction>(u"ActRed");
    QAction* ActDel = Find<QAction>(u"ActDel");
    QAction* ActRefl = Find<QAction>(u"ActRefl");
    QAction* ActNext = Find<QAction>(u"ActNext");
    QAction* ActPrior = Find<QAction>(u"ActPrior");
    QAction* ActFirst = Find<QAction>(u"ActFirst");
    QAction* ActLast = Find<QAction>(u"ActLast");
    QAction* ActFileInfo = Find<QAction>(u"ActFileInfo");
    QAction* ActExcel = Find<QAction>(u"ActExcel");
    QAction* ActAddImg = Find<QAction>(u"ActAddImg");
    QAction* ActDelImg = Find<QAction>(u"ActDelImg");
    QAction* ActViewImg = Find<QAction>(u"ActViewImg");

    // Menu and popup menu items.
    QAction* On1 = Find<QAction>(u"On1");
    QAction* Off1 = Find<QAction>(u"Off1");
    QAction* N5 = Find<QAction>(u"N5");
    QAction* N6 = Find<QAction>(u"N6");
    QAction* N7 = Find<QAction>(u"N7");
    QAction* N11 = Find<QAction>(u"N11");
    QAction* N12 = Find<QAction>(u"N12");
    QAction* N14 = Find<QAction>(u"N14");
    QAction* N18 = Find<QAction>(u"N18");
    QAction* N19 = Find<QAction>(u"N19");
    QAction* N20 = Find<QAction>(u"N20");
    QAction* N24 = Find<QAction>(u"N24");
    QAction* N29 = Find<QAction>(u"N29");
    QMenu* PopupMenu = Find<QMenu>(u"PopupMenu");

    // Controls.
    QToolBar* ToolBar1 = Find<QToolBar>(u"ToolBar1");
    TDBGrid* DBGrid1 = Find<TDBGrid>(u"DBGrid1");
    QWidget* Panel4 = Find<QWidget>(u"Panel4");
    QLineEdit* Edit1 = Find<QLineEdit>(u"Edit1");
    TDBText* DBText2 = Find<TDBText>(u"DBText2");
    TDBEdit* DBEdit1 = Find<TDBEdit>(u"DBEdit1");
    TDBEdit* DBEdit2 = Find<TDBEdit>(u"DBEdit2");
    TDBEdit* DBEdit3 = Find<TDBEdit>(u"DBEdit3");
    TDBEdit* DBEdit4 = Find<TDBEdit>(u"DBEdit4");
    TDBEdit* DBEdit5 = Find<TDBEdit>(u"DBEdit5");
    TDBEdit* DBEdit6 = Find<TDBEdit>(u"DBEdit6");
    QToolButton* CloseSpeedButton1 = Find<QToolButton>(u"CloseSpeedButton1");
    QProgressBar* ProgressBar = Find<QProgressBar>(u"ProgressBar");

private:
    template <class T> T* Find(const char16_t* name) const
    {
        return Control<T>(Form, QString::fromUtf16(name));
    }
};
