#include "UnitMainFormKvell.h"

#include "configuration.h"
#include "records/organisation_details.h"
#include "ui/button_edit.h"
#include "ui/error_guard.h"
#include "ui/field_link.h"
#include "ui/form_placement.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral(
    "УВЕДОМЛЕНИЕ о включении в реестр медицинских организаций, осуществляющих деятельность в "
    "сфере ОМС");
const QString kPlacementSection = QStringLiteral("TMainFormKvell1");
const QString kGrid1HeightKey = QStringLiteral("Grid1Height");

constexpr int kInitialWidth = 988;
constexpr int kInitialHeight = 800;
constexpr int kPanelHeight = 277;
constexpr int kGrid1Height = 196;
constexpr int kGridMinimumHeight = 120;
constexpr int kSplitterHeight = 6;
constexpr int kStatusBarHeight = 19;
constexpr int kBoxHeight = 21;
const QColor kPanelColour(0xD7, 0xD7, 0xD7);
const QColor kButtonEditColour(0xF0, 0xFB, 0xFF);

// Where the window's own font is missing (any system but Windows), a face with
// the same metrics as Arial keeps the labels within their places.
QFont pixelFont(int pixels) {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPixelSize(pixels);
    return f;
}

struct MenuItem {
    const char* name;
    QString caption;
};

const QString kSeparator = QStringLiteral("-");
const QString kDesigner = QStringLiteral("Дизайнер отчета");
const QString kDesignerYo = QStringLiteral("Дизайнер отчёта");
const QString kToWord = QStringLiteral("Выгрузка в Word");

const std::vector<MenuItem>& dataMenu() {
    static const std::vector<MenuItem> items{
        {"N10", QStringLiteral("Загрузить данные МИАЦ по ПОДРАЗДЕЛЕНИЯМ")},
        {"N14", kSeparator},
        {"ItemEdit_P", QStringLiteral("Редактировать запись  о  Подразделении")},
        {"N15", QStringLiteral("Добавить запись о Подразделении")},
        {"N17", QStringLiteral("Удалить запись о Подразделении")},
        {"N9", kSeparator},
        {"ItemEdit", QStringLiteral("Редактировать запись  о лицензии")},
        {"N2", QStringLiteral("Добавить запись о лицензии")},
        {"N5", QStringLiteral("Дублировать запись о лицензии")},
        {"N13", kSeparator},
        {"N12", QStringLiteral("Удалить запись о лицензии")},
        {"N6", kSeparator},
        {"N7", QStringLiteral("Выгрузить данные для ТФОМС")},
        {"N4", kSeparator},
        {"ItemExit", QStringLiteral("Выход")},
    };
    return items;
}

const std::vector<MenuItem>& noticeMenu() {
    static const std::vector<MenuItem> items{
        {"ItemReport4", QStringLiteral("Печать УВЕДОМЛЕНИЯ о включении в реестр")},
        {"ItemDesignReport4", kDesigner},
        {"ItemExport4", kToWord},
        {"N16", kSeparator},
        {"ItemReport3", QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ 14.1")},
        {"ItemDesignReport3", kDesigner},
        {"ItemExport3", kToWord},
        {"N22", kSeparator},
        {"ItemReport81", QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ  13  (лицензии)")},
        {"ItemDesignReport81", kDesigner},
        {"ItemExport81", kToWord},
        {"N19", kSeparator},
        {"ItemReport82", QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ  14.2  (подразделения)")},
        {"ItemDesignReport82", kDesigner},
        {"ItemExport82", kToWord},
        {"N21", kSeparator},
        {"ItemReport1", QStringLiteral("Печать УВЕДОМЛЕНИЯ об изменении сведений")},
        {"ItemDesignReport1", kDesignerYo},
        {"ItemExport", kToWord},
        {"N8", kSeparator},
        {"ItemReport2", QStringLiteral("Печать УВЕДОМЛЕНИЯ для ИП ")},
        {"ItemDesignReport2", kDesignerYo},
        {"ItemExport2", kToWord},
    };
    return items;
}

void fillMenu(QMenu& menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        QAction* action =
            item.caption == kSeparator ? menu.addSeparator() : menu.addAction(item.caption);
        action->setObjectName(QLatin1String(item.name));
        if (QLatin1String(item.name).startsWith(QLatin1String("ItemDesignReport")))
            action->setVisible(app::ReportDesignAllowed);
    }
}

} // namespace

TMainFormKvell1::TMainFormKvell1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainFormKvell1"));
    setWindowTitle(kCaption);
    setFont(pixelFont(11));
    resize(kInitialWidth, kInitialHeight);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    buildPanel();
    layout->addWidget(Panel1);
    buildGrids();
    layout->addWidget(RxSplitter1, 1);
    buildMenu();

    StatusBar1Panel = new QLabel(this);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(kStatusBarHeight);
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(StatusBar1Panel, 1);

    ui::guard([this] { FormCreate(); });
}

TMainFormKvell1::~TMainFormKvell1() = default;

