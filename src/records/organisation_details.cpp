#include "organisation_details.h"

#include "dialogs/Naim_e.h"
#include "dialogs/Spr.h"
#include "xbase/table.h"

namespace records {
namespace {

bool isEditing(const xbase::Table& t) {
    return t.state() == xbase::Table::State::Edit || t.state() == xbase::Table::State::Insert;
}

// A reference book whose row the MO record names by ID, with the name beside it.
struct Book {
    QString table;
    QString title;
    QString nameField;
    QString idField;
};

// Every text the picker hands over is kept whole up to this length; the field cuts it.
constexpr int kMaxNameLength = 255;

void pick(xbase::Table& mo, const QString& baseDir, const Book& book) {
    if (!isEditing(mo))
        return;
    QString name = mo.text(book.nameField).left(kMaxNameLength);
    int id = mo.integer(book.idField);
    if (!dialogs::SelectSpr(baseDir, book.table, QStringLiteral("ID"), book.title,
                            dialogs::EditSprName, id, name, kMaxNameLength, false, QChar(), false,
                            false))
        return;
    mo.setText(book.nameField, name);
    mo.setInteger(book.idField, id);
}

} // namespace

const QStringList& orgTypeTexts() {
    static const QStringList texts{
        QStringLiteral("Головная организация, на территории Сарвенской области"),
        QStringLiteral("Филиал, на территории Сарвенской области"),
        QStringLiteral("Головная организация, на территории иного субъекта РФ"),
        QStringLiteral("Филиал, на территории иного субъекта РФ"),
    };
    return texts;
}

void StoreOrgType(xbase::Table& mo, int position) {
    mo.setInteger(u"ORG", position + 1);
}

int orgTypePosition(const xbase::Table& mo) {
    if (!isEditing(mo))
        return -1;
    const int org = mo.integer(u"ORG");
    return org >= 1 && org <= orgTypeTexts().size() ? org - 1 : -1;
}

void PickLegalForm(xbase::Table& mo, const QString& baseDir) {
    pick(mo, baseDir,
         {QStringLiteral("OKOPF.DBF"), QStringLiteral("ОКОПФ"), QStringLiteral("OKOPF_"),
          QStringLiteral("OKOPF")});
}

void PickAffiliation(xbase::Table& mo, const QString& baseDir) {
    pick(mo, baseDir,
         {QStringLiteral("VEDPR.DBF"), QStringLiteral("Ведомственная принадлежность"),
          QStringLiteral("VEDPRI_"), QStringLiteral("VEDPRI")});
}

} // namespace records
