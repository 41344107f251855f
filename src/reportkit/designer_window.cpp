#include "designer_window.h"

#include "design_canvas.h"
#include "error.h"
#include "template_file.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace reportkit {

namespace {

constexpr std::size_t kUndoDepth = 100;

// Where a new band goes: page header and report title at the top, page footer
// and summary at the end, others after the selected band.
std::size_t insertPosition(const Page& page, BandKind kind, int selected) {
    switch (kind) {
    case BandKind::PageHeader:
        return 0;
    case BandKind::ReportTitle:
        return !page.bands.empty() && page.bands.front().kind == BandKind::PageHeader ? 1 : 0;
    case BandKind::PageFooter:
    case BandKind::ReportSummary:
        return page.bands.size();
    default:
        return selected >= 0 ? std::size_t(selected) + 1 : page.bands.size();
    }
}

} // namespace

DesignerWindow::DesignerWindow(Report& report, ReportUi& ui, QWidget* parent)
    : QDialog(parent), m_report(report), m_ui(ui), m_model(report.model()) {
    if (m_model.pages.empty()) {
        m_model = Template::blank();
    }
    setWindowTitle(QStringLiteral("Дизайнер отчёта"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(1200, 900);

    auto* toolbar = new QToolBar(this);
    m_save = toolbar->addAction(QStringLiteral("Сохранить"), this, &DesignerWindow::save);
    m_save->setShortcut(QKeySequence::Save);
    m_undoAction = toolbar->addAction(QStringLiteral("Отменить"), this, &DesignerWindow::undo);
    m_undoAction->setShortcut(QKeySequence::Undo);
    toolbar->addSeparator();
    toolbar->addAction(QStringLiteral("Добавить текст"), this, &DesignerWindow::addTextObject);
    auto* bandMenu = new QMenu(this);
    for (const BandKind kind :
         {BandKind::ReportTitle, BandKind::PageHeader, BandKind::GroupHeader, BandKind::MasterData,
          BandKind::GroupFooter, BandKind::ReportSummary, BandKind::PageFooter}) {
        bandMenu->addAction(bandKindTitle(kind), this, [this, kind] { addBand(kind); });
    }
    auto* bandButton = new QToolButton(toolbar);
    bandButton->setText(QStringLiteral("Добавить полосу"));
    bandButton->setMenu(bandMenu);
    bandButton->setPopupMode(QToolButton::InstantPopup);
    toolbar->addWidget(bandButton);
    toolbar->addAction(QStringLiteral("Удалить"), this, &DesignerWindow::deleteSelection);
    toolbar->addSeparator();
    toolbar->addAction(QStringLiteral("Просмотр"), this, &DesignerWindow::preview);
    toolbar->addAction(QStringLiteral("Закрыть"), this, &QDialog::accept);

    auto* scroll = new QScrollArea(this);
    scroll->setBackgroundRole(QPalette::Dark);
    m_canvas = new DesignCanvas(*this);
    scroll->setWidget(m_canvas);
    auto* panel = new QWidget(this);
    buildPanel(panel);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(scroll);
    splitter->addWidget(panel);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolbar);
    layout->addWidget(splitter);
    fillPanel();
    m_canvas->setFocus();
}

DesignerWindow::~DesignerWindow() = default;

void DesignerWindow::buildPanel(QWidget* panel) {
    m_panels = new QStackedWidget(panel);
    auto* outer = new QVBoxLayout(panel);
    outer->addWidget(m_panels);
    m_panels->addWidget(new QLabel(QStringLiteral("Выберите объект или полосу"), m_panels));

    // The text object's properties.
    auto* object = new QWidget(m_panels);
    auto* form = new QVBoxLayout(object);
    form->addWidget(new QLabel(QStringLiteral("Текст:"), object));
    m_text = new QPlainTextEdit(object);
    form->addWidget(m_text, 2);
    form->addWidget(
        new QLabel(QStringLiteral("Поля источников данных (двойной щелчок — вставить):"), object));
    m_fields = new QListWidget(object);
    for (const QString& source : m_report.dataSourceNames()) {
        for (const QString& field : m_report.dataSource(source)->fieldNames()) {
            auto* item = new QListWidgetItem(source + QLatin1Char('.') + field, m_fields);
            item->setData(Qt::UserRole, source);
            item->setData(Qt::UserRole + 1, field);
        }
    }
    form->addWidget(m_fields, 1);
    auto* props = new QFormLayout;
    m_family = new QComboBox(object);
    m_family->setEditable(true);
    m_family->addItems({QStringLiteral("Arial"), QStringLiteral("Times New Roman"),
                        QStringLiteral("Courier New")});
    props->addRow(QStringLiteral("Шрифт:"), m_family);
    m_size = new QDoubleSpinBox(object);
    m_size->setRange(1, 500);
    m_size->setSingleStep(0.5);
    m_size->setSuffix(QStringLiteral(" пт"));
    props->addRow(QStringLiteral("Размер:"), m_size);
    auto* style = new QHBoxLayout;
    m_bold = new QCheckBox(QStringLiteral("Жирный"), object);
    m_italic = new QCheckBox(QStringLiteral("Курсив"), object);
    style->addWidget(m_bold);
    style->addWidget(m_italic);
    props->addRow(style);
    m_hAlign = new QComboBox(object);
    m_hAlign->addItems({QStringLiteral("По левому краю"), QStringLiteral("По центру"),
                        QStringLiteral("По правому краю")});
    props->addRow(QStringLiteral("Выравнивание:"), m_hAlign);
    auto* frames = new QGridLayout;
    const char* frameTitles[] = {"Слева", "Сверху", "Справа", "Снизу"};
    for (int i = 0; i < 4; ++i) {
        m_frames[i] = new QCheckBox(QString::fromUtf8(frameTitles[i]), object);
        frames->addWidget(m_frames[i], i / 2, i % 2);
    }
    props->addRow(QStringLiteral("Рамка:"), frames);
    m_wordWrap = new QCheckBox(QStringLiteral("Перенос по словам"), object);
    m_stretch = new QCheckBox(QStringLiteral("Растягивать по тексту"), object);
    props->addRow(m_wordWrap);
    props->addRow(m_stretch);
    form->addLayout(props);
    m_panels->addWidget(object);

    // The band's properties.
    auto* band = new QWidget(m_panels);
    auto* bandForm = new QFormLayout(band);
    m_bandHeight = new QDoubleSpinBox(band);
    m_bandHeight->setRange(0, 5000);
    m_bandHeight->setSuffix(QStringLiteral(" мм"));
    bandForm->addRow(QStringLiteral("Высота:"), m_bandHeight);
    m_dataSource = new QComboBox(band);
    m_dataSource->setEditable(true);
    m_dataSource->addItems(m_report.dataSourceNames());
    bandForm->addRow(QStringLiteral("Источник данных:"), m_dataSource);
    m_condition = new QLineEdit(band);
    bandForm->addRow(QStringLiteral("Условие группы:"), m_condition);
    m_panels->addWidget(band);

    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        editObject(QStringLiteral("text"),
                   [this](TextObject& o) { o.text = m_text->toPlainText(); });
    });
    connect(m_fields, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        insertField(item->data(Qt::UserRole).toString(), item->data(Qt::UserRole + 1).toString());
    });
    connect(m_family, &QComboBox::currentTextChanged, this, [this](const QString& family) {
        editObject(QStringLiteral("font"), [&](TextObject& o) { o.font.family = family; });
    });
    connect(m_size, &QDoubleSpinBox::valueChanged, this, [this](double size) {
        editObject(QStringLiteral("size"), [&](TextObject& o) { o.font.size = size; });
    });
    connect(m_bold, &QCheckBox::toggled, this, [this](bool on) {
        editObject(QStringLiteral("bold"), [&](TextObject& o) { o.font.bold = on; });
    });
    connect(m_italic, &QCheckBox::toggled, this, [this](bool on) {
        editObject(QStringLiteral("italic"), [&](TextObject& o) { o.font.italic = on; });
    });
    connect(m_hAlign, &QComboBox::currentIndexChanged, this, [this](int index) {
        editObject(QStringLiteral("align"), [&](TextObject& o) { o.hAlign = HAlign(index); });
    });
    const unsigned frameFlags[] = {FrameLeft, FrameTop, FrameRight, FrameBottom};
    for (int i = 0; i < 4; ++i) {
        connect(m_frames[i], &QCheckBox::toggled, this, [this, flag = frameFlags[i]](bool on) {
            editObject(QStringLiteral("frame"), [&](TextObject& o) {
                o.frames = on ? (o.frames | flag) : (o.frames & ~flag);
            });
        });
    }
    connect(m_wordWrap, &QCheckBox::toggled, this, [this](bool on) {
        editObject(QStringLiteral("wordWrap"), [&](TextObject& o) { o.wordWrap = on; });
    });
    connect(m_stretch, &QCheckBox::toggled, this, [this](bool on) {
        editObject(QStringLiteral("stretch"), [&](TextObject& o) { o.stretch = on; });
    });
    connect(m_bandHeight, &QDoubleSpinBox::valueChanged, this, [this](double h) {
        editBand(QStringLiteral("height"), [&](Band& b) { b.height = h; });
    });
    connect(m_dataSource, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        editBand(QStringLiteral("source"), [&](Band& b) { b.dataSource = name; });
    });
    connect(m_condition, &QLineEdit::textChanged, this, [this](const QString& text) {
        editBand(QStringLiteral("condition"), [&](Band& b) { b.condition = text; });
    });
}

