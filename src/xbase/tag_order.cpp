#include "tag_order.h"

#include "codepage.h"
#include "error.h"

#include <QDir>
#include <cstring>

namespace xbase {

std::unique_ptr<RecordOrder> makeNaturalOrder(RecordAccess access) {
    class NaturalOrder : public RecordOrder {
    public:
        explicit NaturalOrder(RecordAccess a) : m_access(std::move(a)) {}
        std::uint32_t first() override { return seekLive(1, 1); }
        std::uint32_t last() override { return seekLive(m_access.count(), -1); }
        std::uint32_t next(std::uint32_t recNo, const QByteArray&) override {
            return seekLive(std::int64_t(recNo) + 1, 1);
        }
        std::uint32_t prior(std::uint32_t recNo, const QByteArray&) override {
            return seekLive(std::int64_t(recNo) - 1, -1);
        }
        std::vector<std::uint32_t> visibleRecords() override { return m_access.liveRecords(); }

    private:
        std::uint32_t seekLive(std::int64_t from, int step) const {
            const std::int64_t count = m_access.count();
            for (std::int64_t r = from; r >= 1 && r <= count; r += step) {
                if (m_access.readLive(static_cast<std::uint32_t>(r)))
                    return static_cast<std::uint32_t>(r);
            }
            return 0;
        }
        RecordAccess m_access;
    };
    return std::make_unique<NaturalOrder>(std::move(access));
}

TagOrder::TagOrder(MdxFile& file, int tag, RecordAccess access, bool translate)
    : m_file(file), m_tag(tag), m_access(std::move(access)), m_translate(translate) {}

QByteArray TagOrder::bound(const QString& text) const {
    const IndexTag& t = tag();
    switch (t.keyType) {
    case KeyType::Character: {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == QChar(0xFF))
            --end;
        const QStringView body = QStringView(text).first(end);
        QByteArray bytes = m_translate ? toOem(body) : toLatin1Bytes(body);
        bytes.append(text.size() - end, '\xFF');
        return bytes.left(t.keyLength);
    }
    case KeyType::Numeric: {
        const QString s = text.trimmed();
        if (s.isEmpty())
            return {};
        bool ok = false;
        const double v = s.toDouble(&ok);
        if (!ok)
            throw Error(QStringLiteral("%1: «%2» не является числом (тег %3)")
                            .arg(QDir::toNativeSeparators(m_file.path()), text, t.name));
        return encodeNumericKey(v);
    }
    case KeyType::Date: {
        const QString s = text.trimmed();
        if (s.isEmpty())
            return {};
        const QDate d = QDate::fromString(s, QStringLiteral("yyyyMMdd"));
        if (!d.isValid())
            throw Error(QStringLiteral("%1: «%2» не является датой ГГГГММДД (тег %3)")
                            .arg(QDir::toNativeSeparators(m_file.path()), text, t.name));
        return encodeDateKey(d);
    }
    }
    return {};
}

void TagOrder::setRange(const QString& low, const QString& high) {
    m_low = bound(low);
    m_high = bound(high);
}

void TagOrder::cancelRange() {
    m_low.clear();
    m_high.clear();
}

bool TagOrder::lowOk(const char* key) const {
    return m_low.isEmpty() ||
           compareKeys(tag().keyType, key, m_low.constData(), static_cast<int>(m_low.size())) >= 0;
}

bool TagOrder::highOk(const char* key) const {
    return m_high.isEmpty() || compareKeys(tag().keyType, key, m_high.constData(),
                                           static_cast<int>(m_high.size())) <= 0;
}

// In the stored order: a descending tree meets the high bound first.
bool TagOrder::beforeRange(const char* key) const {
    return tag().descending ? !highOk(key) : !lowOk(key);
}

bool TagOrder::afterRange(const char* key) const {
    return tag().descending ? !lowOk(key) : !highOk(key);
}

bool TagOrder::seekRangeStart() {
    return m_file.seek(
        m_tag, [this](const char* k) { return beforeRange(k); }, m_path);
}

bool TagOrder::seekRangeEnd() {
    return m_file.seekBack(
        m_tag, [this](const char* k) { return afterRange(k); }, m_path);
}

