#include "report_template.h"

#include <array>

namespace reportkit {

PaperSize PaperSize::named(const QString& name) {
    static const std::array<PaperSize, 5> known = {{
        {QStringLiteral("A4"), 210, 297},
        {QStringLiteral("A3"), 297, 420},
        {QStringLiteral("A5"), 148, 210},
        {QStringLiteral("Letter"), 215.9, 279.4},
        {QStringLiteral("Legal"), 215.9, 355.6},
    }};
    for (const PaperSize& p : known) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            return p;
        }
    }
    return {QString(), 0, 0};
}

Template Template::blank() {
    Template t;
    Page page;
    page.name = QStringLiteral("Page1");
    t.pages.push_back(page);
    return t;
}

QStringList Template::fontFamilies() const {
    QStringList families;
    for (const Page& page : pages) {
        for (const Band& band : page.bands) {
            for (const TextObject& object : band.objects) {
                if (!families.contains(object.font.family)) {
                    families << object.font.family;
                }
            }
        }
    }
    if (families.isEmpty()) {
        families << FontStyle().family;
    }
    return families;
}

QString bandKindTitle(BandKind kind) {
    switch (kind) {
    case BandKind::ReportTitle:
        return QStringLiteral("Заголовок отчёта");
    case BandKind::PageHeader:
        return QStringLiteral("Заголовок страницы");
    case BandKind::GroupHeader:
        return QStringLiteral("Заголовок группы");
    case BandKind::MasterData:
        return QStringLiteral("Данные");
    case BandKind::GroupFooter:
        return QStringLiteral("Подвал группы");
    case BandKind::ReportSummary:
        return QStringLiteral("Итог отчёта");
    case BandKind::PageFooter:
        return QStringLiteral("Подвал страницы");
    }
    return {};
}

} // namespace reportkit
