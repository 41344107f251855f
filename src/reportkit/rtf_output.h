#pragma once

#include "prepared.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>

namespace reportkit {

// A word-processor (RTF) file of the pages: the sheet size and margins of the
// report, each row of cells of a data band as a table row with its frames,
// other texts as paragraphs, page headers and footers as text in the flow,
// page breaks. Text goes out as \uN with a code page 1251 fallback, so Cyrillic
// reads right in old and new word processors alike. An existing file is
// replaced only once the whole document is written; Error when it cannot be.
class RtfOutput : public PageSink {
public:
    explicit RtfOutput(const QString& path);
    ~RtfOutput() override;

    void setPageBreaks(bool on) { m_pageBreaks = on; }
    // Called after each page with the pages written and the page count (0 when
    // not known in advance).
    void setProgress(std::function<void(int, int)> progress) { m_progress = std::move(progress); }

    void beginDocument(const DocumentInfo& info) override;
    void addPage(const PreparedPage& page) override;
    void endDocument() override;

    // Text as RTF: control characters escaped, non-ASCII as \uN with a fallback.
    static QByteArray encodeText(const QString& text);

private:
    void write(const QByteArray& bytes);
    QByteArray sectionSettings(const PageGeometry& g) const;
    QByteArray fontControls(const FontStyle& font) const;
    void writeParagraph(QByteArray& out, const PreparedItem& item, double spaceBefore) const;
    void writeTableRow(QByteArray& out, std::vector<const PreparedItem*> cells,
                       const PageGeometry& g) const;

    struct File;
    std::unique_ptr<File> m_file;
    QHash<QString, int> m_fonts;
    DocumentInfo m_info;
    PageGeometry m_geometry;
    int m_pagesWritten = 0;
    bool m_pageBreaks = true;
    std::function<void(int, int)> m_progress;
};

} // namespace reportkit
