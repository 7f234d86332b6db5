#include "app/mesa_ponte/TFormPalms.h"
#include "platform/widgets/RadioGroup.h"
#include "tests/app/mesa_ponte/WindowFixture.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::Access;
using windowtest::WindowFixture;

constexpr long kNetworkError = 335544721; // isc_network_error

// The switch tables with a log of every row written into them, so that a test sees
// what the window stores, including a value stored back unchanged.
class Switches : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        testsupport::FirebirdTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_fixture = std::make_unique<WindowFixture>(access());
        // The first start creates FECHAR (with ABRIR) and PROMOCAO.
        m_fixture->start();
        m_fixture->stop();
        ASSERT_TRUE(m_fixture->recorder.shown().empty());
        m_fixture->onTablets("create table WRITES (N integer, TABELA varchar(10), "
                             "VALOR varchar(10))");
        m_fixture->onTablets("create generator WRITES_N");
        m_fixture->onTablets(
            "create trigger FECHAR_WRITES for FECHAR after insert or update as begin "
            "insert into WRITES values (gen_id(WRITES_N, 1), 'FECHAR', "
            "coalesce(new.FECHAR, '-') || coalesce(new.ABRIR, '-')); end");
        m_fixture->onTablets(
            "create trigger PROMOCAO_WRITES for PROMOCAO after insert or update as begin "
            "insert into WRITES values (gen_id(WRITES_N, 1), 'PROMOCAO', "
            "coalesce(new.PROMOCAO, '-')); end");
    }
    void TearDown() override { m_fixture.reset(); }

    TFormPalms& start() { return m_fixture->start(); }
    void onTablets(const QString& statement) { m_fixture->onTablets(statement); }
    // Each row written since the last call: table and its values ('-' for NULL).
    QList<QStringList> writes() {
        const QList<QStringList> rows = m_fixture->tabletRows(
            "select TABELA, VALOR from WRITES order by N", {"TABELA", "VALOR"});
        onTablets("delete from WRITES");
        return rows;
    }
    QList<QStringList> fechar() {
        return m_fixture->tabletRows("select FECHAR, ABRIR from FECHAR", {"FECHAR", "ABRIR"});
    }
    QList<QStringList> promocao() {
        return m_fixture->tabletRows("select PROMOCAO from PROMOCAO", {"PROMOCAO"});
    }
    static void click(RadioGroup* group, int item) {
        const QList<QRadioButton*> buttons = group->findChildren<QRadioButton*>();
        QTest::mouseClick(buttons.at(item), Qt::LeftButton);
    }
    messages::Recorder& recorder() { return m_fixture->recorder; }

    std::unique_ptr<WindowFixture> m_fixture;
};

TEST_P(Switches, StartAsStoredBeforeAnyShow) {
    TFormPalms& form = start();
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), -1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup3")->itemIndex(), 1);
    EXPECT_TRUE(writes().isEmpty());
}

TEST_P(Switches, YesInBothFecharColumnsIsShownAndStoredBackUnchanged) {
    onTablets("insert into FECHAR (FECHAR, ABRIR) values ('S', 'S')");
    onTablets("insert into PROMOCAO (PROMOCAO) values ('S')");
    writes();
    TFormPalms& form = start();
    form.show();
    EXPECT_TRUE(recorder().shown().empty());
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 0);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup3")->itemIndex(), 0);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), 0);
    // In the order of loading: FECHAR, then ABRIR (with FECHAR already stored), then PROMOCAO.
    EXPECT_EQ(writes(),
              (QList<QStringList>{{"FECHAR", "SS"}, {"FECHAR", "SS"}, {"PROMOCAO", "S"}}));
    EXPECT_EQ(fechar(), (QList<QStringList>{{"S", "S"}}));
    EXPECT_FALSE(form.cycle().Fechar.isOpen());
    EXPECT_FALSE(form.cycle().Promocao.isOpen());
}