void TMainFormKvell1::buildPanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kPanelHeight);
    Panel1->setAutoFillBackground(true);
    QPalette palette = Panel1->palette();
    palette.setColor(QPalette::Window, kPanelColour);
    Panel1->setPalette(palette);

    const QFont labelFont = pixelFont(12);
    auto label = [&](const QString& text, int x, int y) {
        auto* l = new QLabel(text, Panel1);
        l->setFont(labelFont);
        l->adjustSize();
        l->move(x, y);
    };
    xbase::Table& mo = m_tables.HalcyonDataSet3;
    auto edit = [&](const char* name, const char* field, int x, int y, int width) {
        auto* e = new QLineEdit(Panel1);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(x, y, width, kBoxHeight);
        new ui::FieldLink(*e, mo, QLatin1String(field));
        return e;
    };
    auto buttonEdit = [&](const char* name, const char* field, int x, int y, int width) {
        auto* b = new ui::ButtonEdit(Panel1);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, y, width, kBoxHeight);
        QPalette p = b->lineEdit().palette();
        p.setColor(QPalette::Base, kButtonEditColour);
        b->lineEdit().setPalette(p);
        b->lineEdit().setFont(pixelFont(10));
        new ui::FieldLink(b->lineEdit(), mo, QLatin1String(field), ui::FieldLink::Access::ReadOnly);
        return b;
    };

    label(QStringLiteral("ОГРН"), 761, 10);
    DBEdit5 = edit("DBEdit5", "OGRN", 811, 7, 138);
    label(QStringLiteral("Полное наименование медицинской организации (по ЕГРЮЛ)"), 26, 9);
    DBEdit1 = edit("DBEdit1", "NAM_MOP", 26, 29, 923);
    label(QStringLiteral("Краткое наименование медицинской организации (по ЕГРЮЛ)"), 26, 56);
    DBEdit2 = edit("DBEdit2", "NAM_MOK", 393, 52, 555);
    label(QStringLiteral("КПП"), 26, 81);
    DBEdit3 = edit("DBEdit3", "KPP", 65, 78, 95);
    label(QStringLiteral("ИНН"), 178, 83);
    DBEdit4 = edit("DBEdit4", "INN", 218, 78, 117);
    label(QStringLiteral("Ведомственная принадлежность"), 350, 82);
    EditVedPr = buttonEdit("EditVedPr", "VEDPRI_", 549, 82, 400);
    label(QStringLiteral("Организационно-правовая форма"), 26, 115);
    EditOPF = buttonEdit("EditOPF", "OKOPF_", 224, 115, 313);
    connect(EditOPF, &ui::ButtonEdit::buttonClicked, this,
            ui::guarded([this] { EditOPFButtonClick(); }));
    connect(EditOPF, &ui::ButtonEdit::doubleClicked, this,
            ui::guarded([this] { EditOPFDblClick(); }));
    connect(EditVedPr, &ui::ButtonEdit::buttonClicked, this,
            ui::guarded([this] { EditVedPrButtonClick(); }));
    connect(EditVedPr, &ui::ButtonEdit::doubleClicked, this,
            ui::guarded([this] { EditVedPrDblClick(); }));
    label(QStringLiteral("Подчиненность"), 553, 119);
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(643, 116, 310, kBoxHeight);
    ComboBox1->setEditable(false);
    ComboBox1->addItems(records::orgTypeTexts());
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->installEventFilter(this);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            ui::guarded([this](int) { ComboBoxTypeErrChange(); }));
    label(QStringLiteral("Данные о руководителе (или индивидуальном предпринимателе)"), 26, 141);
    label(QStringLiteral("Фамилия"), 26, 167);
    DBEdit6 = edit("DBEdit6", "FAM_RUK", 86, 163, 150);
    label(QStringLiteral("Имя"), 254, 164);
    DBEdit7 = edit("DBEdit7", "IM_RUK", 289, 163, 154);
    label(QStringLiteral("Отчество"), 466, 164);
    DBEdit8 = edit("DBEdit8", "OT_RUK", 542, 163, 154);
    label(QStringLiteral("Номер телефона"), 26, 200);
    DBEdit9 = edit("DBEdit9", "PHONE", 130, 195, 105);
    label(QStringLiteral("Факс"), 339, 200);
    DBEdit10 = edit("DBEdit10", "FAX", 377, 195, 160);
    label(QStringLiteral("Адрес электронной почты"), 575, 197);
    DBEdit11 = edit("DBEdit11", "E_MAIL", 734, 195, 218);
    label(QStringLiteral("Год"), 24, 234);
    Edit1 = new QLineEdit(QStringLiteral("2021"), Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(59, 230, 52, kBoxHeight);
    label(QStringLiteral("Код МО ФФОМС"), 132, 234);
    DBEdit13 = edit("DBEdit13", "MCOD", 232, 231, 121);

    const QList<QWidget*> tabOrder{DBEdit5,  DBEdit1,   DBEdit2, DBEdit3, DBEdit4, EditVedPr,
                                   EditOPF,  ComboBox1, DBEdit6, DBEdit7, DBEdit8, DBEdit9,
                                   DBEdit10, DBEdit11,  Edit1,   DBEdit13};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TMainFormKvell1::buildGrids() {
    DataSource1 =
        new ui::TableModel(m_tables.HalcyonDataSet1,
                           {{QStringLiteral("ADDR"), QStringLiteral("Адрес"), 100},
                            {QStringLiteral("N_DOC"), QStringLiteral("№ лицензии")},
                            {QStringLiteral("PRVS_"), QStringLiteral("Виды медицинской помощи")}},
                           this);
    DataSource2 =
        new ui::TableModel(m_tables.HalcyonDataSetPodr,
                           {{QStringLiteral("N_PODR"), QStringLiteral("Подразделение"), 100},
                            {QStringLiteral("C_PODR"), QStringLiteral("Код МИАЦ")},
                            {QStringLiteral("ADDR"), QStringLiteral("Адрес по данным МИАЦ"), 150},
                            {QStringLiteral("FAM_RUK"), QStringLiteral("Руководитель (Фамилия)")},
                            {QStringLiteral("IM_RUK"), QStringLiteral("Руководитель (Имя)")},
                            {QStringLiteral("OT_RUK"), QStringLiteral("Руководитель (Отчество)")},
                            {QStringLiteral("PHONE"), QStringLiteral("Телефон")},
                            {QStringLiteral("OID"), QStringLiteral("Код ФРМО строка 100")},
                            {QStringLiteral("OGRN"), QStringLiteral("ОГРН")},
                            {QStringLiteral("CODE_MO"), QStringLiteral("Код МО")},
                            {QStringLiteral("MPCOD"), QStringLiteral("MPCOD")}},
                           this);

    RxSplitter1 = new QSplitter(Qt::Vertical, this);
    RxSplitter1->setObjectName(QStringLiteral("RxSplitter1"));
    RxSplitter1->setHandleWidth(kSplitterHeight);
    RxSplitter1->setChildrenCollapsible(false);
    Grid1 = new ui::TableGrid(RxSplitter1);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setTableModel(DataSource1);
    Grid2 = new ui::TableGrid(RxSplitter1);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setTableModel(DataSource2);
    for (ui::TableGrid* grid : {Grid1, Grid2})
        grid->setMinimumHeight(kGridMinimumHeight);
    RxSplitter1->setStretchFactor(0, 0);
    RxSplitter1->setStretchFactor(1, 1);
    RxSplitter1->setSizes({kGrid1Height, kInitialHeight});
}

void TMainFormKvell1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    N1 = bar->addMenu(QStringLiteral("Данные"));
    N1->setObjectName(QStringLiteral("N1"));
    fillMenu(*N1, dataMenu());
    N3 = bar->addMenu(QStringLiteral("Уведомление"));
    N3->setObjectName(QStringLiteral("N3"));
    fillMenu(*N3, noticeMenu());
    connect(N1->findChild<QAction*>(QStringLiteral("ItemExit")), &QAction::triggered, this,
            ui::guarded([this](bool) { ItemExitClick(); }));
}