void DesignerWindow::fillPanel() {
    const TextObject* o = selectedObject();
    const Band* b = selectedBand();
    m_panels->setCurrentIndex(o != nullptr ? 1 : b != nullptr ? 2 : 0);
    const QSignalBlocker blockers[] = {
        QSignalBlocker(m_text),       QSignalBlocker(m_family),     QSignalBlocker(m_size),
        QSignalBlocker(m_bold),       QSignalBlocker(m_italic),     QSignalBlocker(m_hAlign),
        QSignalBlocker(m_frames[0]),  QSignalBlocker(m_frames[1]),  QSignalBlocker(m_frames[2]),
        QSignalBlocker(m_frames[3]),  QSignalBlocker(m_wordWrap),   QSignalBlocker(m_stretch),
        QSignalBlocker(m_bandHeight), QSignalBlocker(m_dataSource), QSignalBlocker(m_condition)};
    if (o != nullptr) {
        if (m_text->toPlainText() != o->text) {
            m_text->setPlainText(o->text);
        }
        m_family->setCurrentText(o->font.family);
        m_size->setValue(o->font.size);
        m_bold->setChecked(o->font.bold);
        m_italic->setChecked(o->font.italic);
        m_hAlign->setCurrentIndex(int(o->hAlign));
        const unsigned flags[] = {FrameLeft, FrameTop, FrameRight, FrameBottom};
        for (int i = 0; i < 4; ++i) {
            m_frames[i]->setChecked(o->frames & flags[i]);
        }
        m_wordWrap->setChecked(o->wordWrap);
        m_stretch->setChecked(o->stretch);
    } else if (b != nullptr) {
        m_bandHeight->setValue(b->height);
        m_dataSource->setCurrentText(b->dataSource);
        m_dataSource->setEnabled(b->kind == BandKind::MasterData);
        m_condition->setText(b->condition);
        m_condition->setEnabled(b->kind == BandKind::GroupHeader);
    }
}

