// The session: limits and their messages, names entering, changing and leaving, dictionaries
// made on demand and freed by the limits, transactions and the refresh of datasets.
#include <gtest/gtest.h>

#include "dict/dictionary.h"
#include "dict/session.h"
#include "dict/session_error.h"
#include "platform/codepage.h"
#include "tests/btrieve/scripted_recman.h"
#include "tests/dict/dict_fixture.h"

namespace {

// "d<i>.def", built step by step (GCC 12 misreads "d" + std::to_string(i) under -O2).
std::string DictFile(int i) {
    std::string name = "d";
    name += std::to_string(i);
    name += ".def";
    return name;
}

// A dataset as the session and the dictionary see it.
class TFakeDataSet : public TDictionaryClient {
  public:
    TFakeDataSet(std::string name, std::vector<std::string>& log, bool open = true)
        : name_(std::move(name)), log_(log), open_(open) {}
    void ClearDictionary() override {
        log_.push_back(name_ + " cleared");
        if (dictionary) dictionary->RemoveDataSet(this);
        dictionary = nullptr;
    }
    void SetStoredDictName(const std::string& name) override { storedName = name; }
    bool IsOpen() const override { return open_; }
    void Refresh() override { log_.push_back(name_ + " refreshed"); }

    TBDictionary* dictionary = nullptr;
    std::string storedName;

  private:
    std::string name_;
    std::vector<std::string>& log_;
    bool open_;
};

class SessionTest : public testing::Test {
  protected:
    SessionTest() {
        previousClock_ = SetDictionaryClock([this] { return clock; });
        TFixtureSpec spec = ParseDescription(ReadFixtureFile(FixtureDir() + "dict141.desc"));
        auto records =
            ParseRecordSource(ReadFixtureFile(FixtureDir() + "dict141.txt"), spec.RecordLength);
        for (int i = 1; i <= 12; ++i) recman.AddFile(DictFile(i), spec, records);
    }
    ~SessionTest() override { SetDictionaryClock(previousClock_); }

    // Loads through the session, one time step later than the previous load.
    TFileData Load(const std::string& dictName, const std::string& baseName = "clients.dbt") {
        clock += 0.01;
        TFileData data;
        session->LoadFileData(baseName, dictName, data);
        return data;
    }

    std::string AutoNames() const {
        std::string out;
        for (TBDictionary* d : session->AutoDicts())
            out += d->FileName() + (d->DictionaryFileOpen() ? "*" : "") + " ";
        return out;
    }

    TMemoryRecman recman;
    TDefaultSession session;
    TDateTime clock = 45000;

