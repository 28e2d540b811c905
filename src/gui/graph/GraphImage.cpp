#include "gui/graph/GraphImage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QSvgGenerator>

#include "core/io/AtomicFile.h"
#include "session/Folders.h"

namespace {

const char* const kPngFilter = "PNG image (*.png)";
const char* const kSvgFilter = "SVG image (*.svg)";

// The folder the dialog starts in: the one last used.
QString& lastFolder() {
    static QString folder;
    return folder;
}

QString askImagePath(QWidget* parent) {
    QFileDialog dlg(parent, "Export Graph Image", lastFolder());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters({kPngFilter, kSvgFilter});
    dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    // A name typed without an extension gets the chosen filter's, before the
    // dialog asks whether to replace a file of that name.
    dlg.setDefaultSuffix("png");
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
        dlg.setDefaultSuffix(filter == kSvgFilter ? "svg" : "png");
    });
    dlg.selectFile("graph.png");
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    QString path = dlg.selectedFiles().constFirst();
    // A dialog of the desktop's may not add it.
    if (QFileInfo(path).suffix().isEmpty())
        path += dlg.selectedNameFilter() == kSvgFilter ? ".svg" : ".png";
    lastFolder() = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace

std::optional<ImageFormat> imageFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare("png", Qt::CaseInsensitive) == 0) return ImageFormat::Png;
    if (suffix.compare("svg", Qt::CaseInsensitive) == 0) return ImageFormat::Svg;
    return std::nullopt;
}

std::unique_ptr<PlotSurface> GraphCanvas::plotSurface(const QRect& rect) const {
    if (pixels_) return rasterSurface(*pixels_, rect);
    return std::make_unique<VectorSurface>(painter_, rect);
}

QByteArray encodeGraph(const GraphPicture& picture, ImageFormat format) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    if (format == ImageFormat::Png) {
        // Drawn at the widget's size, so that everything lies where the
        // screen has it, then cut to the graph.
        QImage img(picture.widgetSize, QImage::Format_RGB32);
        if (img.isNull()) return {};
        img.fill(picture.background);
        {
            QPainter p(&img);
            picture.paint(GraphCanvas(p, &img));
        }
        if (!img.copy(picture.area).save(&out, "PNG")) return {};
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(picture.area.size());
        svg.setViewBox(picture.area);
        svg.setTitle("KV2047 graph");
        svg.setDescription("Exported by KV2047");
        QPainter p;
        if (!p.begin(&svg)) return {};
        p.fillRect(picture.area, picture.background);
        picture.paint(GraphCanvas(p, nullptr));
        p.end();
    }
    return bytes;
}

bool writeGraphFile(const QString& path, const QByteArray& bytes, QString* error) {
    kv::AtomicFile f(corePath(path));
    const bool made = !bytes.isEmpty();
    if (made && f.open() && f.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && f.commit())
        return true;
    *error = QString("The graph image could not be written to \"%1\":\n%2\n\nAny earlier file at that path was left "
                     "as it was.")
                 .arg(QDir::toNativeSeparators(path),
                      made ? QString::fromLocal8Bit(f.reason().c_str()) : QStringLiteral("The picture could not be made."));
    return false;
}

bool exportGraphTo(const QString& path, const GraphPicture& picture, QString* error) {
    const std::optional<ImageFormat> format = imageFormatOf(path);
    if (!format) {
        *error = QString("\"%1\" was not written: the name must end in .png for a PNG image or .svg for an SVG "
                         "image.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    return writeGraphFile(path, encodeGraph(picture, *format), error);
}

bool exportGraphInteractive(QWidget* parent, const GraphPicture& picture) {
    if (picture.area.isEmpty()) {
        QMessageBox::information(parent, QGuiApplication::applicationDisplayName(),
                                 "The window is too small to show the graph: there is nothing to export.");
        return false;
    }
    const QString path = askImagePath(parent);
    if (path.isEmpty()) return false;
    QString error;
    if (exportGraphTo(path, picture, &error)) return true;
    QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), error);
    return false;
}
