#include "reference_search.h"

#include "ui/table_model.h"
#include "xbase/field_codec.h"
#include "xbase/table.h"

namespace dialogs {
namespace {

constexpr char16_t kBackspace = 8;
constexpr char16_t kLastControl = 27;
// Records read at once when the rows' records follow each other in the file.
constexpr std::uint32_t kRecordsPerRead = 256;
constexpr char kDeletedFlag = '*';

} // namespace

void ReferenceSearch::typed(QChar ch) {
    if (ch.unicode() <= kLastControl && ch.unicode() != kBackspace)
        return;
    const QString before = m_text;
    bool fromTop = false;
    if (ch.unicode() == kBackspace) {
        if (m_text.isEmpty())
            return;
        m_text.chop(1);
        fromTop = true;
    } else {
        if (m_text.size() >= kMaxLength)
            return;
        m_text.append(ch);
    }
    // Every name contains an empty text, yet the list is left where it is.
    if (m_text.isEmpty())
        return;
    const int from =
        fromTop || m_text.size() < 2 || !m_rows ? 0 : std::max(m_rows->currentRow(), 0);
    if (!m_list.isOpen() || !seek(from, containsText()))
        m_text = before;
}

void ReferenceSearch::findNext() {
    if (m_text.isEmpty() || !m_rows || m_rows->currentRow() < 0 || !m_list.isOpen())
        return;
    seek(m_rows->currentRow() + 1, containsText());
}

ReferenceSearch::Match ReferenceSearch::containsText() const {
    const xbase::FieldDef& name = m_list.field(kNameField);
    return [this, name](const QByteArray& image) {
        return xbase::decodeText(name, xbase::fieldBytes(image, name), m_list.translate())
            .toUpper()
            .contains(m_text);
    };
}

QString ReferenceSearch::fieldText(const QByteArray& image, const QString& field) const {
    const xbase::FieldDef& f = m_list.field(field);
    return xbase::decodeText(f, xbase::fieldBytes(image, f), m_list.translate());
}

bool ReferenceSearch::seek(int fromRow, const Match& matches) {
    if (!m_rows || !m_list.isOpen())
        return false;
    const std::uint32_t found = scan(fromRow, matches);
    if (found == 0)
        return false;
    if (m_search.isOpen())
        m_search.go(found);
    m_list.go(found);
    return true;
}

std::uint32_t ReferenceSearch::scan(int fromRow, const Match& matches) const {
    const int rows = m_rows->rowCount();
    const auto length = static_cast<qsizetype>(m_list.recordLength());
    for (int row = std::max(fromRow, 0); row < rows;) {
        const std::uint32_t first = m_rows->recordOf(row);
        if (first == 0)
            return 0;
        // The run of rows whose records follow each other in the file.
        std::uint32_t run = 1;
        while (run < kRecordsPerRead && row + static_cast<int>(run) < rows &&
               m_rows->recordOf(row + static_cast<int>(run)) == first + run)
            ++run;
        const QByteArray images = m_list.storedRecords(first, run);
        const auto got = static_cast<std::uint32_t>(images.size() / length);
        for (std::uint32_t i = 0; i < got; ++i) {
            const QByteArray image = QByteArray::fromRawData(
                images.constData() + static_cast<qsizetype>(i) * length, length);
            // A row deleted by another user since the list was read is passed over.
            if (image.at(0) != kDeletedFlag && matches(image))
                return first + i;
        }
        row += static_cast<int>(run);
    }
    return 0;
}

} // namespace dialogs
