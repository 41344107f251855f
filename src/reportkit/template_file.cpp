#include "template_file.h"

#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <array>
#include <cmath>
#include <utility>

namespace reportkit {

namespace {

template <typename E> struct Name {
    E value;
    const char* text;
};

constexpr std::array<Name<BandKind>, 7> bandKindNames = {{
    {BandKind::ReportTitle, "reportTitle"},
    {BandKind::PageHeader, "pageHeader"},
    {BandKind::GroupHeader, "groupHeader"},
    {BandKind::MasterData, "masterData"},
    {BandKind::GroupFooter, "groupFooter"},
    {BandKind::ReportSummary, "reportSummary"},
    {BandKind::PageFooter, "pageFooter"},
}};
constexpr std::array<Name<HAlign>, 3> hAlignNames = {
    {{HAlign::Left, "left"}, {HAlign::Center, "center"}, {HAlign::Right, "right"}}};
constexpr std::array<Name<VAlign>, 3> vAlignNames = {
    {{VAlign::Top, "top"}, {VAlign::Center, "center"}, {VAlign::Bottom, "bottom"}}};
constexpr std::array<Name<Orientation>, 2> orientationNames = {
    {{Orientation::Portrait, "portrait"}, {Orientation::Landscape, "landscape"}}};
constexpr std::array<Name<Frame>, 4> frameNames = {
    {{FrameLeft, "left"}, {FrameTop, "top"}, {FrameRight, "right"}, {FrameBottom, "bottom"}}};

template <typename E, std::size_t N> QString nameOf(const std::array<Name<E>, N>& names, E value) {
    for (const auto& n : names) {
        if (n.value == value) {
            return QString::fromLatin1(n.text);
        }
    }
    return {};
}

QString number(double v) {
    return QString::number(std::round(v * 100) / 100, 'g', 12);
}

// Reads one element's attributes, checking each against what the element allows.
class Reader {
public:
    Reader(const QByteArray& xml, QString fileName) : m_xml(xml), m_fileName(std::move(fileName)) {}

    Template read() {
        Template report;
        if (!nextChild(QStringLiteral("report"))) {
            fail(QStringLiteral("нет элемента <report>"));
        }
        attributes({QStringLiteral("version")});
        if (const auto v = text(QStringLiteral("version"), QStringLiteral("1")); v != u"1") {
            fail(QStringLiteral("неизвестная версия формата «%1»").arg(v));
        }
        while (nextChild(QStringLiteral("page"))) {
            report.pages.push_back(readPage());
        }
        if (report.pages.empty()) {
            fail(QStringLiteral("в шаблоне нет ни одной страницы <page>"));
        }
        while (!m_xml.atEnd()) {
            m_xml.readNext();
        }
        checkXml();
        return report;
    }

private:
    [[noreturn]] void fail(const QString& what) const {
        throw Error(QStringLiteral("Шаблон отчёта «%1», строка %2: %3")
                        .arg(QFileInfo(m_fileName).fileName())
                        .arg(m_xml.lineNumber())
                        .arg(what));
    }

    void checkXml() {
        if (m_xml.hasError()) {
            fail(QStringLiteral("ошибка разметки XML: %1").arg(m_xml.errorString()));
        }
    }

