#include "rtf_output.h"

#include "error.h"

#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cmath>

namespace reportkit {

namespace {

constexpr double kTwipsPerMm = 1440 / 25.4;

int twips(double mm) {
    return int(std::lround(mm * kTwipsPerMm));
}

QByteArray num(int v) {
    return QByteArray::number(v);
}

// Code page 1251, bytes 0x80 to 0xFF (0 where the byte is unassigned).
constexpr std::array<char16_t, 128> cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The code page 1251 byte of a character, or '?' where it has none.
char cp1251Byte(char16_t c) {
    if (c >= 0x0410 && c <= 0x044F) {
        return char(0xC0 + (c - 0x0410));
    }
    const auto it = std::find(cp1251High.begin(), cp1251High.end(), c);
    return it == cp1251High.end() || c == 0 ? '?' : char(0x80 + (it - cp1251High.begin()));
}

QByteArray alignment(HAlign a) {
    switch (a) {
    case HAlign::Center:
        return "\\qc";
    case HAlign::Right:
        return "\\qr";
    case HAlign::Left:
        break;
    }
    return "\\ql";
}

bool isTableBand(BandKind kind) {
    return kind == BandKind::MasterData || kind == BandKind::GroupHeader ||
           kind == BandKind::GroupFooter;
}

} // namespace

struct RtfOutput::File {
    QSaveFile file;
};

RtfOutput::RtfOutput(const QString& path) : m_file(std::make_unique<File>()) {
    m_file->file.setFileName(path);
}

RtfOutput::~RtfOutput() = default;

QByteArray RtfOutput::encodeText(const QString& text) {
    QByteArray out;
    out.reserve(text.size() + 16);
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else if (c < 0x20) {
            continue; // other control characters have no place in the text
        } else {
            out += "\\u" + num(int(std::int16_t(c)));
            const char fallback = cp1251Byte(c);
            if (fallback == '?') {
                out += '?';
            } else {
                out += "\\'" + QByteArray::number(uchar(fallback), 16).rightJustified(2, '0');
            }
        }
    }
    return out;
}

void RtfOutput::write(const QByteArray& bytes) {
    if (m_file->file.write(bytes) != bytes.size()) {
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(m_file->file.fileName(), m_file->file.errorString()));
    }
}

QByteArray RtfOutput::sectionSettings(const PageGeometry& g) const {
    QByteArray s = "\\pgwsxn" + num(twips(g.width)) + "\\pghsxn" + num(twips(g.height)) +
                   "\\marglsxn" + num(twips(g.leftMargin)) + "\\margrsxn" +
                   num(twips(g.rightMargin)) + "\\margtsxn" + num(twips(g.topMargin)) +
                   "\\margbsxn" + num(twips(g.bottomMargin));
    if (g.orientation == Orientation::Landscape) {
        s += "\\lndscpsxn";
    }
    return s;
}

QByteArray RtfOutput::fontControls(const FontStyle& font) const {
    QByteArray s =
        "\\f" + num(m_fonts.value(font.family, 0)) + "\\fs" + num(int(std::lround(font.size * 2)));
    if (font.bold) {
        s += "\\b";
    }
    if (font.italic) {
        s += "\\i";
    }
    return s + ' ';
}

void RtfOutput::beginDocument(const DocumentInfo& info) {
    m_info = info;
    if (!m_file->file.open(QIODevice::WriteOnly)) {
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(m_file->file.fileName(), m_file->file.errorString()));
    }
    QByteArray head = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl";
    for (const QString& family : info.fontFamilies) {
        const int index = int(m_fonts.size());
        m_fonts.insert(family, index);
        head += "{\\f" + num(index) + "\\fnil\\fcharset204 " + encodeText(family) + ";}";
    }
    head += "}\n{\\colortbl;\\red0\\green0\\blue0;}\n";
    head += "{\\info{\\title Report}}\n\\viewkind1\n";
    write(head);
}

