#include "preview_window.h"

#include "error.h"
#include "paint_output.h"
#include "report_output.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace reportkit {

// Draws one page at the window's zoom.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) { setAutoFillBackground(false); }

    void show(const PreparedPage* page, double zoom) {
        m_page = page;
        m_zoom = zoom;
        const double pxPerMm = logicalDpiX() / 25.4 * zoom;
        const QSize size = page == nullptr ? QSize(0, 0)
                                           : QSize(int(std::ceil(page->geometry.width * pxPerMm)),
                                                   int(std::ceil(page->geometry.height * pxPerMm)));
        setFixedSize(size + QSize(2 * kMargin, 2 * kMargin));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (m_page == nullptr) {
            return;
        }
        const QRect sheet = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
        painter.fillRect(sheet.translated(3, 3), Qt::darkGray);
        painter.fillRect(sheet, Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(sheet.topLeft());
        painter.scale(logicalDpiX() * m_zoom / kDotsPerInch, logicalDpiY() * m_zoom / kDotsPerInch);
        paintPage(painter, *m_page, m_measurer);
    }

private:
    static constexpr int kMargin = 12;
    const PreparedPage* m_page = nullptr;
    double m_zoom = 1;
    TextMeasurer m_measurer;
};

PreviewWindow::PreviewWindow(PreparedReport pages, PreviewSettings settings, ReportUi& ui,
                             QWidget* parent)
    : QDialog(parent), m_pages(std::move(pages)), m_settings(std::move(settings)), m_ui(ui) {
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(900, 1000);

    auto* toolbar = new QToolBar(this);
    m_print = toolbar->addAction(QStringLiteral("Печать…"), this, &PreviewWindow::print);
    m_saveRtf =
        toolbar->addAction(QStringLiteral("Сохранить в RTF…"), this, &PreviewWindow::saveRtf);
    m_savePdf =
        toolbar->addAction(QStringLiteral("Сохранить в PDF…"), this, &PreviewWindow::savePdf);
    toolbar->addSeparator();
    toolbar->addAction(QStringLiteral("|<"), this, [this] { goToPage(0); })
        ->setToolTip(QStringLiteral("Первая страница"));
    toolbar->addAction(QStringLiteral("<"), this, [this] { goToPage(m_current - 1); })
        ->setToolTip(QStringLiteral("Предыдущая страница"));
    m_pageBox = new QSpinBox(toolbar);
    m_pageBox->setRange(1, std::max(1, pageCount()));
    toolbar->addWidget(m_pageBox);
    m_pageCountLabel = new QLabel(QStringLiteral(" из %1 ").arg(pageCount()), toolbar);
    toolbar->addWidget(m_pageCountLabel);
    toolbar->addAction(QStringLiteral(">"), this, [this] { goToPage(m_current + 1); })
        ->setToolTip(QStringLiteral("Следующая страница"));
    toolbar->addAction(QStringLiteral(">|"), this, [this] { goToPage(pageCount() - 1); })
        ->setToolTip(QStringLiteral("Последняя страница"));
    toolbar->addSeparator();
    m_zoomBox = new QComboBox(toolbar);
    for (const int percent : {50, 75, 100, 125, 150, 200, 300}) {
        m_zoomBox->addItem(QStringLiteral("%1 %").arg(percent), percent / 100.0);
    }
    m_zoomBox->setCurrentIndex(2);
    toolbar->addWidget(m_zoomBox);
    toolbar->addSeparator();
    toolbar->addAction(QStringLiteral("Закрыть"), this, &QDialog::accept);

    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(m_scroll);
    m_scroll->setWidget(m_view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(m_scroll);

    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { goToPage(page - 1); });
    connect(m_zoomBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { setZoom(m_zoomBox->itemData(index).toDouble()); });
    updateView();
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::goToPage(int index) {
    const int clamped = std::clamp(index, 0, std::max(0, pageCount() - 1));
    if (clamped != m_current) {
        m_current = clamped;
        updateView();
    }
}

void PreviewWindow::setZoom(double zoom) {
    m_zoom = std::clamp(zoom, 0.1, 8.0);
    updateView();
}

void PreviewWindow::updateView() {
    m_view->show(pageCount() == 0 ? nullptr : &m_pages.pages[std::size_t(m_current)], m_zoom);
    const QSignalBlocker pageBlocker(m_pageBox);
    m_pageBox->setValue(m_current + 1);
    const QSignalBlocker zoomBlocker(m_zoomBox);
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(m_zoom));
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(m_current + 1);
        break;
    case Qt::Key_PageUp:
        goToPage(m_current - 1);
        break;
    case Qt::Key_Home:
        goToPage(0);
        break;
    case Qt::Key_End:
        goToPage(pageCount() - 1);
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

template <typename F> void PreviewWindow::guarded(F&& action) {
    try {
        action();
    } catch (const Error& e) {
        m_ui.showError(this, e.message());
    }
}

void PreviewWindow::print() {
    guarded([this] { printReport(pagesOf(m_pages), m_settings.print, m_ui, this); });
}

void PreviewWindow::saveRtf() {
    const QString path =
        m_ui.askSaveFileName(this, QStringLiteral("Сохранить в RTF"),
                             QStringLiteral("Документ RTF (*.rtf)"), m_settings.proposedFileName);
    if (!path.isEmpty()) {
        guarded([&] { exportRtf(pagesOf(m_pages), path, m_settings.rtf, m_ui, this); });
    }
}

void PreviewWindow::savePdf() {
    const QString path =
        m_ui.askSaveFileName(this, QStringLiteral("Сохранить в PDF"),
                             QStringLiteral("Документ PDF (*.pdf)"), m_settings.proposedFileName);
    if (!path.isEmpty()) {
        guarded([&] {
            PdfOutput pdf(path, QFileInfo(path).completeBaseName());
            m_pages.replay(pdf);
        });
    }
}

void showPreview(const Report& report, const PreviewSettings& settings, ReportUi& ui,
                 QWidget* parent) {
    PreviewWindow window(report.prepare(), settings, ui, parent);
    ui.runModal(window);
}

} // namespace reportkit
