#include "record/SaveCommand.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSaveFile>

#include "app/Model.h"
#include "record/LocalTime.h"
#include "record/TextExport.h"

const char* const kSaveFilter = "DataLogger Files (*.AsmDat)";
const char* const kOpenFilter = "DataLogger Files (*.AsmDat);;*.CH4 (*.CH4)";

namespace {

const char* const kTitle = "KV2047";

class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};

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

bool writeAll(QSaveFile& f, const std::string& bytes) {
    return f.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

QString failure(const QString& path, const QString& why) {
    return QString("The run could not be saved to \"%1\":\n%2\n\nAny earlier file at that path was left as it was.")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace

QString proposedSaveName(std::time_t now) {
    return QString::fromStdString(kv::formatLocal(now, "%y-%m-%d %H.%M.%S"));
}

bool saveRunTo(const QString& path, kv::Model& model, bool withText, QString* error) {
    auto rec = kv::makeRunRecord();
    kv::snapshotLiveRun(*model.doc, model.run, *rec);
    model.doc->fileTagWritten = kv::kFileTag;

    BusyCursor busy;
    const std::string data = kv::encodeDataFile(*rec);
    QSaveFile dataFile(path);
    if (!dataFile.open(QIODevice::WriteOnly) || !writeAll(dataFile, data)) {
        if (error) *error = failure(path, dataFile.errorString());
        dataFile.cancelWriting();
        return false;
    }
    QString textPath;
    std::unique_ptr<QSaveFile> textFile;
    if (withText) {
        textPath = QFile::decodeName(kv::textFilePathFor(QFile::encodeName(path).toStdString()).c_str());
        textFile = std::make_unique<QSaveFile>(textPath);
        if (!textFile->open(QIODevice::WriteOnly) || !writeAll(*textFile, kv::exportText(rec->run))) {
            if (error) *error = failure(textPath, textFile->errorString());
            textFile->cancelWriting();
            dataFile.cancelWriting();
            return false;
        }
    }
    if (!dataFile.commit()) {
        if (error) *error = failure(path, dataFile.errorString());
        if (textFile) textFile->cancelWriting();
        return false;
    }
    if (textFile && !textFile->commit()) {
        if (error)
            *error = QString("The data file \"%1\" was saved, but its text table could not be written to "
                             "\"%2\":\n%3")
                         .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(textPath),
                              textFile->errorString());
        return false;
    }
    return true;
}

bool saveRunInteractive(QWidget* parent, kv::Model& model) { return saveInteractive(parent, model, true); }
bool saveDataFileInteractive(QWidget* parent, kv::Model& model) { return saveInteractive(parent, model, false); }

kv::ReadResult openDataFile(const QString& path, kv::Model& model) {
    BusyCursor busy;
    return kv::loadDataFile(QFile::encodeName(path).toStdString(), *model.doc, model.run);
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

bool openDataFileInteractive(QWidget* parent, kv::Model& model) {
    const QString path = QFileDialog::getOpenFileName(parent, "Open", lastFolder(), kOpenFilter);
    if (path.isEmpty()) return false;
    lastFolder() = QFileInfo(path).absolutePath();
    const kv::ReadResult r = openDataFile(path, model);
    reportReadError(parent, path, r);
    return r.ok();
}
