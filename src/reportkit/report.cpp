#include "report.h"

#include "error.h"
#include "template_file.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <optional>
#include <utility>

namespace reportkit {

namespace {

constexpr double kEpsilon = 0.01; // mm

struct Segment {
    enum class Kind { Literal, Field, Page, TotalPages, Date };
    explicit Segment(Kind k, QString t = QString(), DataSource* s = nullptr)
        : kind(k), text(std::move(t)), source(s) {}

    Kind kind;
    QString text; // literal text, or the field name
    DataSource* source = nullptr;
    int slot = -1; // index into the frozen row values while printing a group footer
};
using Expression = std::vector<Segment>;

struct CompiledObject {
    const TextObject* object = nullptr;
    Expression text;
};

struct CompiledBand {
    const Band* band = nullptr;
    std::vector<CompiledObject> objects;
};

// One step of a page's flow: a single band, or a master data band with the
// group bands around it.
struct FlowStep {
    explicit FlowStep(CompiledBand b) : band(std::move(b)) {}

    CompiledBand band;
    DataSource* source = nullptr; // set for master data
    std::vector<CompiledBand> headers;
    std::vector<Expression> conditions;
    std::vector<CompiledBand> footers; // innermost first
};

struct PlacedBand {
    double height = 0;
    std::vector<PreparedItem> items; // rectangles relative to the band's top-left corner
};

class Compiler {
public:
    Compiler(const Report& report, std::vector<std::pair<DataSource*, QString>>& frozenRefs)
        : m_report(report), m_frozenRefs(frozenRefs) {}

    // freeze: field values come from the row before the one now current (group
    // footers are printed once the next row shows that a group ended).
    CompiledBand band(const Band& band, bool freeze = false) {
        CompiledBand compiled{&band, {}};
        int index = 0;
        for (const TextObject& object : band.objects) {
            ++index;
            const QString what = object.name.isEmpty()
                                     ? QStringLiteral("объект №%1 полосы «%2»")
                                           .arg(index)
                                           .arg(bandKindTitle(band.kind))
                                     : QStringLiteral("объект «%1»").arg(object.name);
            compiled.objects.push_back({&object, expression(object.text, what, freeze)});
        }
        return compiled;
    }

    Expression expression(const QString& text, const QString& what, bool freeze = false) {
        static const QRegularExpression fieldRef(
            QString::fromLatin1(R"re(^([^."]+)\.\s*"([^"]+)"$)re"));
        Expression out;
        qsizetype pos = 0;
        while (pos < text.size()) {
            const qsizetype open = text.indexOf(QLatin1Char('['), pos);
            const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char(']'), open);
            if (open < 0 || close < 0) {
                out.emplace_back(Segment::Kind::Literal, text.mid(pos));
                break;
            }
            if (open > pos) {
                out.emplace_back(Segment::Kind::Literal, text.mid(pos, open - pos));
            }
            const QString inner = text.mid(open + 1, close - open - 1).trimmed();
            pos = close + 1;
            if (inner.compare(u"Page", Qt::CaseInsensitive) == 0) {
                out.emplace_back(Segment::Kind::Page);
            } else if (inner.compare(u"TotalPages", Qt::CaseInsensitive) == 0) {
                out.emplace_back(Segment::Kind::TotalPages);
                m_usesTotalPages = true;
            } else if (inner.compare(u"Date", Qt::CaseInsensitive) == 0) {
                out.emplace_back(Segment::Kind::Date);
            } else if (const auto m = fieldRef.match(inner); m.hasMatch()) {
                out.push_back(field(m.captured(1).trimmed(), m.captured(2), what, freeze));
            } else {
                fail(what, QStringLiteral("непонятное выражение [%1]").arg(inner));
            }
        }
        return out;
    }

    bool usesTotalPages() const { return m_usesTotalPages; }

    DataSource* source(const QString& name, const QString& what) const {
        DataSource* s = m_report.dataSource(name);
        if (s == nullptr) {
            fail(what, QStringLiteral("источник данных «%1» не подключён к отчёту").arg(name));
        }
        return s;
    }

private:
    [[noreturn]] void fail(const QString& what, const QString& problem) const {
        throw Error(
            QStringLiteral("Шаблон отчёта «%1», %2: %3").arg(m_report.fileName(), what, problem));
    }

    Segment field(const QString& sourceName, const QString& fieldName, const QString& what,
                  bool freeze) {
        DataSource* s = source(sourceName, what);
        if (!s->fieldNames().contains(fieldName, Qt::CaseInsensitive)) {
            fail(
                what,
                QStringLiteral("у источника данных «%1» нет поля «%2»").arg(sourceName, fieldName));
        }
        Segment seg(Segment::Kind::Field, fieldName, s);
        if (freeze) {
            seg.slot = static_cast<int>(m_frozenRefs.size());
            m_frozenRefs.emplace_back(s, fieldName);
        }
        return seg;
    }

    const Report& m_report;
    std::vector<std::pair<DataSource*, QString>>& m_frozenRefs;
    bool m_usesTotalPages = false;
};