Band* DesignerWindow::selectedBand() {
    auto& bands = page().bands;
    return m_selection.band >= 0 && m_selection.band < int(bands.size())
               ? &bands[std::size_t(m_selection.band)]
               : nullptr;
}

TextObject* DesignerWindow::selectedObject() {
    Band* band = selectedBand();
    return band != nullptr && m_selection.object >= 0 &&
                   m_selection.object < int(band->objects.size())
               ? &band->objects[std::size_t(m_selection.object)]
               : nullptr;
}

void DesignerWindow::select(DesignSelection selection) {
    if (!(selection == m_selection)) {
        m_selection = selection;
        m_lastChangeKey.clear();
        fillPanel();
        m_canvas->update();
    }
}

void DesignerWindow::beginChange(const QString& key) {
    if (key.isEmpty() || key != m_lastChangeKey) {
        m_undo.push_back(m_model);
        if (m_undo.size() > kUndoDepth) {
            m_undo.erase(m_undo.begin());
        }
    }
    m_lastChangeKey = key;
}

void DesignerWindow::modelChanged() {
    m_canvas->refresh();
    fillPanel();
}

template <typename F> void DesignerWindow::editObject(const QString& key, F&& apply) {
    if (TextObject* o = selectedObject()) {
        beginChange(key);
        apply(*o);
        m_canvas->refresh();
    }
}

template <typename F> void DesignerWindow::editBand(const QString& key, F&& apply) {
    if (selectedBand() != nullptr && selectedObject() == nullptr) {
        beginChange(key);
        apply(*selectedBand());
        m_canvas->refresh();
    }
}