std::uint32_t TagOrder::walk(int direction, const QByteArray* target,
                             const std::function<bool(std::uint32_t)>& take,
                             const QByteArray& from) {
    m_lastRecNo = 0;
    const IndexTag& t = tag();
    const std::uint32_t count = m_access.count();
    QByteArray key;
    QByteArray previous = from;
    std::uint32_t recNo = 0;
    for (std::int64_t guard = m_file.entryLimit(); guard > 0; --guard) {
        m_file.entry(m_tag, m_path, key, recNo);
        // A sound tree never goes back in its own order.
        if (!previous.isEmpty() &&
            direction * m_file.compareInTreeOrder(m_tag, key.constData(), previous.constData(),
                                                  t.keyLength) <
                0)
            throw Error(QStringLiteral("%1: индексный файл повреждён: ключи тега %2 не по порядку")
                            .arg(QDir::toNativeSeparators(m_file.path()), t.name));
        previous = key;
        const char* k = key.constData();
        if (direction > 0 ? afterRange(k) : beforeRange(k))
            return 0;
        if (target && m_file.compareInTreeOrder(m_tag, k, target->constData(), t.keyLength) != 0)
            return 0;
        if (direction > 0 ? beforeRange(k) : afterRange(k)) {
            // Outside the range on the near side: jump to its edge.
            if (!(direction > 0 ? seekRangeStart() : seekRangeEnd()))
                return 0;
            previous.clear();
            continue;
        }
        if (recNo >= 1 && recNo <= count && m_access.readLive(recNo) && take(recNo)) {
            m_lastKey = key;
            m_lastRecNo = recNo;
            return recNo;
        }
        if (!m_file.step(m_tag, m_path, direction))
            return 0;
    }
    throw Error(QStringLiteral("%1: индексный файл повреждён: обход тега %2 не заканчивается")
                    .arg(QDir::toNativeSeparators(m_file.path()), t.name));
}

std::uint32_t TagOrder::walkToVisible(int direction, const QByteArray* target,
                                      const QByteArray& from) {
    return walk(
        direction, target, [](std::uint32_t) { return true; }, from);
}

bool TagOrder::position(std::uint32_t recNo, const QByteArray& image, bool& found,
                        QByteArray& entryKey) {
    found = true;
    // The entry this order last stopped at comes first, so a walk always moves on
    // even where the tree's keys differ from the records (an index not kept by
    // another program); then the record's own key.
    if (recNo == m_lastRecNo) {
        QByteArray k;
        std::uint32_t r = 0;
        entryKey = m_lastKey;
        if ((m_file.entryAt(m_tag, m_path, k, r) && r == recNo && k == m_lastKey) ||
            m_file.locate(m_tag, m_lastKey, recNo, m_path))
            return true;
    }
    const QByteArray key = tag().expression.evaluate(image);
    entryKey = key;
    if (m_file.locate(m_tag, key, recNo, m_path))
        return true;
    entryKey.clear();
    const int length = tag().keyLength;
    found = m_file.seek(
        m_tag,
        [&](const char* k) {
            return m_file.compareInTreeOrder(m_tag, k, key.constData(), length) < 0;
        },
        m_path);
    return false;
}

std::uint32_t TagOrder::first() {
    MdxFile::Lock lock(m_file, LockType::Read);
    return seekRangeStart() ? walkToVisible(1) : 0;
}

std::uint32_t TagOrder::last() {
    MdxFile::Lock lock(m_file, LockType::Read);
    return seekRangeEnd() ? walkToVisible(-1) : 0;
}

std::uint32_t TagOrder::next(std::uint32_t recNo, const QByteArray& image) {
    MdxFile::Lock lock(m_file, LockType::Read);
    bool found = false;
    QByteArray from;
    if (position(recNo, image, found, from))
        found = m_file.step(m_tag, m_path, 1);
    return found ? walkToVisible(1, nullptr, from) : 0;
}

std::uint32_t TagOrder::prior(std::uint32_t recNo, const QByteArray& image) {
    MdxFile::Lock lock(m_file, LockType::Read);
    bool found = false;
    QByteArray from;
    position(recNo, image, found, from);
    // From the entry itself or from the first key above it, one step back; with
    // no key above it, the last entry.
    if (found)
        found = m_file.step(m_tag, m_path, -1);
    else
        found = m_file.seekBack(
            m_tag, [](const char*) { return false; }, m_path);
    return found ? walkToVisible(-1, nullptr, from) : 0;
}

std::uint32_t TagOrder::find(const QString& text) {
    const IndexTag& t = tag();
    QByteArray target;
    if (t.keyType == KeyType::Character) {
        // The whole key must match: the text padded with blanks; text beyond the
        // key's length may only be blanks.
        QByteArray full = m_translate ? toOem(text) : toLatin1Bytes(text);
        while (full.size() > t.keyLength && full.endsWith(' '))
            full.chop(1);
        if (full.size() > t.keyLength)
            return 0;
        target = full.leftJustified(t.keyLength, ' ');
    } else {
        target = bound(text);
        if (target.isEmpty())
            return 0;
    }
    MdxFile::Lock lock(m_file, LockType::Read);
    const auto before = [&](const char* k) {
        return m_file.compareInTreeOrder(m_tag, k, target.constData(), t.keyLength) < 0;
    };
    return m_file.seek(m_tag, before, m_path) ? walkToVisible(1, &target) : 0;
}

std::vector<std::uint32_t> TagOrder::visibleRecords() {
    MdxFile::Lock lock(m_file, LockType::Read);
    std::vector<std::uint32_t> out;
    if (seekRangeStart()) {
        walk(1, nullptr, [&](std::uint32_t r) {
            out.push_back(r);
            return false;
        });
    }
    return out;
}

} // namespace xbase