struct CompiledPage {
    const Page* page = nullptr;
    std::optional<CompiledBand> header;
    std::optional<CompiledBand> footer;
    std::vector<FlowStep> steps;
};

CompiledPage compilePage(const Page& page, Compiler& compiler) {
    CompiledPage out{&page, {}, {}, {}};
    std::vector<const Band*> pendingHeaders;
    const auto flushHeaders = [&] {
        for (const Band* b : pendingHeaders) {
            out.steps.emplace_back(compiler.band(*b));
        }
        pendingHeaders.clear();
    };
    for (std::size_t i = 0; i < page.bands.size(); ++i) {
        const Band& band = page.bands[i];
        switch (band.kind) {
        case BandKind::PageHeader:
            out.header = compiler.band(band);
            break;
        case BandKind::PageFooter:
            out.footer = compiler.band(band);
            break;
        case BandKind::GroupHeader:
            pendingHeaders.push_back(&band);
            break;
        case BandKind::MasterData: {
            FlowStep step(compiler.band(band));
            step.source = compiler.source(
                band.dataSource,
                QStringLiteral("полоса «%1»")
                    .arg(band.name.isEmpty() ? bandKindTitle(band.kind) : band.name));
            for (const Band* h : pendingHeaders) {
                step.headers.push_back(compiler.band(*h));
                step.conditions.push_back(compiler.expression(
                    h->condition, QStringLiteral("условие группы «%1»").arg(h->name)));
            }
            while (i + 1 < page.bands.size() && page.bands[i + 1].kind == BandKind::GroupFooter &&
                   step.footers.size() < step.headers.size()) {
                step.footers.push_back(compiler.band(page.bands[++i], true));
            }
            pendingHeaders.clear();
            out.steps.push_back(std::move(step));
            break;
        }
        case BandKind::ReportTitle:
        case BandKind::ReportSummary:
        case BandKind::GroupFooter:
            flushHeaders();
            out.steps.emplace_back(compiler.band(band));
            break;
        }
    }
    flushHeaders();
    return out;
}

class Layouter {
public:
    Layouter(const Report& report, TextMeasurer& measurer, PageSink* sink, int totalPages,
             const std::vector<std::pair<DataSource*, QString>>& frozenRefs)
        : m_measurer(measurer), m_sink(sink), m_totalPages(totalPages), m_frozenRefs(frozenRefs),
          m_frozen(frozenRefs.size()),
          m_date(QLocale::system().toString(report.reportDate(), QLocale::ShortFormat)) {}

    int pageCount() const { return m_pageNumber; }

    void run(const CompiledPage& page) {
        m_page = &page;
        openPage();
        for (const FlowStep& step : page.steps) {
            if (step.source == nullptr) {
                placeFlow(layoutBand(step.band, false));
            } else {
                runMaster(step);
            }
        }
        closePage();
    }

private:
    void runMaster(const FlowStep& step) {
        std::vector<QString> previous(step.conditions.size());
        bool firstRow = true;
        for (step.source->first(); !step.source->eof();) {
            std::size_t changed = step.conditions.size();
            for (std::size_t level = 0; level < step.conditions.size(); ++level) {
                const QString value = evaluate(step.conditions[level], false);
                if (changed == step.conditions.size() && (firstRow || value != previous[level])) {
                    changed = level;
                }
                previous[level] = value;
            }
            if (!firstRow) {
                printFooters(step, changed);
            }
            for (std::size_t level = changed; level < step.headers.size(); ++level) {
                placeFlow(layoutBand(step.headers[level], false));
            }
            placeFlow(layoutBand(step.band, false));
            if (!step.footers.empty()) {
                for (std::size_t i = 0; i < m_frozenRefs.size(); ++i) {
                    m_frozen[i] = m_frozenRefs[i].first->valueText(m_frozenRefs[i].second);
                }
            }
            step.source->next();
            firstRow = false;
        }
        if (!firstRow) {
            printFooters(step, 0);
        }
    }

    // Footers of the groups from `level` inwards, innermost first. Footer k
    // closes header (n - 1 - k).
    void printFooters(const FlowStep& step, std::size_t level) {
        const std::size_t n = step.headers.size();
        for (std::size_t k = 0; k < step.footers.size(); ++k) {
            if (n - 1 - k >= level) {
                placeFlow(layoutBand(step.footers[k], true));
            }
        }
    }

