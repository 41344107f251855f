#pragma once

#include "report_template.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <unordered_map>
#include <vector>

namespace reportkit {

// Text is measured and drawn in dots of 1/1200 inch with unhinted fonts of a
// pixel size in those dots, so line breaks and widths are the same on screen,
// on paper, in PDF and on every machine with the same fonts.
constexpr double kDotsPerMm = 1200 / 25.4;
// Space between a text object's edge and its text, on every side.
constexpr double kTextPaddingMm = 0.5;

struct TextLine {
    QString text;
    bool paragraphEnd = false; // a line break of the text follows this line
};

// Puts the metric stand-ins (Liberation) in for Arial, Times New Roman and
// Courier New where those fonts are not installed.
void installFontSubstitutes();

class TextMeasurer {
public:
    TextMeasurer();

    const QFont& font(const FontStyle& style);
    double lineHeightMm(const FontStyle& style);
    double ascentMm(const FontStyle& style);
    double widthMm(const FontStyle& style, const QString& text);
    // The text broken into lines that fit widthMm (word wrap on) or at its own
    // line breaks only (word wrap off).
    std::vector<TextLine> breakLines(const QString& text, const FontStyle& style, double widthMm,
                                     bool wordWrap);

private:
    struct Entry {
        QFont font;
        QFontMetricsF metrics;
    };
    Entry& entry(const FontStyle& style);

    std::unordered_map<QString, Entry> m_entries;
};

} // namespace reportkit
