#include "UnitMainFormKvell.h"
#include "configuration.h"
#include "dialogs/Spr.h"
#include "reference_book.h"
#include "test_base.h"
#include "ui/button_edit.h"
#include "ui/scripted_user_interface.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using data::TableId;

namespace {

const QString kLongName = QString(60, QChar(u'Ф')) + QString(40, QChar(u'Ж'));

// What the picker showed, and the answer: choose the row `row`, or cancel (-1).
struct Seen {
    QString title;
    QString current;
    int currentId = -1;
    bool changesOff = false;
};

ui::ScriptedUserInterface::DialogScript choose(int row, Seen& seen) {
    return [row, &seen](QDialog& dialog) {
        auto& d = static_cast<dialogs::TSprDlg&>(dialog);
        seen.title = d.windowTitle();
        seen.current = d.HalcyonDataSet3.text(u"NAME");
        seen.currentId = d.currentId();
        seen.changesOff =
            !d.BtnAdd->isEnabled() && !d.BtnEdit->isEnabled() && !d.BtnDel->isEnabled();
        if (row < 0)
            return int(QDialog::Rejected);
        d.DataSource1->setCurrentRow(row);
        d.BtnOkClick();
        return d.result();
    };
}

} // namespace

class OrganisationPickersTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<dialog_test::Scene> m_scene;

    QString base() const { return m_scene->dir.filePath("BASE"); }

private slots:
    void init() {
        m_scene = std::make_unique<dialog_test::Scene>();
        app::BaseDir = base();
        app::ConfigFileName = m_scene->dir.filePath("kvellary.INI");
        test_support::createEmptyBase(base());
        test_support::appendRecord(base(), TableId::Mo,
                                   {{"OGRN", "1023301234567"},
                                    {"OKOPF", "75203"},
                                    {"OKOPF_", "Государственные бюджетные учреждения"},
                                    {"VEDPRI", "2"},
                                    {"VEDPRI_", "Муниципальное образование"}});
        for (const auto& [id, name] :
             std::vector<std::pair<QString, QString>>{{"12200", "Акционерные общества"},
                                                      {"75203", "Государственные бюджетные"},
                                                      {"65142", kLongName}})
            test_support::appendRecord(base(), TableId::Okopf, {{"ID", id}, {"NAME", name}});
        for (const auto& [id, name] : std::vector<std::pair<QString, QString>>{
                 {"1", "Министерство здравоохранения субъекта РФ"},
                 {"2", "Муниципальное образование"}})
            test_support::appendRecord(base(), TableId::Vedpr, {{"ID", id}, {"NAME", name}});
    }

    void cleanup() { m_scene.reset(); }

    // The button opens the legal forms on the organisation's own; the choice goes
    // into the record buffer, the name cut to the field's 80 characters.
    void legalFormByTheButton() {
        TMainFormKvell1 w;
        Seen seen;
        m_scene->seam.answerDialog(choose(2, seen));
        w.EditOPF->findChild<QToolButton*>()->click();
        QCOMPARE(seen.title, QStringLiteral("ОКОПФ"));
        QCOMPARE(seen.current, QStringLiteral("Государственные бюджетные"));
        QCOMPARE(seen.currentId, 75203);
        QVERIFY(seen.changesOff);
        const xbase::Table& mo = w.tables().HalcyonDataSet3;
        QCOMPARE(mo.integer(u"OKOPF"), 65142);
        QCOMPARE(mo.text(u"OKOPF_"), kLongName.left(80));
        QCOMPARE(w.EditOPF->lineEdit().text(), kLongName.left(80));
        QCOMPARE(mo.state(), xbase::Table::State::Edit);
        QVERIFY(m_scene->seam.messages().empty());
    }

    void affiliationByDoubleClick() {
        TMainFormKvell1 w;
        Seen seen;
        m_scene->seam.answerDialog(choose(0, seen));
        QTest::mouseDClick(&w.EditVedPr->lineEdit(), Qt::LeftButton);
        QCOMPARE(seen.title, QStringLiteral("Ведомственная принадлежность"));
        QCOMPARE(seen.currentId, 2);
        const xbase::Table& mo = w.tables().HalcyonDataSet3;
        QCOMPARE(mo.integer(u"VEDPRI"), 1);
        QCOMPARE(mo.text(u"VEDPRI_"), QStringLiteral("Министерство здравоохранения субъекта РФ"));
        QCOMPARE(w.EditVedPr->lineEdit().text(), mo.text(u"VEDPRI_"));
    }

    void cancelChangesNothing() {
        TMainFormKvell1 w;
        Seen seen;
        m_scene->seam.answerDialog(choose(-1, seen));
        QTest::mouseDClick(&w.EditOPF->lineEdit(), Qt::LeftButton);
        m_scene->seam.answerDialog(choose(-1, seen));
        w.EditVedPr->findChild<QToolButton*>()->click();
        QCOMPARE(m_scene->seam.dialogsShown(), 2);
        const xbase::Table& mo = w.tables().HalcyonDataSet3;
        QCOMPARE(mo.integer(u"OKOPF"), 75203);
        QCOMPARE(mo.text(u"OKOPF_"), QStringLiteral("Государственные бюджетные учреждения"));
        QCOMPARE(mo.integer(u"VEDPRI"), 2);
        QCOMPARE(mo.text(u"VEDPRI_"), QStringLiteral("Муниципальное образование"));
    }

    // Without the record in edit mode the pickers do not open.
    void nothingWithoutTheRecordInEditMode() {
        TMainFormKvell1 w;
        w.tables().HalcyonDataSet3.post();
        w.EditOPF->findChild<QToolButton*>()->click();
        QTest::mouseDClick(&w.EditVedPr->lineEdit(), Qt::LeftButton);
        QCOMPARE(m_scene->seam.dialogsShown(), 0);
        QVERIFY(m_scene->seam.messages().empty());
    }
};

QTEST_MAIN(OrganisationPickersTest)
#include "organisation_pickers_test.moc"