    QString evaluate(const Expression& expression, bool frozen) const {
        QString out;
        for (const Segment& seg : expression) {
            switch (seg.kind) {
            case Segment::Kind::Literal:
                out += seg.text;
                break;
            case Segment::Kind::Field:
                if (frozen && seg.slot >= 0) {
                    out += m_frozen[seg.slot];
                } else if (!seg.source->eof()) {
                    out += seg.source->valueText(seg.text);
                }
                break;
            case Segment::Kind::Page:
                out += QString::number(m_pageNumber);
                break;
            case Segment::Kind::TotalPages:
                out += QString::number(m_totalPages);
                break;
            case Segment::Kind::Date:
                out += m_date;
                break;
            }
        }
        return out;
    }

    PlacedBand layoutBand(const CompiledBand& compiled, bool frozen) {
        const Band& band = *compiled.band;
        PlacedBand placed;
        placed.height = band.height;
        const int serial = ++m_bandSerial;
        for (const CompiledObject& c : compiled.objects) {
            const TextObject& o = *c.object;
            PreparedItem item;
            item.lines = m_measurer.breakLines(evaluate(c.text, frozen), o.font,
                                               o.width - 2 * kTextPaddingMm, o.wordWrap);
            double height = o.height;
            if (o.stretch) {
                height = std::max(height, neededHeight(item.lines.size(), o.font));
                const double gapBelow = std::max(0.0, band.height - (o.y + o.height));
                placed.height = std::max(placed.height, o.y + height + gapBelow);
            }
            item.rect = QRectF(o.x, o.y, o.width, height);
            item.font = o.font;
            item.hAlign = o.hAlign;
            item.vAlign = o.vAlign;
            item.frames = o.frames;
            item.frameWidth = o.frameWidth;
            item.bandKind = band.kind;
            item.bandSerial = serial;
            placed.items.push_back(std::move(item));
        }
        // The cells of a row reach down to the band's bottom together.
        if (placed.height > band.height + kEpsilon) {
            for (std::size_t i = 0; i < placed.items.size(); ++i) {
                const TextObject& o = *compiled.objects[i].object;
                if (o.y + o.height >= band.height - kEpsilon) {
                    QRectF& r = placed.items[i].rect;
                    r.setHeight(std::max(r.height(), placed.height - o.y));
                }
            }
        }
        return placed;
    }

    double neededHeight(std::size_t lines, const FontStyle& font) {
        return double(lines) * m_measurer.lineHeightMm(font) + 2 * kTextPaddingMm;
    }

    void openPage() {
        const Page& t = *m_page->page;
        ++m_pageNumber;
        m_current = PreparedPage{};
        m_current.number = m_pageNumber;
        m_current.geometry = {t.paperWidth(), t.paperHeight(), t.leftMargin,  t.topMargin,
                              t.rightMargin,  t.bottomMargin,  t.orientation, t.paper.name};
        m_y = t.topMargin;
        m_pageHasFlow = false;
        m_flowBottom = t.paperHeight() - t.bottomMargin;
        if (m_page->footer) {
            m_flowBottom -= m_page->footer->band->height;
        }
        if (m_page->header) {
            put(layoutBand(*m_page->header, false));
        }
        m_freshFlowTop = m_y;
    }

    void closePage() {
        if (m_page->footer) {
            PlacedBand footer = layoutBand(*m_page->footer, false);
            const Page& t = *m_page->page;
            m_y = t.paperHeight() - t.bottomMargin - footer.height;
            put(std::move(footer));
        }
        if (m_sink != nullptr) {
            m_sink->addPage(m_current);
        }
        m_current.items.clear();
    }

    void put(PlacedBand band) {
        const double left = m_page->page->leftMargin;
        for (PreparedItem& item : band.items) {
            item.rect.translate(left, m_y);
            m_current.items.push_back(std::move(item));
        }
        m_y += band.height;
    }

    // Places a band in the page flow: on this page if it fits, else on the next;
    // a band taller than a whole page is cut between lines of its text.
    void placeFlow(PlacedBand band) {
        for (;;) {
            if (m_y + band.height <= m_flowBottom + kEpsilon) {
                put(std::move(band));
                m_pageHasFlow = true;
                return;
            }
            // A band that fits on a fresh page goes there whole; one that would
            // not fit anyway starts here.
            if (m_pageHasFlow && band.height <= m_flowBottom - m_freshFlowTop + kEpsilon) {
                closePage();
                openPage();
                continue;
            }
            const double available = m_flowBottom - m_y;
            PlacedBand whole = band;
            PlacedBand rest = split(band, available);
            m_pageHasFlow = true;
            if (available < 1 || rest.height >= whole.height - kEpsilon) {
                put(std::move(whole)); // nothing to gain by cutting: the page shows what fits
                return;
            }
            put(std::move(band));
            closePage();
            openPage();
            band = std::move(rest);
        }
    }