TEST_P(Switches, EmptyTablesShowItemOneAndOnlyPromocaoIsInserted) {
    TFormPalms& form = start();
    form.show();
    EXPECT_TRUE(recorder().shown().empty());
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup3")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), 1);
    EXPECT_EQ(writes(), (QList<QStringList>{{"PROMOCAO", "N"}}));
    EXPECT_TRUE(fechar().isEmpty());
    EXPECT_EQ(promocao(), (QList<QStringList>{{"N"}}));

    // The first click inserts the row, the other column left NULL; the next edits it.
    click(windowtest::control<RadioGroup>(form, "RadioGroup3"), 0);
    EXPECT_EQ(fechar(), (QList<QStringList>{{"", "S"}}));
    click(windowtest::control<RadioGroup>(form, "RadioGroup1"), 0);
    EXPECT_EQ(fechar(), (QList<QStringList>{{"S", "S"}}));
    EXPECT_EQ(writes(), (QList<QStringList>{{"FECHAR", "-S"}, {"FECHAR", "SS"}}));
    EXPECT_TRUE(recorder().shown().empty());
}

TEST_P(Switches, AnythingButCapitalSIsShownAsNoAndStoredAsN) {
    onTablets("insert into FECHAR (FECHAR, ABRIR) values ('s', NULL)");
    onTablets("insert into PROMOCAO (PROMOCAO) values ('s')");
    writes();
    TFormPalms& form = start();
    form.show();
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), 1);
    // RadioGroup1 and 3 did not change: only PROMOCAO is normalised at the first show.
    EXPECT_EQ(writes(), (QList<QStringList>{{"PROMOCAO", "N"}}));
    EXPECT_EQ(promocao(), (QList<QStringList>{{"N"}}));
    EXPECT_EQ(fechar(), (QList<QStringList>{{"s", ""}}));
}

TEST_P(Switches, ClickingTheSelectedItemStoresNothingAndEveryShowReloads) {
    TFormPalms& form = start();
    form.show();
    writes();
    click(windowtest::control<RadioGroup>(form, "RadioGroup2"), 1);
    click(windowtest::control<RadioGroup>(form, "RadioGroup1"), 1);
    EXPECT_TRUE(writes().isEmpty());

    click(windowtest::control<RadioGroup>(form, "RadioGroup2"), 0);
    EXPECT_EQ(writes(), (QList<QStringList>{{"PROMOCAO", "S"}}));

    // The tablets' software changes the switches while the window is hidden.
    onTablets("insert into FECHAR (FECHAR, ABRIR) values ('S', 'N')");
    onTablets("update PROMOCAO set PROMOCAO = 'N'");
    writes();
    form.hide();
    form.show();
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 0);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup3")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), 1);
    EXPECT_EQ(writes(), (QList<QStringList>{{"FECHAR", "SN"}, {"PROMOCAO", "N"}}));
    EXPECT_TRUE(recorder().shown().empty());
}

TEST_P(Switches, AFailedStoreShowsTheErrorBoxAndKeepsTheOperatorsChoice) {
    onTablets("insert into FECHAR (FECHAR, ABRIR) values ('N', 'N')");
    TFormPalms& form = start();
    form.show();
    writes();
    {
        // The update of the post fails: the select of opening goes through.
        testsupport::ScopedFbFailure failure(db::FbCall::ExecuteStatement, kNetworkError, 1);
        click(windowtest::control<RadioGroup>(form, "RadioGroup1"), 0);
        EXPECT_TRUE(failure.failed());
    }
    ASSERT_EQ(recorder().standardErrors().size(), 1u);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 0);
    EXPECT_EQ(fechar(), (QList<QStringList>{{"N", "N"}}));
    EXPECT_TRUE(writes().isEmpty());

    // The failed attempt leaves nothing behind: the next show reads the table anew.
    onTablets("update FECHAR set ABRIR = 'S'");
    recorder().clear();
    form.hide();
    form.show();
    EXPECT_TRUE(recorder().shown().empty());
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup3")->itemIndex(), 0);
}

TEST_P(Switches, AnUnreachableDatabaseStopsLoadingAtTheFailingStep) {
    onTablets("insert into FECHAR (FECHAR, ABRIR) values ('S', 'S')");
    writes();
    TFormPalms& form = start();
    {
        const db::ScopedFbFailureInjector failures([](db::FbCall call) {
            return call == db::FbCall::ExecuteStatement ? kNetworkError : 0L;
        });
        form.show();
    }
    EXPECT_EQ(recorder().standardErrors().size(), 1u);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup1")->itemIndex(), 1);
    EXPECT_EQ(windowtest::control<RadioGroup>(form, "RadioGroup2")->itemIndex(), -1);
    EXPECT_TRUE(writes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Firebird, Switches, testsupport::allAccesses(), testsupport::accessName);

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
