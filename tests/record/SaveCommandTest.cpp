// Save and Open as the user meets them: the dialogs, the two files, and what
// a failure leaves behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>

#include "ModalScript.h"
#include "RecordTestUtil.h"
#include "core/Model.h"
#include "gui/record/SaveCommand.h"
#include "session/MeterSession.h"
#include "core/record/TextTable.h"

using kvtest::ModalScript;

namespace {

class SaveCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 12; ++i)
            for (int q = 0; q < 5; ++q) model.doc->live[q][i] = static_cast<float>(q * 10 + i * 0.5);
        model.doc->live[3][4] = kv::kNoKir;
        model.run.n = 12;
        model.run.intervalMs = 2000;
        model.run.runStartTime = 1185522035;   // 2007-07-27 07:40:35 UTC
        model.run.unitText = "C";
        model.run.yGain = 5;
        model.run.yOffset = 2;
    }
    // What Save must have written for the model as it is.
    std::string expectedData() {
        auto rec = kv::makeRunRecord();
        kv::snapshotLiveRun(*model.doc, model.run, *rec);
        return kv::encodeDataFile(*rec);
    }
    std::string expectedText() {
        auto rec = kv::makeRunRecord();
        kv::snapshotLiveRun(*model.doc, model.run, *rec);
        return kv::exportText(rec->run);
    }
    QString path(const char* name) { return QString::fromStdString(dir.file(name)); }
    kv::Model model;
    kvtest::ScratchDir dir;
};

}  // namespace

TEST_F(SaveCommandTest, WritesTheDataFileAndTheTextTableBesideIt) {
    QString error;
    ASSERT_TRUE(saveRunTo(path("run.AsmDat"), model, true, &error)) << error.toStdString();
    EXPECT_EQ(kvtest::readBytes(dir.file("run.AsmDat")), expectedData());
    EXPECT_EQ(kvtest::readBytes(dir.file("run.txt")), expectedText());
    EXPECT_EQ(kvtest::readBytes(dir.file("run.AsmDat")).size(), 50u + 20u * 12);
    EXPECT_EQ(QDir(path("")).entryList(QDir::Files).size(), 2);   // no temporary files left
}

TEST_F(SaveCommandTest, EmptyRunGivesFiftyBytesAndTheHeaderAlone) {
    model.run.n = 0;
    ASSERT_TRUE(saveRunTo(path("run.dat"), model, true, nullptr));
    EXPECT_EQ(kvtest::readBytes(dir.file("run.dat")).size(), 50u);
    EXPECT_EQ(kvtest::readBytes(dir.file("run.dat.txt")), std::string(kv::kTextHeader) + "\r\n");
}

TEST_F(SaveCommandTest, DataFileAloneForTheDocumentsOwnSave) {
    ASSERT_TRUE(saveRunTo(path("doc.AsmDat"), model, false, nullptr));
    EXPECT_EQ(kvtest::readBytes(dir.file("doc.AsmDat")), expectedData());
    EXPECT_FALSE(std::filesystem::exists(dir.file("doc.txt")));
}

