// The data module: its image list cut from the strip, the dialog filters and directories, the
// standing settings read at creation and written at destruction, the dataset's names.
#include <QImage>

#include "gui_fixture.h"

namespace {

TEST(ImageList, StripIsCutIntoSixImagesWithMagentaTransparent) {
    const QImage strip = QImage(QStringLiteral(QUORVATH_SOURCE_DIR "/app/gui/resources/image1.bmp"))
                             .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(strip.size(), QSize(96, 16));
    TImageList list;
    EXPECT_EQ(list.LoadStrip(QStringLiteral(":/image1.bmp"), TDM::kTransparent), 6);
    ASSERT_EQ(list.Count(), 6);
    int transparent = 0;
    for (int i = 0; i < 6; ++i) {
        const QImage image = list.Image(i);
        ASSERT_EQ(image.size(), QSize(16, 16)) << i;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb source = strip.pixel(i * 16 + x, y);
                const QRgb cut = image.pixel(x, y);
                if ((source & 0xFFFFFF) == 0xFF00FF) {
                    EXPECT_EQ(qAlpha(cut), 0) << i << " " << x << "," << y;
                    ++transparent;
                } else {
                    EXPECT_EQ(cut, source | 0xFF000000u) << i << " " << x << "," << y;
                }
            }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_TRUE(list.Image(6).isNull());
    EXPECT_TRUE(list.Icon(-1).isNull());
}

TEST(ImageList, MissingStripIsAnError) {
    TImageList list;
    try {
        list.LoadStrip(QStringLiteral(":/none.bmp"), TDM::kTransparent);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot load the image strip :/none.bmp");
    }
    EXPECT_EQ(list.Count(), 0);
}

TEST(DialogFilter, PairsBecomeQtNameFilters) {
    EXPECT_EQ(DialogNameFilters("Btrieve database (*.dbt)|*.dbt|All files (*.*)|*.*"),
              QStringList({"Btrieve database (*.dbt)", "All files (*.*)"}));
    // A description without its patterns gets them; ";" lists become blank-separated.
    EXPECT_EQ(DialogNameFilters("Scripts|*.sql;*.txt"), QStringList({"Scripts (*.sql *.txt)"}));
    // A description without a pattern is dropped.
    EXPECT_EQ(DialogNameFilters("Lonely"), QStringList());
    // Russian descriptions are system text.
    EXPECT_EQ(DialogNameFilters("\xD4\xE0\xE9\xEB|*.x"),
              QStringList({QString::fromUtf8("Файл (*.x)")}));
}

TEST(DialogFilter, DirectoryOfAFileName) {
    EXPECT_EQ(ExtractFileDir("/data/demo/base.dbt"), "/data/demo");
    EXPECT_EQ(ExtractFileDir("/base.dbt"), "/");
    EXPECT_EQ(ExtractFileDir("base.dbt"), "");
    EXPECT_EQ(ExtractFileDir(""), "");
    EXPECT_EQ(ExtractFileDir("rel/dir/"), "rel/dir");
}

using DataModule = GuiTest;

TEST_F(DataModule, ComponentsAndDatasetSettings) {
    TDM& m = MakeDM();
    ASSERT_NE(m.BDataSet, nullptr);
    EXPECT_EQ(m.BDataSet->Name(), "BDataSet");
    EXPECT_EQ(m.BDataSet->Owner(), &m);
    ASSERT_NE(m.dsRS1, nullptr);
    EXPECT_EQ(m.dsRS1->Name(), "dsRS1");
    EXPECT_EQ(m.dsRS1->DataSet, m.BDataSet);
    EXPECT_EQ(m.imlImg.Count(), 6);
    m.NameDataSet("a.def", "b.dbt");
    EXPECT_EQ(named, std::vector<std::string>({"a.def|b.dbt"}));
}

TEST_F(DataModule, WithoutStandingFileTheDefaultsAndAllSixKeysAtTheEnd) {
    ImpInfo.ImpTableName = "stale";
    MakeDM();
    EXPECT_EQ(ImpInfo.DictionaryFileName, "");
    EXPECT_EQ(ImpInfo.ImpTableName, "");
    EXPECT_EQ(ImpInfo.CommitPeriod, 1000);
    EXPECT_TRUE(ImpInfo.CreateDDL);
    ImpInfo.BaseFileName = "/d/\xC1\xE0\xE7\xE0.dbt";  // Russian name, system text
    dm.reset();
    EXPECT_EQ(ReadFile(Conf()),
              "[Config]\nDictionaryFileName=\nBaseFileName=/d/\xC1\xE0\xE7\xE0.dbt\n"
              "SQLFileName=\nImpTableName=\nCommitPeriod=1000\nCreateDDL=1\n");
}

TEST_F(DataModule, UnwritableStandingFileIsShownAndTheModuleStillGoes) {
    std::filesystem::create_directories(Conf());  // a folder where the file should be
    MakeDM();
    dm.reset();
    EXPECT_EQ(errors, std::vector<std::string>({"Unable to write to " + Conf()}));
}

TEST_F(DataModule, DialogsGetKindDirectoryAndFilter) {
    TDM& m = MakeDM();
    answers = {"/x/chosen.dbt", ""};
    EXPECT_EQ(m.ExecOpenDialog("/x", "A|*.a"), "/x/chosen.dbt");
    EXPECT_EQ(m.ExecSaveDialog("", "B|*.b"), "");
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].Kind, fdOpen);
    EXPECT_EQ(dialogs[0].InitialDir, "/x");
    EXPECT_EQ(dialogs[0].Filter, "A|*.a");
    EXPECT_EQ(dialogs[1].Kind, fdSave);
    EXPECT_EQ(dialogs[1].InitialDir, "");
}

}  // namespace