    // Moves to the next child element, which must be called `expected`; false at
    // the end of the current element. Text between elements must be blank.
    bool nextChild(const QString& expected) {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                if (m_xml.name() != expected) {
                    fail(QStringLiteral("элемент <%1> здесь недопустим, ожидался <%2>")
                             .arg(m_xml.name(), expected));
                }
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("объявления DTD и сущности не допускаются"));
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace()) {
                    fail(QStringLiteral("текст «%1» вне элемента <text>")
                             .arg(m_xml.text().trimmed().left(40)));
                }
                break;
            default:
                break;
            }
        }
        checkXml();
        fail(QStringLiteral("файл обрывается внутри элемента"));
    }

    void attributes(const QStringList& allowed) {
        m_attributes = m_xml.attributes();
        for (const QXmlStreamAttribute& a : m_attributes) {
            if (!allowed.contains(a.name().toString())) {
                fail(QStringLiteral("неизвестный атрибут «%1» у элемента <%2>")
                         .arg(a.name(), m_xml.name()));
            }
        }
    }

    QString text(const QString& name, const QString& fallback = QString()) const {
        return m_attributes.hasAttribute(name) ? m_attributes.value(name).toString() : fallback;
    }

    double length(const QString& name, double fallback, double min, double max) const {
        if (!m_attributes.hasAttribute(name)) {
            return fallback;
        }
        bool ok = false;
        const double v = m_attributes.value(name).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < min || v > max) {
            fail(QStringLiteral("атрибут %1=«%2»: нужно число от %3 до %4")
                     .arg(name, m_attributes.value(name), number(min), number(max)));
        }
        return v;
    }

    bool flag(const QString& name, bool fallback) const {
        const QString v = text(name, fallback ? QStringLiteral("true") : QStringLiteral("false"));
        if (v != u"true" && v != u"false") {
            fail(QStringLiteral("атрибут %1=«%2»: нужно true или false").arg(name, v));
        }
        return v == u"true";
    }

    template <typename E, std::size_t N>
    E choice(const QString& name, const std::array<Name<E>, N>& names, E fallback) const {
        if (!m_attributes.hasAttribute(name)) {
            return fallback;
        }
        const QString v = text(name);
        QStringList known;
        for (const auto& n : names) {
            if (v == QLatin1String(n.text)) {
                return n.value;
            }
            known << QString::fromLatin1(n.text);
        }
        fail(QStringLiteral("атрибут %1=«%2»: допустимо %3").arg(name, v, known.join(", ")));
    }

    Page readPage() {
        attributes(
            {"name", "paper", "width", "height", "orientation", "left", "top", "right", "bottom"});
        Page page;
        page.name = text("name");
        if (m_attributes.hasAttribute(QStringLiteral("paper"))) {
            page.paper = PaperSize::named(text("paper"));
            if (page.paper.name.isEmpty()) {
                fail(QStringLiteral("неизвестный формат бумаги «%1»").arg(text("paper")));
            }
        } else if (m_attributes.hasAttribute(QStringLiteral("width"))) {
            page.paper = {QString(), length("width", 0, 10, 5000), length("height", 0, 10, 5000)};
        }
        page.orientation = choice("orientation", orientationNames, Orientation::Portrait);
        page.leftMargin = length("left", 10, 0, 1000);
        page.topMargin = length("top", 10, 0, 1000);
        page.rightMargin = length("right", 10, 0, 1000);
        page.bottomMargin = length("bottom", 10, 0, 1000);
        if (page.contentWidth() < 1 ||
            page.paperHeight() - page.topMargin - page.bottomMargin < 1) {
            fail(QStringLiteral("поля не оставляют места на странице"));
        }
        while (nextChild(QStringLiteral("band"))) {
            page.bands.push_back(readBand());
        }
        return page;
    }

    Band readBand() {
        attributes({"kind", "name", "height", "dataSource", "condition"});
        Band band;
        if (!m_attributes.hasAttribute(QStringLiteral("kind"))) {
            fail(QStringLiteral("у элемента <band> нет атрибута kind"));
        }
        band.kind = choice("kind", bandKindNames, BandKind::MasterData);
        band.name = text("name");
        band.height = length("height", 10, 0, 5000);
        band.dataSource = text("dataSource");
        band.condition = text("condition");
        if (band.kind == BandKind::MasterData && band.dataSource.isEmpty()) {
            fail(QStringLiteral("у полосы данных не задан источник данных (dataSource)"));
        }
        while (nextChild(QStringLiteral("text"))) {
            band.objects.push_back(readText());
        }
        return band;
    }

    TextObject readText() {
        attributes({"name", "x", "y", "width", "height", "font", "size", "bold", "italic", "align",
                    "valign", "frames", "frameWidth", "wordWrap", "stretch"});
        TextObject o;
        o.name = text("name");
        o.x = length("x", 0, 0, 5000);
        o.y = length("y", 0, 0, 5000);
        o.width = length("width", o.width, 0.1, 5000);
        o.height = length("height", o.height, 0.1, 5000);
        o.font.family = text("font", o.font.family);
        o.font.size = length("size", o.font.size, 1, 500);
        o.font.bold = flag("bold", false);
        o.font.italic = flag("italic", false);
        o.hAlign = choice("align", hAlignNames, HAlign::Left);
        o.vAlign = choice("valign", vAlignNames, VAlign::Top);
        for (const QString& word : text("frames").split(' ', Qt::SkipEmptyParts)) {
            o.frames |= frameOf(word);
        }
        o.frameWidth = length("frameWidth", o.frameWidth, 0.1, 20);
        o.wordWrap = flag("wordWrap", true);
        o.stretch = flag("stretch", false);
        o.text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        checkXml();
        return o;
    }

    unsigned frameOf(const QString& word) const {
        if (word == u"all") {
            return FrameAll;
        }
        for (const auto& n : frameNames) {
            if (word == QLatin1String(n.text)) {
                return n.value;
            }
        }
        fail(QStringLiteral("атрибут frames: «%1» — допустимо left, top, right, bottom или all")
                 .arg(word));
    }

    QXmlStreamReader m_xml;
    QString m_fileName;
    QXmlStreamAttributes m_attributes;
};