void RtfOutput::addPage(const PreparedPage& page) {
    const PageGeometry& g = page.geometry;
    QByteArray out;
    if (m_pagesWritten == 0) {
        out += "\\paperw" + num(twips(g.width)) + "\\paperh" + num(twips(g.height)) + "\\margl" +
               num(twips(g.leftMargin)) + "\\margr" + num(twips(g.rightMargin)) + "\\margt" +
               num(twips(g.topMargin)) + "\\margb" + num(twips(g.bottomMargin));
        if (g.orientation == Orientation::Landscape) {
            out += "\\landscape";
        }
        out += "\n\\sectd" + sectionSettings(g) + '\n';
    } else if (!(g == m_geometry)) {
        out += "\\sect\\sectd" + sectionSettings(g) + '\n';
    } else if (m_pageBreaks) {
        out += "\\pard\\plain\\page\n";
    }
    m_geometry = g;

    // Bands one after another; in each band the items in rows by their top.
    double lastBottom = g.topMargin;
    std::size_t i = 0;
    while (i < page.items.size()) {
        std::size_t end = i;
        while (end < page.items.size() && page.items[end].bandSerial == page.items[i].bandSerial) {
            ++end;
        }
        std::vector<const PreparedItem*> band;
        for (std::size_t k = i; k < end; ++k) {
            band.push_back(&page.items[k]);
        }
        std::stable_sort(band.begin(), band.end(),
                         [](const PreparedItem* a, const PreparedItem* b) {
                             return a->rect.top() < b->rect.top() - 0.5 ||
                                    (std::abs(a->rect.top() - b->rect.top()) <= 0.5 &&
                                     a->rect.left() < b->rect.left());
                         });
        std::size_t r = 0;
        while (r < band.size()) {
            std::vector<const PreparedItem*> row{band[r]};
            while (r + row.size() < band.size() &&
                   std::abs(band[r + row.size()]->rect.top() - band[r]->rect.top()) <= 0.5) {
                row.push_back(band[r + row.size()]);
            }
            r += row.size();
            const double top = row.front()->rect.top();
            double bottom = 0;
            for (const PreparedItem* item : row) {
                bottom = std::max(bottom, item->rect.bottom());
            }
            const bool table = isTableBand(row.front()->bandKind) || row.size() > 1 ||
                               row.front()->frames != FrameNone;
            if (table) {
                if (top - lastBottom > 0.5) {
                    // An empty paragraph of the gap's height keeps the table in place.
                    out += "\\pard\\plain\\sl-" + num(twips(top - lastBottom)) +
                           "\\slmult0\\fs2\\par\n";
                }
                writeTableRow(out, row, g);
            } else {
                writeParagraph(out, *row.front(), std::max(0.0, top - lastBottom));
            }
            lastBottom = std::max(lastBottom, bottom);
        }
        i = end;
    }
    write(out);
    ++m_pagesWritten;
    if (m_progress) {
        m_progress(m_pagesWritten, m_info.pageCount);
    }
}

void RtfOutput::writeParagraph(QByteArray& out, const PreparedItem& item,
                               double spaceBefore) const {
    const double contentRight = m_geometry.width - m_geometry.rightMargin;
    out += "\\pard\\plain" + alignment(item.hAlign) + "\\li" +
           num(std::max(0, twips(item.rect.left() - m_geometry.leftMargin))) + "\\ri" +
           num(std::max(0, twips(contentRight - item.rect.right()))) + "\\sb" +
           num(twips(spaceBefore)) + "\\sa0" + fontControls(item.font);
    out += encodeText(item.plainText()).replace("\n", "\\par\n");
    out += "\\par\n";
}

void RtfOutput::writeTableRow(QByteArray& out, std::vector<const PreparedItem*> cells,
                              const PageGeometry& g) const {
    double height = 0;
    for (const PreparedItem* c : cells) {
        height = std::max(height, c->rect.height());
    }
    const double left = cells.front()->rect.left();
    out += "\\trowd\\trgaph0\\trleft" + num(twips(left - g.leftMargin)) + "\\trrh" +
           num(twips(height)) + '\n';
    // A gap between two cells becomes an empty cell without frames.
    QByteArray content;
    double x = left;
    int lastCellx = twips(left - g.leftMargin);
    const int pad = twips(kTextPaddingMm);
    for (const PreparedItem* c : cells) {
        if (c->rect.left() > x + 0.2) {
            lastCellx = twips(c->rect.left() - g.leftMargin);
            out += "\\cellx" + num(lastCellx) + '\n';
            content += "\\pard\\plain\\intbl\\fs2\\cell\n";
        }
        for (const auto& [flag, name] : {std::pair{FrameTop, "t"}, std::pair{FrameLeft, "l"},
                                         std::pair{FrameBottom, "b"}, std::pair{FrameRight, "r"}}) {
            if (c->frames & flag) {
                out += QByteArray("\\clbrdr") + name + "\\brdrs\\brdrw" +
                       num(int(std::lround(c->frameWidth * 20)));
            }
        }
        out += c->vAlign == VAlign::Center   ? "\\clvertalc"
               : c->vAlign == VAlign::Bottom ? "\\clvertalb"
                                             : "\\clvertalt";
        out += "\\clpadl" + num(pad) + "\\clpadfl3\\clpadr" + num(pad) + "\\clpadfr3\\clpadt" +
               num(pad) + "\\clpadft3\\clpadb" + num(pad) + "\\clpadfb3";
        // Cells that overlap still need rising boundaries.
        x = std::max(x, c->rect.right());
        lastCellx = std::max(lastCellx + 20, twips(c->rect.right() - g.leftMargin));
        out += "\\cellx" + num(lastCellx) + '\n';
        content += "\\pard\\plain\\intbl" + alignment(c->hAlign) + fontControls(c->font) +
                   encodeText(c->plainText()).replace("\n", "\\par\n") + "\\cell\n";
    }
    out += content + "\\row\n";
}

void RtfOutput::endDocument() {
    write("\\pard\\plain\\par\n}\n");
    if (!m_file->file.commit()) {
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(m_file->file.fileName(), m_file->file.errorString()));
    }
}

} // namespace reportkit
