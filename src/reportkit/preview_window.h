#pragma once

#include "prepared.h"
#include "report.h"
#include "report_ui.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace reportkit {

class PageView;

struct PreviewSettings {
    PrintOptions print;
    RtfExportSettings rtf{true, false, false, true}; // the options dialog on, as a request sets it
    QString proposedFileName;                        // for the save dialogs, without extension
};

// The preview of prepared pages: one page at a time, zoom, page navigation,
// print, save as RTF and as PDF. Failures of printing and saving are shown
// through the user-interface hooks and leave the window usable.
class PreviewWindow : public QDialog {
    Q_OBJECT

public:
    PreviewWindow(PreparedReport pages, PreviewSettings settings, ReportUi& ui,
                  QWidget* parent = nullptr);
    ~PreviewWindow() override;

    int pageCount() const { return int(m_pages.pages.size()); }
    int currentPage() const { return m_current; } // 0-based
    void goToPage(int index);
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);

    QAction* printAction() const { return m_print; }
    QAction* saveRtfAction() const { return m_saveRtf; }
    QAction* savePdfAction() const { return m_savePdf; }

    void print();
    void saveRtf();
    void savePdf();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateView();
    template <typename F> void guarded(F&& action);

    PreparedReport m_pages;
    PreviewSettings m_settings;
    ReportUi& m_ui;
    int m_current = 0;
    double m_zoom = 1.0;
    PageView* m_view = nullptr;
    QScrollArea* m_scroll = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageCountLabel = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QAction* m_print = nullptr;
    QAction* m_saveRtf = nullptr;
    QAction* m_savePdf = nullptr;
};

// Prepares the report and shows it in a modal preview. Error when the report
// cannot be prepared.
void showPreview(const Report& report, const PreviewSettings& settings, ReportUi& ui,
                 QWidget* parent = nullptr);

} // namespace reportkit
