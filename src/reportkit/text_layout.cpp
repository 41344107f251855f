#include "text_layout.h"

#include <QFontDatabase>
#include <QTextLayout>
#include <cmath>
#include <mutex>

namespace reportkit {

void installFontSubstitutes() {
    static std::once_flag once;
    std::call_once(once, [] {
        const std::pair<const char*, const char*> standIns[] = {
            {"Arial", "Liberation Sans"},
            {"Times New Roman", "Liberation Serif"},
            {"Courier New", "Liberation Mono"},
        };
        for (const auto& [family, standIn] : standIns) {
            if (!QFontDatabase::hasFamily(QString::fromLatin1(family))) {
                QFont::insertSubstitution(QString::fromLatin1(family),
                                          QString::fromLatin1(standIn));
            }
        }
    });
}

TextMeasurer::TextMeasurer() {
    installFontSubstitutes();
}

TextMeasurer::Entry& TextMeasurer::entry(const FontStyle& style) {
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(style.family)
                            .arg(style.size)
                            .arg(int(style.bold))
                            .arg(int(style.italic));
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        QFont font(style.family);
        font.setPixelSize(std::max(1, int(std::lround(style.size * 1200 / 72))));
        font.setBold(style.bold);
        font.setItalic(style.italic);
        font.setHintingPreference(QFont::PreferNoHinting);
        font.setKerning(false);
        it = m_entries.try_emplace(key, Entry{font, QFontMetricsF(font)}).first;
    }
    return it->second;
}

const QFont& TextMeasurer::font(const FontStyle& style) {
    return entry(style).font;
}

double TextMeasurer::lineHeightMm(const FontStyle& style) {
    return entry(style).metrics.lineSpacing() / kDotsPerMm;
}

double TextMeasurer::ascentMm(const FontStyle& style) {
    return entry(style).metrics.ascent() / kDotsPerMm;
}

double TextMeasurer::widthMm(const FontStyle& style, const QString& text) {
    return entry(style).metrics.horizontalAdvance(text) / kDotsPerMm;
}

std::vector<TextLine> TextMeasurer::breakLines(const QString& text, const FontStyle& style,
                                               double widthMm, bool wordWrap) {
    std::vector<TextLine> lines;
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    const QStringList paragraphs = plain.split(QLatin1Char('\n'));
    const QFont& f = font(style);
    for (const QString& paragraph : paragraphs) {
        if (!wordWrap || paragraph.isEmpty()) {
            lines.push_back({paragraph, true});
            continue;
        }
        QTextLayout layout(paragraph, f);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.setCacheEnabled(false);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1.0, widthMm * kDotsPerMm));
            lines.push_back({paragraph.mid(line.textStart(), line.textLength()), false});
        }
        layout.endLayout();
        lines.back().paragraphEnd = true;
    }
    return lines;
}

} // namespace reportkit