  private:
    TDictClock previousClock_;
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

TEST_F(SessionTest, LimitsKeepTheirRangeAndTheOldValue) {
    EXPECT_EQ(session->MaxActiveDicts(), 5);
    EXPECT_EQ(session->MaxDicts(), 10);
    EXPECT_EQ(ErrorOf([&] { session->SetMaxActiveDicts(-1); }),
              "TBSession's MaxActiveDicts must be in range 0..MaxDicts");
    EXPECT_EQ(ErrorOf([&] { session->SetMaxActiveDicts(11); }),
              "TBSession's MaxActiveDicts must be in range 0..MaxDicts");
    EXPECT_EQ(session->MaxActiveDicts(), 5);
    EXPECT_EQ(ErrorOf([&] { session->SetMaxDicts(4); }),
              "TBSession's MaxDicts property value must be greater then MaxActiveDicts value");
    EXPECT_EQ(session->MaxDicts(), 10);
    session->SetMaxDicts(5);
    EXPECT_EQ(session->MaxDicts(), 5);
    session->SetMaxActiveDicts(0);
    session->SetMaxDicts(0);
    EXPECT_EQ(session->MaxDicts(), 0);
    TBSession named;
    named.SetName("Sessions");
    EXPECT_EQ(ErrorOf([&] { named.SetMaxActiveDicts(-1); }),
              "Sessions: TBSession's MaxActiveDicts must be in range 0..MaxDicts");
    EXPECT_THROW(named.SetMaxDicts(-1), ESessionError);
}

TEST_F(SessionTest, DictionariesAreMadeOnDemandAndSharedByName) {
    TFileData data = Load("d1.def");
    EXPECT_EQ(data.Fields->Count(), 3u);
    ASSERT_EQ(session->AutoDicts().size(), 1u);
    TBDictionary* made = session->AutoDicts()[0];
    EXPECT_EQ(made->Owner(), nullptr);
    EXPECT_EQ(made->FileName(), "d1.def");
    EXPECT_EQ(session->FindDictionary("D1.DEF"), made);
    Load("D1.def", "segs.dbt");  // a..z case does not matter
    EXPECT_EQ(session->AutoDicts().size(), 1u);
    EXPECT_EQ(recman.Count(0), 1);
    EXPECT_EQ(session->DictNames().at(0).first, "D1.DEF");
}

TEST_F(SessionTest, FailedLoadFreesTheDictionary) {
    EXPECT_THROW(Load("d1.def", "nofile.dbt"), EBtrieve);
    EXPECT_TRUE(session->AutoDicts().empty());
    EXPECT_TRUE(session->DictNames().empty());
    Load("d1.def");
    TBDictionary* first = session->AutoDicts().at(0);
    EXPECT_THROW(Load("d1.def", "nofile.dbt"), EBtrieve);  // found, then freed
    EXPECT_TRUE(session->AutoDicts().empty());
    EXPECT_EQ(session->FindDictionary("d1.def"), nullptr);
    (void)first;
    EXPECT_THROW(Load("missing.def"), EBtrieve);
    EXPECT_TRUE(session->DictNames().empty());
    EXPECT_EQ(recman.OpenFiles(), 0);
}

TEST_F(SessionTest, FailedLoadKeepsADictionaryThatHasAnOwner) {
    TComponent form;
    auto* placed = new TBDictionary(&form);
    placed->SetFileName("d1.def");
    EXPECT_THROW(Load("d1.def", "nofile.dbt"), EBtrieve);
    EXPECT_EQ(session->FindDictionary("d1.def"), placed);
    EXPECT_EQ(form.Components().size(), 1u);
}

TEST_F(SessionTest, SixthDictionaryClosesTheOldestFileEleventhFreesTheOldest) {
    for (int i = 1; i <= 5; ++i) Load(DictFile(i));
    EXPECT_EQ(AutoNames(), "d1.def* d2.def* d3.def* d4.def* d5.def* ");
    Load("d6.def");
    EXPECT_EQ(AutoNames(), "d1.def d2.def* d3.def* d4.def* d5.def* d6.def* ");
    EXPECT_EQ(recman.OpenFiles(), 5);
    for (int i = 7; i <= 10; ++i) Load(DictFile(i));
    EXPECT_EQ(session->AutoDicts().size(), 10u);
    Load("d11.def");
    EXPECT_EQ(AutoNames(),
              "d2.def d3.def d4.def d5.def d6.def d7.def* d8.def* d9.def* d10.def* d11.def* ");
    EXPECT_EQ(session->FindDictionary("d1.def"), nullptr);
    EXPECT_EQ(recman.OpenFiles(), 5);
    // A cache hit keeps the dictionary's old read time: d2 still goes next.
    Load("d2.def");
    Load("d12.def");
    EXPECT_EQ(session->FindDictionary("d2.def"), nullptr);
    EXPECT_EQ(session->AutoDicts().size(), 10u);
}

TEST_F(SessionTest, ZeroLimits) {
    session->SetMaxActiveDicts(0);
    TFileData data = Load("d1.def");
    EXPECT_EQ(data.Fields->Count(), 3u);
    EXPECT_EQ(AutoNames(), "d1.def ");
    EXPECT_EQ(recman.OpenFiles(), 0);
    Load("d2.def");
    EXPECT_EQ(AutoNames(), "d1.def d2.def ");
    session->SetMaxDicts(0);
    data = Load("d3.def");
    EXPECT_EQ(data.Fields->Count(), 3u);
    EXPECT_EQ(AutoNames(), "");
    EXPECT_TRUE(session->DictNames().empty());
}

TEST_F(SessionTest, OwnedDictionariesDoNotCountAndMayBeRenamed) {
    TComponent form;
    session->SetMaxActiveDicts(0);
    auto* placed = new TBDictionary(&form);
    placed->SetFileName("d1.def");
    Load("d1.def");  // found: the placed one
    EXPECT_TRUE(session->AutoDicts().empty());
    EXPECT_TRUE(placed->DictionaryFileOpen());
    placed->SetFileName("d2.def");
    EXPECT_EQ(session->FindDictionary("d2.def"), placed);
    EXPECT_EQ(session->FindDictionary("d1.def"), nullptr);
}

TEST_F(SessionTest, OwnerlessDictionaryCannotBeRenamed) {
    Load("d1.def");
    TBDictionary* made = session->AutoDicts().at(0);
    EXPECT_EQ(ErrorOf([&] { made->SetFileName("d2.def"); }),
              "\"FileName\" property of automatically created dictionary is read only");
    EXPECT_EQ(made->FileName(), "d1.def");
    EXPECT_EQ(session->FindDictionary("d1.def"), made);
    made->SetFileName("d1.def");  // the same name, exactly: nothing happens
    EXPECT_THROW(made->SetFileName("D1.DEF"), ESessionError);
    EXPECT_FALSE(made->DictionaryFileOpen());  // closing came first
}

TEST_F(SessionTest, NamesEnteringChangingAndLeaving) {
    TComponent form;
    auto* a = new TBDictionary(&form);
    auto* b = new TBDictionary(&form);
    a->SetFileName("x.def");
    b->SetFileName("X.DEF");
    EXPECT_EQ(session->FindDictionary("x.def"), b);  // the latest under a name
    ASSERT_EQ(session->DictNames().size(), 2u);
    EXPECT_EQ(session->DictNames()[0].second, b);
    b->SetFileName("");
    EXPECT_EQ(session->FindDictionary("x.def"), a);
    // Letters outside a..z are not folded.
    auto* c = new TBDictionary(&form);
    c->SetFileName("\xE0.def");
    EXPECT_EQ(session->FindDictionary("\xC0.DEF"), nullptr);
    EXPECT_EQ(session->FindDictionary("\xE0.DEF"), c);
    // An owner-less dictionary under a name is freed when another comes under it.
    Load("d1.def");
    ASSERT_EQ(session->AutoDicts().size(), 1u);
    auto* d = new TBDictionary(&form);
    d->SetFileName("d1.def");
    EXPECT_TRUE(session->AutoDicts().empty());
    EXPECT_EQ(session->FindDictionary("d1.def"), d);
    delete a;
    EXPECT_EQ(session->FindDictionary("x.def"), nullptr);
}

TEST_F(SessionTest, DictionaryMadeByAnotherSessionStaysThere) {
    TBSession other;
    TFileData data;
    other.LoadFileData("clients.dbt", "d1.def", data);
    other.LoadFileData("segs.dbt", "d1.def", data);
    EXPECT_EQ(other.AutoDicts().size(), 1u);
    EXPECT_TRUE(session->AutoDicts().empty());
    EXPECT_EQ(recman.Count(0), 1);
}

TEST_F(SessionTest, SessionDestroyFreesItsOwnAndReleasesTheOthers) {
    TComponent form;
    auto other = std::make_unique<TBSession>();
    auto* placed = new TBDictionary(&form);
    placed->SetSession(other.get());
    placed->SetFileName("d1.def");
    TFileData data;
    other->LoadFileData("clients.dbt", "d2.def", data);
    EXPECT_EQ(other->DictNames().size(), 2u);
    other.reset();
    EXPECT_EQ(placed->RegisteredSession(), nullptr);
    EXPECT_EQ(recman.OpenFiles(), 0);
    placed->SetFileName("d3.def");  // under no session now: nothing to tell
    EXPECT_EQ(session->FindDictionary("d3.def"), nullptr);
    placed->SetSession(nullptr);  // back under the default session
    EXPECT_EQ(session->FindDictionary("d3.def"), placed);
}

TEST_F(SessionTest, SessionPropertyWhileStreaming) {
    TComponent form;
    auto* placed = new TBDictionary(&form);
    EXPECT_EQ(placed->Session(), DefaultSession());
    placed->SetWriting(true);
    EXPECT_EQ(placed->Session(), nullptr);
    TBSession owned(&form);
    placed->SetSession(&owned);
    EXPECT_EQ(placed->Session(), &owned);
    placed->SetWriting(false);
    delete placed;
}

TEST_F(SessionTest, DatasetsOfDictionaryFollowNameAndDestruction) {
    std::vector<std::string> log;
    TFakeDataSet one("one", log), two("two", log);
    TComponent form;
    auto* placed = new TBDictionary(&form);
    for (TFakeDataSet* ds : {&one, &two}) {
        ds->dictionary = placed;
        placed->AddDataSet(ds);
    }
    placed->SetFileName("d1.def");
    EXPECT_EQ(one.storedName, "d1.def");
    EXPECT_EQ(two.storedName, "d1.def");
    delete placed;
    EXPECT_EQ(log, (std::vector<std::string>{"two cleared", "one cleared"}));
    EXPECT_EQ(one.dictionary, nullptr);
}

TEST_F(SessionTest, RefreshVisitsOpenDatasetsOfSessionThenDictionaries) {
    std::vector<std::string> log;
    TFakeDataSet s1("s1", log), s2("s2", log, false), d1("d1", log), d2("d2", log);
    session->AddDataSet(&s1);
    session->AddDataSet(&s2);
    TComponent form;
    auto* b = new TBDictionary(&form);
    b->SetFileName("b.def");
    b->AddDataSet(&d2);
    auto* a = new TBDictionary(&form);
    a->SetFileName("a.def");
    a->AddDataSet(&d1);
    session->RefreshDataSets();
    EXPECT_EQ(log, (std::vector<std::string>{"s1 refreshed", "d1 refreshed", "d2 refreshed"}));
    session->RemoveDataSet(&s1);
    log.clear();
    session->RefreshDataSets();
    EXPECT_EQ(log, (std::vector<std::string>{"d1 refreshed", "d2 refreshed"}));
    a->RemoveDataSet(&d1);
    b->RemoveDataSet(&d2);
}

TEST(SessionTransactionTest, CallsAndStatuses) {
    TDefaultSession session;
    TScriptedRecman recman;
    session->BeginTransaction();
    EXPECT_TRUE(session->TransactionActive());
    ASSERT_EQ(recman.Calls.size(), 1u);
    EXPECT_EQ(recman.Calls[0].Operation, 1019);
    EXPECT_EQ(recman.Calls[0].PositionBlock, nullptr);
    EXPECT_EQ(recman.Calls[0].Data, nullptr);
    EXPECT_EQ(recman.Calls[0].KeyLength, 0);
    EXPECT_EQ(recman.Calls[0].KeyNumber, 0);
    recman.AnswerStatuses({37});
    EXPECT_EQ(ErrorOf([&] { session->BeginTransaction(); }),
              Utf8ToAnsi("Ошибка транзакции. Код ошибки 37"));
    EXPECT_TRUE(session->TransactionActive());
    recman.AnswerStatuses({-3});
    EXPECT_EQ(ErrorOf([&] { session->EndTransaction(); }),
              Utf8ToAnsi("Ошибка транзакции. Код ошибки -3"));
    EXPECT_TRUE(session->TransactionActive());
    session->EndTransaction();
    EXPECT_FALSE(session->TransactionActive());
    EXPECT_EQ(recman.Calls.back().Operation, 20);
    session->AbortTransaction();
    EXPECT_EQ(recman.Calls.back().Operation, 21);
    TBSession named;
    named.SetName("Main");
    recman.AnswerStatuses({39});
    EXPECT_EQ(ErrorOf([&] { named.AbortTransaction(); }),
              "Main: " + Utf8ToAnsi("Ошибка транзакции. Код ошибки 39"));
}

TEST(DefaultSessionTest, HolderMakesAFreshSessionAndFreesItsDictionaries) {
    TMemoryRecman recman;
    TFixtureSpec spec = ParseDescription(ReadFixtureFile(FixtureDir() + "dict141.desc"));
    recman.AddFile(
        "d1.def", spec,
        ParseRecordSource(ReadFixtureFile(FixtureDir() + "dict141.txt"), spec.RecordLength));
    {
        TDefaultSession session;
        TFileData data;
        session->LoadFileData("clients.dbt", "d1.def", data);
        EXPECT_EQ(recman.OpenFiles(), 1);
    }
    EXPECT_EQ(recman.OpenFiles(), 0);  // freed with the session, file closed
    TDefaultSession again;
    EXPECT_TRUE(again->AutoDicts().empty());
}

}  // namespace
