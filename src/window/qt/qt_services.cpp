#include "window/qt/qt_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QUrl>
#include <cstdlib>

#include "window/qt/controls.h"

namespace sizewalk {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

QString BoxText(const std::string& text) {
    QString shown = FromBytes(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QString LocalName(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

// Whether Qt names the file by these very bytes (it may not when they are
// not UTF-8).
bool CarriesUnchanged(const std::string& path) {
    const QByteArray bytes = QFile::encodeName(LocalName(path));
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())) == path;
}

Status OpenLocalFile(const std::string& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(LocalName(path)))) {
        return StartFailure(errnum::kPathFileAccess, "the desktop's opener", path, "");
    }
    return std::nullopt;
}

}  // namespace

void QtMessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title) {
    QMessageBox::Icon box_icon = QMessageBox::NoIcon;
    if (icon == MessageIcon::kWarning) {
        box_icon = QMessageBox::Warning;
    } else if (icon == MessageIcon::kInformation) {
        box_icon = QMessageBox::Information;
    }
    QMessageBox box(box_icon, FromBytes(title), BoxText(text), QMessageBox::Ok, parent_.data());
    // Paths and descriptions are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Status DesktopOpener::OpenUrl(const std::string& url) {
    if (!QDesktopServices::openUrl(QUrl(FromBytes(url)))) {
        return StartFailure(errnum::kPathFileAccess, "the desktop's opener", url, "");
    }
    return std::nullopt;
}

Status DesktopOpener::OpenFile(const std::string& path) {
    if (!CarriesUnchanged(path)) {
        return StartFailure(errnum::kPathFileAccess, "the desktop's opener", path,
                            "the name is not UTF-8");
    }
    return OpenLocalFile(path);
}

Status DesktopTextEditor::Open(const std::string& path) {
    return CarriesUnchanged(path) ? OpenLocalFile(path) : fallback_.Open(path);
}

void QtBeeper::Beep() {
    QApplication::beep();
}

bool AllowPlatformFallback() {
    if (IsSet("QT_QPA_PLATFORM")) {
        return false;
    }
    const char* order = IsSet("DISPLAY") ? "xcb;wayland;offscreen" : "wayland;xcb;offscreen";
    return setenv("QT_QPA_PLATFORM", order, 1) == 0;
}

bool ShowsWindows(const QString& platform_name) {
    return platform_name != QLatin1String("offscreen") && platform_name != QLatin1String("minimal");
}

}  // namespace sizewalk