void TMainFormKvell1::FormCreate() {
    m_placement = std::make_unique<ui::FormPlacement>(app::ConfigFileName, kPlacementSection,
                                                      ui::FormPlacement::KeepState::Yes);
    m_placement->restore(*this);
    if (const auto h = m_placement->number(kGrid1HeightKey))
        RxSplitter1->setSizes({std::max(*h, kGridMinimumHeight), kInitialHeight});
    StatusBar1Panel->setText(app::BaseDir);
    if (m_tables.open(app::BaseDir))
        showOrgType();
}

void TMainFormKvell1::showOrgType() {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(records::orgTypePosition(m_tables.HalcyonDataSet3));
}

void TMainFormKvell1::ComboBoxTypeErrChange() {
    records::StoreOrgType(m_tables.HalcyonDataSet3, ComboBox1->currentIndex());
}

void TMainFormKvell1::EditOPFButtonClick() {
    records::PickLegalForm(m_tables.HalcyonDataSet3, app::BaseDir);
}

void TMainFormKvell1::EditOPFDblClick() {
    records::PickLegalForm(m_tables.HalcyonDataSet3, app::BaseDir);
}

void TMainFormKvell1::EditVedPrButtonClick() {
    records::PickAffiliation(m_tables.HalcyonDataSet3, app::BaseDir);
}

void TMainFormKvell1::EditVedPrDblClick() {
    records::PickAffiliation(m_tables.HalcyonDataSet3, app::BaseDir);
}

// ComboBox1KeyDown: the Delete key clears the organisation type.
bool TMainFormKvell1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        {
            const QSignalBlocker quiet(ComboBox1);
            ComboBox1->setCurrentIndex(-1);
        }
        ui::guard([this] { ComboBoxTypeErrChange(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFormKvell1::ItemExitClick() {
    close();
}

void TMainFormKvell1::FormClose() {
    m_tables.closeAtExit();
    try {
        if (m_placement)
            m_placement->save(*this, {{kGrid1HeightKey, Grid1->height()}});
    } catch (const std::exception&) {
        // The program ends anyway; a placement that cannot be kept is not worth a message.
    }
}

void TMainFormKvell1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}
