#include "gui/record/SaveCommand.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

#include "gui/BusyCursor.h"
#include "session/MeterSession.h"
#include "core/Model.h"
#include "core/record/LocalTime.h"
#include "core/record/RunFiles.h"
#include "session/Folders.h"

const char* const kSaveFilter = "DataLogger Files (*.AsmDat)";
const char* const kOpenFilter = "DataLogger Files (*.AsmDat);;*.CH4 (*.CH4)";

namespace {

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

QString failure(const QString& path, const QString& why) {
    return QString("The run could not be saved to \"%1\":\n%2\n\nAny earlier file at that path was left as it was.")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace

QString proposedSaveName(std::time_t now) {
    return QString::fromStdString(kv::formatLocal(now, "%y-%m-%d %H.%M.%S"));
}

bool saveRunTo(const QString& path, const kv::Model& model, bool withText, QString* error) {
    kv::RunFilesFailure f;
    if (kv::writeRunFiles(corePath(path), *model.doc, model.run, withText, &f)) return true;
    if (error) {
        *error = failure(fromCorePath(f.path), QString::fromLocal8Bit(f.reason.c_str()));
        if (!f.replacedText.empty())
            *error += QString("\nOnly the text table \"%1\" was replaced.")
                          .arg(QDir::toNativeSeparators(fromCorePath(f.replacedText)));
    }
    return false;
}

bool saveRunInteractive(QWidget* parent, const kv::Model& model) {
    const QString path = askSavePath(parent);
    if (path.isEmpty()) return false;
    QString error;
    bool saved;
    {
        BusyCursor busy;
        saved = saveRunTo(path, model, true, &error);
    }
    if (saved) return true;
    QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), error);
    return false;
}

kv::ReadResult openRunFile(MeterSession& session, const QString& path) {
    BusyCursor busy;
    return session.openRun(path);
}

void reportReadError(QWidget* parent, const QString& path, const kv::ReadResult& result) {
    if (result.ok()) return;
    if (result.error == kv::ReadError::BadTag) {
        QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), kv::kInvalidFormat);
        return;
    }
    QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(),
                         QString("%1\n\nNothing was loaded from \"%2\".")
                             .arg(QString::fromStdString(result.message), QDir::toNativeSeparators(path)));
}

bool openDataFileInteractive(QWidget* parent, MeterSession& session) {
    const QString path = QFileDialog::getOpenFileName(parent, "Open", lastFolder(), kOpenFilter);
    if (path.isEmpty()) return false;
    lastFolder() = QFileInfo(path).absolutePath();
    const kv::ReadResult r = openRunFile(session, path);
    reportReadError(parent, path, r);
    return r.ok();
}
