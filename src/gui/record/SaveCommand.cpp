#include "gui/record/SaveCommand.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "core/Model.h"
#include "core/record/LocalTime.h"
#include "core/record/TextExport.h"

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

// Opens a file of the save. Unbuffered: Qt reports a write cut short by a full
// disk only as a short count, and a buffered flush passes over it and commits a
// truncated file. A device or pipe at the path is refused: the temporary file
// would replace it.
bool openForSave(QSaveFile& f, QString* why) {
    const QFileInfo target(f.fileName());
    if (target.exists() && !target.isFile() && !target.isDir()) {
        *why = "It is not a regular file.";
        return false;
    }
    if (f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
    *why = f.errorString();
    return false;
}

bool writeAll(QSaveFile& f, const std::string& bytes, QString* why) {
    errno = 0;
    const qint64 written = f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written == static_cast<qint64>(bytes.size())) return true;
    const int err = errno;
    *why = written < 0 ? f.errorString()
           : err      ? QString::fromLocal8Bit(std::strerror(err))
                      : QStringLiteral("The disk is full.");
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

bool saveRunTo(const QString& path, kv::Model& model, bool withText, QString* error) {
    auto rec = kv::makeRunRecord();
    kv::snapshotLiveRun(*model.doc, model.run, *rec);
    model.doc->fileTagWritten = kv::kFileTag;

    BusyCursor busy;
    const std::string data = kv::encodeDataFile(*rec);
    QSaveFile dataFile(path);
    QString why;
    if (!openForSave(dataFile, &why) || !writeAll(dataFile, data, &why)) {
        if (error) *error = failure(path, why);
        dataFile.cancelWriting();
        return false;
    }
    QString textPath;
    std::unique_ptr<QSaveFile> textFile;
    if (withText) {
        textPath = QFile::decodeName(kv::textFilePathFor(QFile::encodeName(path).toStdString()).c_str());
        textFile = std::make_unique<QSaveFile>(textPath);
        if (!openForSave(*textFile, &why) || !writeAll(*textFile, kv::exportText(rec->run), &why)) {
            if (error) *error = failure(textPath, why);
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