    // Keeps in `band` what fits into `available` and returns the rest.
    PlacedBand split(PlacedBand& band, double available) {
        PlacedBand rest;
        rest.height = band.height - available;
        std::vector<PreparedItem> kept;
        std::vector<std::size_t> reachingBottom; // indexes into rest.items
        for (PreparedItem& item : band.items) {
            QRectF& r = item.rect;
            if (r.bottom() >= band.height - kEpsilon) {
                reachingBottom.push_back(rest.items.size());
            }
            if (r.bottom() <= available + kEpsilon) {
                kept.push_back(std::move(item));
                continue;
            }
            if (r.top() >= available - kEpsilon) {
                r.translate(0, -available);
                rest.height = std::max(rest.height, r.bottom());
                rest.items.push_back(std::move(item));
                continue;
            }
            const double lineHeight = m_measurer.lineHeightMm(item.font);
            const auto fit = static_cast<std::size_t>(
                std::max(0.0, std::floor((available - r.top() - 2 * kTextPaddingMm) / lineHeight)));
            PreparedItem tail = item;
            if (fit < item.lines.size()) {
                item.lines.resize(fit);
                tail.lines.erase(tail.lines.begin(),
                                 tail.lines.begin() + static_cast<std::ptrdiff_t>(fit));
            } else {
                tail.lines.clear();
            }
            const double tailHeight =
                std::max(r.bottom() - available,
                         tail.lines.empty() ? 0.0 : neededHeight(tail.lines.size(), tail.font));
            tail.rect = QRectF(r.left(), 0, r.width(), tailHeight);
            r.setBottom(available);
            rest.height = std::max(rest.height, tailHeight);
            kept.push_back(std::move(item));
            rest.items.push_back(std::move(tail));
        }
        for (const std::size_t i : reachingBottom) {
            QRectF& r = rest.items[i].rect;
            r.setBottom(std::max(r.bottom(), rest.height));
        }
        band.items = std::move(kept);
        band.height = available;
        return rest;
    }

    TextMeasurer& m_measurer;
    PageSink* m_sink;
    int m_totalPages;
    const std::vector<std::pair<DataSource*, QString>>& m_frozenRefs;
    std::vector<QString> m_frozen;
    QString m_date;

    const CompiledPage* m_page = nullptr;
    PreparedPage m_current;
    int m_pageNumber = 0;
    int m_bandSerial = 0;
    double m_y = 0;
    double m_flowBottom = 0;
    double m_freshFlowTop = 0; // where the flow starts below the page header
    bool m_pageHasFlow = false;
};

} // namespace

bool Report::loadFromFile(const QString& path) {
    std::optional<Template> loaded = loadTemplateFile(path);
    if (!loaded) {
        return false;
    }
    m_model = std::move(*loaded);
    m_fileName = path;
    return true;
}

void Report::saveToFile(const QString& path) {
    saveTemplateFile(m_model, path);
    m_fileName = path;
}

void Report::setDataSource(const QString& name, DataSource* source) {
    const QString key = name.toLower();
    if (source == nullptr) {
        m_sources.remove(key);
        m_sourceNames.remove(key);
    } else {
        m_sources.insert(key, source);
        m_sourceNames.insert(key, name);
    }
}

DataSource* Report::dataSource(const QString& name) const {
    return m_sources.value(name.toLower(), nullptr);
}

QStringList Report::dataSourceNames() const {
    QStringList names = m_sourceNames.values();
    names.sort(Qt::CaseInsensitive);
    return names;
}

void Report::render(PageSink& sink) const {
    std::vector<std::pair<DataSource*, QString>> frozenRefs;
    Compiler compiler(*this, frozenRefs);
    std::vector<CompiledPage> pages;
    for (const Page& page : m_model.pages) {
        pages.push_back(compilePage(page, compiler));
    }
    TextMeasurer measurer;
    const auto layOut = [&](PageSink* target, int totalPages) {
        for (DataSource* source : m_sources) {
            source->first();
        }
        Layouter layouter(*this, measurer, target, totalPages, frozenRefs);
        for (const CompiledPage& page : pages) {
            layouter.run(page);
        }
        return layouter.pageCount();
    };
    DocumentInfo info;
    info.fontFamilies = m_model.fontFamilies();
    // [TotalPages] needs the count before the first page goes out: one pass
    // that only counts, then the real one.
    if (compiler.usesTotalPages()) {
        info.pageCount = layOut(nullptr, 0);
    }
    sink.beginDocument(info);
    layOut(&sink, info.pageCount);
    sink.endDocument();
}

PreparedReport Report::prepare() const {
    PreparedReport prepared;
    render(prepared);
    prepared.info.pageCount = static_cast<int>(prepared.pages.size());
    return prepared;
}

} // namespace reportkit
