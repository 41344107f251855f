#include "prepared.h"

namespace reportkit {

QString PreparedItem::plainText() const {
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i].text;
        if (lines[i].paragraphEnd && i + 1 < lines.size()) {
            text += QLatin1Char('\n');
        }
    }
    return text;
}

void PreparedReport::beginDocument(const DocumentInfo& i) {
    info = i;
    pages.clear();
}

void PreparedReport::addPage(const PreparedPage& page) {
    pages.push_back(page);
}

void PreparedReport::replay(PageSink& sink) const {
    DocumentInfo i = info;
    i.pageCount = static_cast<int>(pages.size());
    sink.beginDocument(i);
    for (const PreparedPage& page : pages) {
        sink.addPage(page);
    }
    sink.endDocument();
}

} // namespace reportkit
