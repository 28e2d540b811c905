#include "gui/record/SaveCommand.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

#include "gui/BusyCursor.h"
#include "session/MeterSession.h"
#include "core/Model.h"
#include "core/io/AtomicFile.h"
#include "core/record/LocalTime.h"
#include "core/record/TextTable.h"
#include "session/Folders.h"

const char* const kSaveFilter = "DataLogger Files (*.AsmDat)";
const char* const kOpenFilter = "DataLogger Files (*.AsmDat);;*.CH4 (*.CH4)";

namespace {

const char* const kTitle = "KV2047";

// The folder the dialogs start in: the one last used.
QString& lastFolder() {
    static QString folder;
    return folder;
}

QString askSavePath(QWidget* parent) {
    QFileDialog dlg(parent, "Save As", lastFolder());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix("AsmDat");
    dlg.setNameFilter(kSaveFilter);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    dlg.selectFile(proposedSaveName(std::time(nullptr)));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    const QString path = dlg.selectedFiles().constFirst();
    lastFolder() = QFileInfo(path).absolutePath();
    return path;
}

bool saveInteractive(QWidget* parent, kv::Model& model, bool withText) {
    const QString path = askSavePath(parent);
    if (path.isEmpty()) return false;
    QString error;
    if (saveRunTo(path, model, withText, &error)) return true;
    QMessageBox::warning(parent, kTitle, error);
    return false;
}

QString failure(const QString& path, const QString& why) {
    return QString("The run could not be saved to \"%1\":\n%2\n\nAny earlier file at that path was left as it was.")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace

QString proposedSaveName(std::time_t now) {
    return QString::fromStdString(kv::formatLocal(now, "%y-%m-%d %H.%M.%S"));
}

// Both files go through the one safe writer: each is complete and on the disk
// before either replaces an older file, the table first and the data file
// last. A short write (a full disk) is an error, and a device or a pipe at
// either path is refused ("It is not a regular file.").
bool saveRunTo(const QString& path, kv::Model& model, bool withText, QString* error) {
    auto rec = kv::makeRunRecord();
    kv::snapshotLiveRun(*model.doc, model.run, *rec);
    model.doc->fileTagWritten = kv::kFileTag;

    BusyCursor busy;
    auto why = [](const kv::AtomicFile& f) { return QString::fromLocal8Bit(f.reason().c_str()); };
    const std::string dataPath = corePath(path);
    kv::AtomicFile data(dataPath);
    if (!data.open() || !data.write(kv::encodeDataFile(*rec)) || (!withText && !data.commit())) {
        if (error) *error = failure(path, why(data));
        return false;
    }
    if (!withText) return true;

    const std::string textPathStd = kv::textFilePathFor(dataPath);
    const QString textPath = fromCorePath(textPathStd);
    kv::AtomicFile text(textPathStd);
    if (!text.open() || !text.write(kv::exportText(rec->run))) {
        if (error) *error = failure(textPath, why(text));
        return false;
    }
    if (kv::commitPair(text, data)) return true;
    if (error) {
        *error = data.failed() ? failure(path, why(data)) : failure(textPath, why(text));
        if (text.committed())
            *error += QString("\nOnly the text table \"%1\" was replaced.").arg(QDir::toNativeSeparators(textPath));
    }
    return false;
}

bool saveRunInteractive(QWidget* parent, kv::Model& model) { return saveInteractive(parent, model, true); }
bool saveDataFileInteractive(QWidget* parent, kv::Model& model) { return saveInteractive(parent, model, false); }

kv::ReadResult openDataFile(const QString& path, kv::Model& model) {
    BusyCursor busy;
    return kv::loadDataFile(corePath(path), *model.doc, model.run);
}

void reportReadError(QWidget* parent, const QString& path, const kv::ReadResult& result) {
    if (result.ok()) return;
    if (result.error == kv::ReadError::BadTag) {
        QMessageBox::warning(parent, kTitle, kv::kInvalidFormat);
        return;
    }
    QMessageBox::warning(parent, kTitle,
                         QString("%1\n\nNothing was loaded from \"%2\".")
                             .arg(QString::fromStdString(result.message), QDir::toNativeSeparators(path)));
}

bool openDataFileInteractive(QWidget* parent, MeterSession& session) {
    const QString path = QFileDialog::getOpenFileName(parent, "Open", lastFolder(), kOpenFilter);
    if (path.isEmpty()) return false;
    lastFolder() = QFileInfo(path).absolutePath();
    kv::ReadResult r;
    {
        BusyCursor busy;
        r = session.openRun(path);
    }
    reportReadError(parent, path, r);
    return r.ok();
}