TEST_F(SaveCommandTest, FailuresLeaveOlderFilesIntact) {
    struct Case { const char* what; const char* target; std::function<void()> setup; const char* kept; };
    const Case cases[] = {
        {"a folder in the way of the data file", "run.AsmDat",
         [&] { std::filesystem::create_directory(dir.file("run.AsmDat")); }, nullptr},
        {"a folder in the way of the text file", "old.AsmDat",
         [&] {
             kvtest::writeBytes(dir.file("old.AsmDat"), "older run");
             std::filesystem::create_directory(dir.file("old.txt"));
         },
         "old.AsmDat"},
        {"a folder that does not exist", "missing/run.AsmDat", [] {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.setup();
        QString error;
        EXPECT_FALSE(saveRunTo(path(c.target), model, true, &error));
        EXPECT_TRUE(error.contains("could not be saved")) << error.toStdString();
        if (c.kept) {
            EXPECT_EQ(kvtest::readBytes(dir.file(c.kept)), "older run");
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("run.AsmDat")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("old.txt")));
}

TEST_F(SaveCommandTest, DialogProposesTheTimeAndWritesTheChosenFile) {
    QWidget parent;
    QString proposed, filter, suffix;
    ModalScript script({[&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        proposed = kvtest::proposedName(w);
        filter = d->selectedNameFilter();
        suffix = d->defaultSuffix();
        kvtest::selectPath(d, path("chosen"));
        static_cast<QDialog*>(d)->accept();
    }});
    const QString before = proposedSaveName(std::time(nullptr));
    EXPECT_TRUE(saveRunInteractive(&parent, model));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(proposed.left(9), before.left(9));   // "%y-%m-%d " of today
    EXPECT_TRUE(QRegularExpression("^\\d\\d-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d$").match(proposed).hasMatch())
        << proposed.toStdString();
    EXPECT_EQ(filter, "DataLogger Files (*.AsmDat)");
    EXPECT_EQ(suffix, "AsmDat");
    EXPECT_EQ(kvtest::readBytes(dir.file("chosen.AsmDat")), expectedData());
    EXPECT_EQ(kvtest::readBytes(dir.file("chosen.txt")), expectedText());
}

TEST_F(SaveCommandTest, CancelledDialogWritesNothing) {
    QWidget parent;
    ModalScript script({kvtest::cancel()});
    EXPECT_FALSE(saveRunInteractive(&parent, model));
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(QDir(path("")).entryList(QDir::Files).isEmpty());
}

TEST_F(SaveCommandTest, OverwriteIsConfirmedAndNoKeepsTheOldFile) {
    kvtest::writeBytes(dir.file("run.AsmDat"), "older run");
    QWidget parent;
    ModalScript no({kvtest::chooseFile(path("run.AsmDat")), kvtest::press(QMessageBox::No), kvtest::cancel()});
    EXPECT_FALSE(saveRunInteractive(&parent, model));
    ASSERT_GE(no.seen().size(), 2u);
    EXPECT_EQ(no.seen()[1].className, "QMessageBox");
    EXPECT_EQ(kvtest::readBytes(dir.file("run.AsmDat")), "older run");

    ModalScript yes({kvtest::chooseFile(path("run.AsmDat")), kvtest::press(QMessageBox::Yes)});
    EXPECT_TRUE(saveRunInteractive(&parent, model));
    EXPECT_EQ(kvtest::readBytes(dir.file("run.AsmDat")), expectedData());
}

TEST_F(SaveCommandTest, FailedSaveIsReportedAndReturnsFalse) {
    std::filesystem::create_directory(dir.file("run.txt"));
    QWidget parent;
    ModalScript script({kvtest::chooseFile(path("run.AsmDat")), kvtest::press(QMessageBox::Ok)});
    EXPECT_FALSE(saveRunInteractive(&parent, model));
    ASSERT_EQ(script.seen().size(), 2u);
    EXPECT_EQ(script.seen()[1].title, "KV2047");
    EXPECT_TRUE(script.seen()[1].text.contains("could not be saved")) << script.seen()[1].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.file("run.AsmDat")));
}

TEST_F(SaveCommandTest, OpenReadsIntoTheLoggedRunAndRefusalsAreShown) {
    ASSERT_TRUE(saveRunTo(path("run.AsmDat"), model, false, nullptr));
    QWidget parent;
    MeterSession session;
    const kv::Model& opened = session.model();
    QSignalSpy runsOpened(&session, &MeterSession::runOpened);
    {
        ModalScript script({kvtest::chooseFile(path("run.AsmDat"))});
        EXPECT_TRUE(openDataFileInteractive(&parent, session));
        EXPECT_EQ(opened.doc->logged.count, 12);
        EXPECT_EQ(opened.doc->logged.samples[4 * 5 + 3], kv::kNoKir);
        EXPECT_EQ(runsOpened.count(), 1);
        EXPECT_EQ(opened.run.loggerYGain, 5);
    }
    kvtest::writeBytes(dir.file("bad.CH4"), "\x06KV2046" + std::string(60, '\0'));
    {
        ModalScript script({kvtest::chooseFile(path("bad.CH4")), kvtest::press(QMessageBox::Ok)});
        EXPECT_FALSE(openDataFileInteractive(&parent, session));
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].title, "KV2047");
        EXPECT_EQ(script.seen()[1].text, "Invalid Format!");
        EXPECT_EQ(runsOpened.count(), 1);
        EXPECT_EQ(opened.doc->logged.count, 12);
    }
    kvtest::writeBytes(dir.file("short.AsmDat"), kvtest::readBytes(dir.file("run.AsmDat")).substr(0, 100));
    {
        ModalScript script({kvtest::chooseFile(path("short.AsmDat")), kvtest::press(QMessageBox::Ok)});
        EXPECT_FALSE(openDataFileInteractive(&parent, session));
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_TRUE(script.seen()[1].text.contains("incomplete"));
        EXPECT_TRUE(script.seen()[1].text.contains("Nothing was loaded"));
        EXPECT_EQ(runsOpened.count(), 1);
    }
    {
        ModalScript script({kvtest::cancel()});
        EXPECT_FALSE(openDataFileInteractive(&parent, session));
        EXPECT_EQ(script.seen().size(), 1u);
    }
}

TEST(ProposedSaveName, IsTheLocalTimeInTheSaveNamePattern) {
    EXPECT_EQ(proposedSaveName(1185522035), "07-07-27 07.40.35");
}