void DesignerWindow::addTextObject() {
    if (page().bands.empty()) {
        m_ui.showError(this, QStringLiteral("Сначала добавьте полосу"));
        return;
    }
    const int band = std::max(0, m_selection.band);
    beginChange(QString());
    std::vector<TextObject>& objects = page().bands[std::size_t(band)].objects;
    TextObject object;
    // A name no other object of the template has.
    for (int n = 1;; ++n) {
        object.name = QStringLiteral("Text%1").arg(n);
        bool taken = false;
        for (const Page& p : m_model.pages) {
            for (const Band& b : p.bands) {
                taken = taken ||
                        std::any_of(b.objects.begin(), b.objects.end(),
                                    [&](const TextObject& o) { return o.name == object.name; });
            }
        }
        if (!taken) {
            break;
        }
    }
    objects.push_back(object);
    m_selection = {band, int(objects.size()) - 1};
    m_lastChangeKey.clear();
    modelChanged();
}

void DesignerWindow::addBand(BandKind kind) {
    beginChange(QString());
    Band band;
    band.kind = kind;
    if (kind == BandKind::MasterData && !m_report.dataSourceNames().isEmpty()) {
        band.dataSource = m_report.dataSourceNames().front();
    }
    const std::size_t at = insertPosition(page(), kind, m_selection.band);
    page().bands.insert(page().bands.begin() + std::ptrdiff_t(at), band);
    m_selection = {int(at), -1};
    m_lastChangeKey.clear();
    modelChanged();
}

void DesignerWindow::deleteSelection() {
    Band* band = selectedBand();
    if (band == nullptr) {
        return;
    }
    beginChange(QString());
    if (selectedObject() != nullptr) {
        band->objects.erase(band->objects.begin() + m_selection.object);
    } else {
        page().bands.erase(page().bands.begin() + m_selection.band);
    }
    m_selection = {};
    m_lastChangeKey.clear();
    modelChanged();
}

void DesignerWindow::nudge(double dx, double dy, bool resize) {
    if (TextObject* o = selectedObject()) {
        beginChange(resize ? QStringLiteral("key size") : QStringLiteral("key move"));
        if (resize) {
            o->width = std::max(1.0, o->width + dx);
            o->height = std::max(1.0, o->height + dy);
        } else {
            o->x = std::max(0.0, o->x + dx);
            o->y = std::max(0.0, o->y + dy);
        }
        modelChanged();
    } else if (Band* b = selectedBand(); b != nullptr && dy != 0) {
        beginChange(QStringLiteral("key band"));
        b->height = std::max(0.0, b->height + dy);
        modelChanged();
    }
}

void DesignerWindow::undo() {
    if (m_undo.empty()) {
        return;
    }
    m_model = std::move(m_undo.back());
    m_undo.pop_back();
    m_lastChangeKey.clear();
    if (selectedBand() == nullptr || (m_selection.object >= 0 && selectedObject() == nullptr)) {
        m_selection = {};
    }
    modelChanged();
}

bool DesignerWindow::save() {
    QString path = m_report.fileName();
    if (path.isEmpty()) {
        path = m_ui.askSaveFileName(this, QStringLiteral("Сохранить шаблон"),
                                    QStringLiteral("Шаблон отчёта (*.fr3)"), QString());
        if (path.isEmpty()) {
            return false;
        }
    }
    try {
        saveTemplateFile(m_model, path);
    } catch (const Error& e) {
        m_ui.showError(this, e.message());
        return false;
    }
    m_report.setModel(m_model);
    m_report.setFileName(path);
    m_lastChangeKey.clear();
    return true;
}

void DesignerWindow::preview() {
    Report draft = m_report;
    draft.setModel(m_model);
    try {
        showPreview(draft, {}, m_ui, this);
    } catch (const Error& e) {
        m_ui.showError(this, e.message());
    }
}

void DesignerWindow::insertField(const QString& source, const QString& field) {
    if (selectedObject() != nullptr) {
        m_text->insertPlainText(QStringLiteral("[%1.\"%2\"]").arg(source, field));
    }
}

void DesignerWindow::keyPressEvent(QKeyEvent* event) {
    // Enter in a panel field must not close the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void runDesigner(Report& report, ReportUi& ui, QWidget* parent) {
    DesignerWindow window(report, ui, parent);
    ui.runModal(window);
}

} // namespace reportkit
