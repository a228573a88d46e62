#include "analyser/window/document/lombex32_doc.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include "analyser/window/document/lombex32_view.h"

namespace qorval::analyser {
namespace {

QString QtPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

CLombex32Doc::CLombex32Doc(CLombex32View& view, std::string title)
    : view_(view), title_(std::move(title)) {}

CLombex32Doc::LoadResult CLombex32Doc::Open(const std::filesystem::path& path) {
    QFile file(QtPath(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return LoadResult::CannotRead;
    }
    // Whole bytes beyond the limit can only be more characters, never fewer than a quarter
    // of them (UTF-8): refuse early what cannot fit, then check the decoded length.
    if (file.size() > qint64{CLombex32View::kTextLimit} * 4) {
        return LoadResult::TooLarge;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return LoadResult::CannotRead;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    utf8_ = !decoder.hasError();
    if (!utf8_) {
        text = QString::fromLatin1(bytes);
    }
    crlf_ = text.contains(QLatin1String("\r\n"));
    text.remove(QLatin1Char('\r'));
    if (text.size() > CLombex32View::kTextLimit) {
        return LoadResult::TooLarge;
    }
    view_.setPlainText(text);
    path_ = path;
    title_ = path.filename().string();
    SetModified(false);
    return LoadResult::Ok;
}

bool CLombex32Doc::Save(const std::filesystem::path& path) {
    QString text = view_.toPlainText();
    if (crlf_) {
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    }
    const QByteArray bytes = utf8_ ? text.toUtf8() : text.toLatin1();
    // Written beside the file and renamed over it, so a failed save leaves the old file whole.
    QSaveFile file(QtPath(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return false;
    }
    path_ = path;
    title_ = path.filename().string();
    SetModified(false);
    return true;
}

void CLombex32Doc::Clear() {
    view_.clear();
    SetModified(false);
}

bool CLombex32Doc::IsModified() const {
    return view_.document()->isModified();
}

void CLombex32Doc::SetModified(bool modified) {
    view_.document()->setModified(modified);
}

}  // namespace qorval::analyser