void writeText(QXmlStreamWriter& w, const TextObject& o) {
    const TextObject d;
    w.writeStartElement(QStringLiteral("text"));
    if (!o.name.isEmpty()) {
        w.writeAttribute(QStringLiteral("name"), o.name);
    }
    w.writeAttribute(QStringLiteral("x"), number(o.x));
    w.writeAttribute(QStringLiteral("y"), number(o.y));
    w.writeAttribute(QStringLiteral("width"), number(o.width));
    w.writeAttribute(QStringLiteral("height"), number(o.height));
    w.writeAttribute(QStringLiteral("font"), o.font.family);
    w.writeAttribute(QStringLiteral("size"), number(o.font.size));
    if (o.font.bold) {
        w.writeAttribute(QStringLiteral("bold"), QStringLiteral("true"));
    }
    if (o.font.italic) {
        w.writeAttribute(QStringLiteral("italic"), QStringLiteral("true"));
    }
    if (o.hAlign != d.hAlign) {
        w.writeAttribute(QStringLiteral("align"), nameOf(hAlignNames, o.hAlign));
    }
    if (o.vAlign != d.vAlign) {
        w.writeAttribute(QStringLiteral("valign"), nameOf(vAlignNames, o.vAlign));
    }
    if (o.frames != FrameNone) {
        QStringList words;
        for (const auto& n : frameNames) {
            if (o.frames & n.value) {
                words << QString::fromLatin1(n.text);
            }
        }
        w.writeAttribute(QStringLiteral("frames"),
                         o.frames == FrameAll ? QStringLiteral("all") : words.join(' '));
    }
    if (o.frameWidth != d.frameWidth) {
        w.writeAttribute(QStringLiteral("frameWidth"), number(o.frameWidth));
    }
    if (!o.wordWrap) {
        w.writeAttribute(QStringLiteral("wordWrap"), QStringLiteral("false"));
    }
    if (o.stretch) {
        w.writeAttribute(QStringLiteral("stretch"), QStringLiteral("true"));
    }
    // A reader turns a bare carriage return into a line feed: keep it as a
    // character reference so that "\r\n" in a text comes back as written.
    const QStringList parts = o.text.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            w.writeEntityReference(QStringLiteral("#13"));
        }
        w.writeCharacters(parts[i]);
    }
    w.writeEndElement();
}

} // namespace

Template parseTemplate(const QByteArray& xml, const QString& fileName) {
    return Reader(xml, fileName).read();
}

QByteArray serializeTemplate(const Template& report) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("report"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    for (const Page& page : report.pages) {
        w.writeStartElement(QStringLiteral("page"));
        if (!page.name.isEmpty()) {
            w.writeAttribute(QStringLiteral("name"), page.name);
        }
        if (page.paper.name.isEmpty()) {
            w.writeAttribute(QStringLiteral("width"), number(page.paper.width));
            w.writeAttribute(QStringLiteral("height"), number(page.paper.height));
        } else {
            w.writeAttribute(QStringLiteral("paper"), page.paper.name);
        }
        w.writeAttribute(QStringLiteral("orientation"), nameOf(orientationNames, page.orientation));
        w.writeAttribute(QStringLiteral("left"), number(page.leftMargin));
        w.writeAttribute(QStringLiteral("top"), number(page.topMargin));
        w.writeAttribute(QStringLiteral("right"), number(page.rightMargin));
        w.writeAttribute(QStringLiteral("bottom"), number(page.bottomMargin));
        for (const Band& band : page.bands) {
            w.writeStartElement(QStringLiteral("band"));
            w.writeAttribute(QStringLiteral("kind"), nameOf(bandKindNames, band.kind));
            if (!band.name.isEmpty()) {
                w.writeAttribute(QStringLiteral("name"), band.name);
            }
            w.writeAttribute(QStringLiteral("height"), number(band.height));
            if (!band.dataSource.isEmpty()) {
                w.writeAttribute(QStringLiteral("dataSource"), band.dataSource);
            }
            if (!band.condition.isEmpty()) {
                w.writeAttribute(QStringLiteral("condition"), band.condition);
            }
            for (const TextObject& o : band.objects) {
                writeText(w, o);
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

std::optional<Template> loadTemplateFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error(QStringLiteral("Не удалось открыть шаблон отчёта «%1»: %2")
                        .arg(path, file.errorString()));
    }
    return parseTemplate(file.readAll(), path);
}

void saveTemplateFile(const Template& report, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(serializeTemplate(report)) < 0 ||
        !file.commit()) {
        throw Error(QStringLiteral("Не удалось записать шаблон отчёта «%1»: %2")
                        .arg(path, file.errorString()));
    }
}

} // namespace reportkit
