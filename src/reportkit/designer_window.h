#pragma once

#include "preview_window.h"
#include "report.h"
#include "report_template.h"
#include "report_ui.h"

#include <QDialog>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;

namespace reportkit {

class DesignCanvas;

// What is selected in the designer: a band, or an object of a band (object -1:
// the band itself; band -1: nothing).
struct DesignSelection {
    int band = -1;
    int object = -1;
    bool operator==(const DesignSelection&) const = default;
};

// The designer: a modal window on the template of a report. Bands and text
// objects are drawn on the page; they are selected, moved and resized with the
// mouse or the arrow keys (Shift: size), added and deleted; the selected
// object's text, font, alignment and frames are edited in the panel, with the
// registered data sources' fields to insert. Undo goes back step by step.
// "Сохранить" writes the template to the report's file; the report itself
// takes the edited template at once.
class DesignerWindow : public QDialog {
    Q_OBJECT

public:
    DesignerWindow(Report& report, ReportUi& ui, QWidget* parent = nullptr);
    ~DesignerWindow() override;

    const Template& model() const { return m_model; }
    const DesignSelection& selection() const { return m_selection; }
    void select(DesignSelection selection);
    int currentPage() const { return m_page; }

    // Editing steps, each one undoable.
    void addTextObject();
    void addBand(BandKind kind);
    void deleteSelection();
    // Moves (or, with resize, sizes) the selected object or band by millimetres.
    void nudge(double dx, double dy, bool resize);
    void undo();
    bool canUndo() const { return !m_undo.empty(); }
    bool save();
    void preview();
    void insertField(const QString& source, const QString& field);

    DesignCanvas* canvas() const { return m_canvas; }
    QPlainTextEdit* textEditor() const { return m_text; }
    QListWidget* fieldList() const { return m_fields; }
    QAction* saveAction() const { return m_save; }
    QAction* undoAction() const { return m_undoAction; }

    // Undo support for the canvas: a snapshot before a change, coalesced while
    // the same kind of change (the key) goes on.
    void beginChange(const QString& key);
    Band* selectedBand();
    TextObject* selectedObject();
    Page& page() { return m_model.pages[std::size_t(m_page)]; }
    void modelChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildPanel(QWidget* panel);
    void fillPanel();
    template <typename F> void editObject(const QString& key, F&& apply);
    template <typename F> void editBand(const QString& key, F&& apply);

    Report& m_report;
    ReportUi& m_ui;
    Template m_model;
    int m_page = 0;
    DesignSelection m_selection;
    std::vector<Template> m_undo;
    QString m_lastChangeKey;

    DesignCanvas* m_canvas = nullptr;
    QStackedWidget* m_panels = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QListWidget* m_fields = nullptr;
    QComboBox* m_family = nullptr;
    QDoubleSpinBox* m_size = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QComboBox* m_hAlign = nullptr;
    QCheckBox* m_frames[4] = {};
    QCheckBox* m_wordWrap = nullptr;
    QCheckBox* m_stretch = nullptr;
    QDoubleSpinBox* m_bandHeight = nullptr;
    QComboBox* m_dataSource = nullptr;
    QLineEdit* m_condition = nullptr;
    QAction* m_save = nullptr;
    QAction* m_undoAction = nullptr;
};

// Opens the designer on the report's template, modally.
void runDesigner(Report& report, ReportUi& ui, QWidget* parent = nullptr);

} // namespace reportkit
