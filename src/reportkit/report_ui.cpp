#include "report_ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

namespace reportkit {

namespace {

class QtReportUi : public ReportUi {
public:
    bool runPrintDialog(QPrinter& printer, QWidget* parent) override {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    QString askSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                            const QString& proposedName) override {
        return QFileDialog::getSaveFileName(parent, title, proposedName, filter);
    }

    bool editRtfSettings(RtfExportSettings& settings, QWidget* parent) override {
        QDialog dialog(parent);
        dialog.setWindowTitle(QStringLiteral("Экспорт в RTF"));
        auto* layout = new QVBoxLayout(&dialog);
        auto* pageBreaks = new QCheckBox(QStringLiteral("Разрывы страниц"), &dialog);
        pageBreaks->setChecked(settings.pageBreaks);
        auto* open = new QCheckBox(QStringLiteral("Открыть после экспорта"), &dialog);
        open->setChecked(settings.openAfterExport);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(pageBreaks);
        layout->addWidget(open);
        layout->addWidget(buttons);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        settings.pageBreaks = pageBreaks->isChecked();
        settings.openAfterExport = open->isChecked();
        return true;
    }

    void openFile(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

    void showError(QWidget* parent, const QString& text) override {
        QMessageBox::critical(parent, QApplication::applicationName(), text);
    }

    void runModal(QDialog& dialog) override { dialog.exec(); }

    void beginProgress(QWidget* parent, const QString& label) override {
        m_progress = std::make_unique<QProgressDialog>(label, QString(), 0, 0, parent);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
    }

    void setProgress(int done, int total) override {
        if (m_progress) {
            m_progress->setMaximum(total);
            m_progress->setValue(total > 0 ? done : 0);
            m_progress->setLabelText(QStringLiteral("Записано страниц: %1").arg(done));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }

    void endProgress() override { m_progress.reset(); }

private:
    std::unique_ptr<QProgressDialog> m_progress;
};

} // namespace

ReportUi& qtReportUi() {
    static QtReportUi ui;
    return ui;
}

} // namespace reportkit
